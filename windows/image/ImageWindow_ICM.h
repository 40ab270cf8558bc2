#ifndef LF_WINDOWS_IMAGE_IMAGE_WINDOW_ICM_H
#define LF_WINDOWS_IMAGE_IMAGE_WINDOW_ICM_H

// Display colour management: the monitor profile, the default profiles and their display transforms, the global
// switch, the saved settings, and the tables that carry 8-bit display bytes to the 16-bit words of the colour
// transforms and back. The per-window side (embedded profile, display transform, switch) is in TImageWindow.
//
// GUI thread only.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ColorManagementSettings.h"

class QCheckBox;
class TImageWindow;

namespace platform
{
class Registry;
}

// Where the monitor profile comes from. The program's provider answers the profile the X11 desktop publishes for
// its first screen (the _ICC_PROFILE property of the root window, set by the desktop's colour manager), written to a
// file of the settings folder; when none is published, an sRGB profile made by LittleCMS, written there too (the
// display is then taken to be sRGB). Empty when the file cannot be written. A test installs a provider of its own.
class MonitorProfileProvider
{
public:
   virtual ~MonitorProfileProvider() = default;
   // The path of the monitor's ICC profile file; empty when there is none.
   virtual std::string MonitorProfilePath() = 0;
};

// The provider in use; SetMonitorProfileProvider( nullptr ) puts the program's own back. Returns the one replaced
// (which the caller keeps owning when it installed it).
MonitorProfileProvider& CurrentMonitorProfileProvider();
MonitorProfileProvider* SetMonitorProfileProvider( MonitorProfileProvider* provider );

// 257 i: an 8-bit display byte as a 16-bit transform word.
extern uint16_t DisplayLUT8To16[256];
// round( j 255/65535 ): a 16-bit transform word as an 8-bit display byte.
extern uint8_t DisplayLUT16To8[65536];
void BuildDisplayLUTs();

// The saved settings, under ApplicationRegistryKey() + "\Color Management". Failures are shown, never thrown.
void LoadColorManagementSettings();
void SaveColorManagementSettings();
void LoadColorManagementSettings( platform::Registry& registry );
void SaveColorManagementSettings( platform::Registry& registry );

// Opens the monitor profile the provider names; displayAvailable false without one.
void LoadMonitorProfile();
// (Re)loads the default profiles and builds their display transforms; displayAvailable true when all are there.
// With refresh the untagged colour-managed windows are redrawn and the processing windows told.
void UpdateDefaultDisplayTransforms( bool refresh );
// What the setup dialog's OK applies: the policies always, the rest (and a rebuild) only when it changed.
void SetColorManagementDefaults( const std::string& rgbPath, const std::string& grayPath, uint32_t intent,
                                 uint32_t cmm, int8_t onMismatch, int8_t onMissing );
void ActivateGlobalColorManagement();
void DeactivateGlobalColorManagement();
// Closes every handle and transform of the record (program end, tests).
void ReleaseColorManagement();

// The display transform of a profile (RGB or grey input) to the monitor profile with the default intent; null when
// it cannot be built.
ICCColorTransform CreateDisplayTransform( ICCProfileHandle profile );
void DeleteDisplayTransform( ICCColorTransform transform );
// Whether the transform takes RGB input (else grey).
bool DisplayTransformTakesRGB( ICCColorTransform transform );

// Converts 0xffRRGGBB pixels in place through a display transform: each byte as its 16-bit word of DisplayLUT8To16,
// the exact colour transform (ICCProfileTransform), the result as the nearest 16-bit word and that word as a byte by
// DisplayLUT16To8. A grey transform reads the blue byte. The transform keeps the pixels it gave for every colour it
// met, so a colour is computed once. false when there is no transform: the pixels stay as they were.
bool TranslateDisplayPixels( ICCColorTransform transform, uint32_t* pixels, int64_t count );

// The profile a save of the window writes: its own embedded profile, else the loaded default profile of its image's
// colour type (the grey default for Gray, the RGB default for every other space); null when there is none. A grey
// image gets a grey profile or none: an RGB profile is never written into a grey file.
const std::vector<uint8_t>* ICCProfileDataToEmbed( const TImageWindow& window );

// What a file-options dialog's embed-ICC-profile check box offers for a window: enabled when there is a profile to
// embed (ICCProfileDataToEmbed), checked when enabled and profiles
// are embedded by default, with the profile's description as its hint (empty when disabled).
struct EmbedICCProfileChoice
{
   bool enabled = false;
   bool checked = false;
   std::string description;
};
EmbedICCProfileChoice GetEmbedICCProfileChoice( const TImageWindow* window );

// Prepares a file-options dialog's embed-ICC-profile check box for a window as GetEmbedICCProfileChoice says.
void SetupEmbedICCProfileCheckBox( QCheckBox* checkBox, TImageWindow* window );

#endif
