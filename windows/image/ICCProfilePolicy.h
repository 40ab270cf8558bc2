#ifndef LF_WINDOWS_IMAGE_ICC_PROFILE_POLICY_H
#define LF_WINDOWS_IMAGE_ICC_PROFILE_POLICY_H

// What opening a file does with its ICC profile, as the colour-management settings say (ColorManagementSettings:
// OnProfileMismatch, OnMissingProfile), asking the user when they say so. A profile whose description differs from
// the default profile of the image's colour type may be kept, converted to the default, discarded or kept with
// colour management off; an untagged image may get the default profile, stay untagged or have colour management
// off. A profile that LittleCMS refuses, or one that cannot describe the image (a grey profile on a colour image),
// is discarded with a message that names it: it is never used.
//
// Throws ProcessRefusal( "" ) when the user cancels a question (the read is abandoned), and the image's abort when
// the user aborts a conversion.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qor
{
class Image;
}

void ApplyICCProfilePolicy( qor::Image& image, const std::string& path, std::unique_ptr<std::vector<uint8_t>>& profile,
                            bool& colorManagementOn, bool& converted );

#endif
