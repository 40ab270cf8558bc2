#ifndef LF_PROCESS_IMAGE_WINDOW_SERVICE_H
#define LF_PROCESS_IMAGE_WINDOW_SERVICE_H

// What processes need of the image windows beyond their own target: the global RGB working space, the image
// identifiers, the other images, and new image windows. The windows layer implements it
// (windows/image/ImageWindowService.cpp) and installs it at start-up; a test may put a service of its own in its
// place for a while.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class MaskTarget;
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
   // Blends the pixels of a main view with unprocessed pixels through a mask window's image (p = p*m + (1-m)*s),
   // as the run of a process on it would have been masked; the window's caches are dropped and the windows masked
   // by it told. False, with nothing changed, when the three do not fit together; here always.
   virtual bool ApplyMask( ProcessView& view, const qor::Image& unprocessed, MaskTarget& mask );

   // What the processes that change the geometry of a whole image need of the window of a main view: its previews
   // (identifier and rectangle, in the window's order), deleting them all and creating one, its print resolution
   // (pixels per inch, or per centimetre when metric), and its display following a new image size (with fit, a
   // window in its normal state is zoomed to fit, never beyond 1:1; otherwise the current zoom is set again). Here,
   // for a view outside the image windows: no previews, 72 pixels per inch, and nothing happens.
   struct PreviewRect
   {
      std::string identifier;
      int32_t left = 0;
      int32_t top = 0;
      int32_t width = 0;
      int32_t height = 0;
   };
   virtual std::vector<PreviewRect> Previews( const ProcessView& view );
   virtual void DeleteAllPreviews( ProcessView& view );
   virtual void CreatePreview( ProcessView& view, const PreviewRect& rect );
   virtual void GetResolution( const ProcessView& view, float& resolution, bool& metric );
   virtual void SetResolution( ProcessView& view, float resolution, bool metric );
   virtual void ImageSizeChanged( ProcessView& view, bool fit );

protected:
   ~ImageWindowService() = default;
};

// The service in use: the default one, unless a test installed another.
ImageWindowService& ImageWindows();
// Installs a service (nullptr: the default again) and returns the one it replaces.
ImageWindowService* SetImageWindowService( ImageWindowService* service );
// The default service: the image windows' own, which they install at start-up (SetDefaultImageWindowService; not
// owned). Until then, a service without image windows: a working space of its own, no other image, and a refusal
// for whatever needs a window.
ImageWindowService& DefaultImageWindowService();
void SetDefaultImageWindowService( ImageWindowService* service );

#endif
