#ifndef LF_PLATFORM_COLOR_MANAGEMENT_SETTINGS_H
#define LF_PLATFORM_COLOR_MANAGEMENT_SETTINGS_H

// The global colour-management state of the display: what the image windows, the file formats and the colour
// management processes read about profiles. A plain record: the display colour management
// (windows/image/ImageWindow_ICM.h) loads and saves it, owns its handles, blocks and transforms and tells the
// windows of its changes; everyone else only reads it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ICCProfile.h"

struct ColorManagementSettingsRecord
{
   // The monitor profile, both default profiles and both default display transforms exist.
   bool displayAvailable = false;
   // The user's global switch.
   bool EnableGlobalColorManagement = true;
   std::string monitorProfilePath;
   ICCProfileHandle monitorProfile = nullptr;
   std::string DefaultRGBProfilePath;
   std::unique_ptr<std::vector<uint8_t>> defaultRGBProfileData; // the whole profile file
   ICCProfileHandle defaultRGBProfile = nullptr;
   ICCColorTransform rgbDisplayTransform = nullptr;
   std::string DefaultGrayProfilePath;
   std::unique_ptr<std::vector<uint8_t>> defaultGrayProfileData;
   ICCProfileHandle defaultGrayProfile = nullptr;
   ICCColorTransform grayDisplayTransform = nullptr;
   // 0 perceptual, 1 relative colorimetric, 2 saturation, 3 absolute colorimetric.
   uint32_t DefaultRenderingIntent = 0;
   // The preferred colour-management module: 0 the profile's or the system's, 0x57696E20 ('Win ') always the
   // system's, else a module's signature.
   uint32_t DefaultCMMIndex = 0;
   // On opening a file whose profile differs from the default: 0 ask, 1 keep it, 2 convert to the default profile,
   // 3 discard it, 4 disable colour management.
   int8_t OnProfileMismatch = 1;
   // On opening a file without a profile: 0 ask, 1 assign the default profile, 2 leave it untagged, 3 disable
   // colour management.
   int8_t OnMissingProfile = 2;
   // The initial state of the embed-profile choice of the file options dialogs.
   bool DefaultProfileEmbedding = true;
};

extern ColorManagementSettingsRecord ColorManagementSettings;

#endif
