#ifndef LF_TESTS_PROCESS_GEOMETRY_TEST_KIT_H
#define LF_TESTS_PROCESS_GEOMETRY_TEST_KIT_H

// A view in memory for the processes that change the geometry of an image: it has previews, a resolution and mask
// links, and records in order what a run does to them. While it exists, the image-window service answers the
// geometry questions about it (and passes everything else on to the image windows' own service).

#include <string>
#include <vector>

#include "FilterTestKit.h"
#include "process/ImageWindowService.h"

namespace kit
{

class GeometryView : public RecordingView
{
public:
   using Rect = ImageWindowService::PreviewRect;

   explicit GeometryView( qor::Image& image ) : RecordingView( image ), service( *this )
   {
      previous = SetImageWindowService( &service );
   }
   ~GeometryView() { SetImageWindowService( previous ); }

   bool HasMaskReferences() const override { return maskUsers; }
   void ReleaseMaskReferences() override
   {
      log.push_back( "release mask references" );
      maskUsers = false;
   }
   void RemoveMask() override
   {
      log.push_back( "remove mask" );
      hasMask = false;
   }

   std::vector<Rect> previews;
   float resolution = 72;
   bool metric = false;
   bool maskUsers = false;
   bool hasMask = false;
   std::vector<std::string> log;

private:
   class Service : public ImageWindowService
   {
   public:
      explicit Service( GeometryView& view ) : view( view ) {}
      qor::RGBColorSystem& GlobalRGBWorkingSpace() override { return Default().GlobalRGBWorkingSpace(); }
      std::string ExpandIdentifierMacros( const std::string& t, const std::string& id, bool existing ) override
      {
         return Default().ExpandIdentifierMacros( t, id, existing );
      }
      std::string UniqueImageIdentifier( const std::string& wish ) override
      {
         return Default().UniqueImageIdentifier( wish );
      }
      ProcessView* FindMainView( const std::string& id ) override { return Default().FindMainView( id ); }
      ProcessView& CreateImageWindow( std::unique_ptr<qor::Image> image, const std::string& id,
                                      const qor::RGBColorSystem& rgbws ) override
      {
         return Default().CreateImageWindow( std::move( image ), id, rgbws );
      }
      void RGBWorkingSpaceChanged( const qor::RGBColorSystem& rgbws ) override
      {
         Default().RGBWorkingSpaceChanged( rgbws );
      }

      std::vector<Rect> Previews( const ProcessView& ) override { return view.previews; }
      void DeleteAllPreviews( ProcessView& ) override
      {
         view.log.push_back( "delete previews" );
         view.previews.clear();
      }
      void CreatePreview( ProcessView&, const Rect& rect ) override
      {
         view.log.push_back( "create " + rect.identifier );
         view.previews.push_back( rect );
      }
      void GetResolution( const ProcessView&, float& r, bool& m ) override
      {
         r = view.resolution;
         m = view.metric;
      }
      void SetResolution( ProcessView&, float r, bool m ) override
      {
         view.resolution = r;
         view.metric = m;
      }
      void ImageSizeChanged( ProcessView&, bool fit ) override
      {
         view.log.push_back( fit ? "zoom to fit" : "zoom again" );
      }

   private:
      static ImageWindowService& Default() { return DefaultImageWindowService(); }
      GeometryView& view;
   };

   Service service;
   ImageWindowService* previous = nullptr;
};

} // namespace kit

#endif
