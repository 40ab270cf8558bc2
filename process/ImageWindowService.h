#ifndef LF_PROCESS_IMAGE_WINDOW_SERVICE_H
#define LF_PROCESS_IMAGE_WINDOW_SERVICE_H

// What processes need of the image windows beyond their own target: the global RGB working space, the image
// identifiers, the other images, and new image windows. The windows layer implements it
// (windows/image/ImageWindowService.cpp); a test may put a service of its own in its place for a while.

#include <memory>
#include <string>

class ProcessView;

namespace qor
{
class Image;
class RGBColorSystem;
}

class ImageWindowService
{
public:
   // The working space new windows start from.
   virtual qor::RGBColorSystem& GlobalRGBWorkingSpace() = 0;
   // The expansion of the identifier macros of a template ("&imageId;" gives imageId; "&uniqueId;" makes a free
   // identifier, or with wantExisting names an open image). Throws ProcessRefusal with the expansion's error.
   virtual std::string ExpandIdentifierMacros( const std::string& templ, const std::string& imageId,
                                               bool wantExisting ) = 0;
   // The wish when no image has it, else the wish numbered; an empty wish gives a default identifier.
   virtual std::string UniqueImageIdentifier( const std::string& wish ) = 0;
   // The main view of the image with exactly that identifier, or nullptr.
   virtual ProcessView* FindMainView( const std::string& identifier ) = 0;
   // Opens a window for the image (which it takes) under the identifier, sharing the given working space, and
   // tells the processing windows of the new view.
   virtual ProcessView& CreateImageWindow( std::unique_ptr<qor::Image> image, const std::string& identifier,
                                           const qor::RGBColorSystem& rgbws ) = 0;
   // Redraws the windows that use the working space's values and show something computed through them.
   virtual void RGBWorkingSpaceChanged( const qor::RGBColorSystem& rgbws ) = 0;

protected:
   ~ImageWindowService() = default;
};

// The service in use: the image windows', unless a test installed another.
ImageWindowService& ImageWindows();
// Installs a service (nullptr: the image windows' again) and returns the one it replaces.
ImageWindowService* SetImageWindowService( ImageWindowService* service );
// The image windows' own service (defined by the windows layer).
ImageWindowService& DefaultImageWindowService();

#endif
