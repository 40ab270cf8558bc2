// The image windows' side of the face through which processes reach them (process/ImageWindowService.h).

#include "process/ImageWindowService.h"

#include "process/ProcessExecution.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessExecution.h"

namespace
{

// The window of a main view (previews have no geometry of their own), or nullptr.
TImageWindow* MainViewWindow( const ProcessView& view )
{
   TImageWindow::View* target = AsImageView( const_cast<ProcessView&>( view ) );
   return ( target != nullptr && target->IsMainView() ) ? target->Window() : nullptr;
}

class WindowsService final : public ImageWindowService
{
public:
   std::vector<PreviewRect> Previews( const ProcessView& view ) override
   {
      std::vector<PreviewRect> rects;
      if ( TImageWindow* window = MainViewWindow( view ) )
         for ( const TImageWindow::Preview* p : window->previews )
            rects.push_back( { p->Identifier(), p->left, p->top, p->GetImage().Width(), p->GetImage().Height() } );
      return rects;
   }

   void DeleteAllPreviews( ProcessView& view ) override
   {
      if ( TImageWindow* window = MainViewWindow( view ) )
         window->DeleteAllPreviews();
   }

   void CreatePreview( ProcessView& view, const PreviewRect& r ) override
   {
      if ( TImageWindow* window = MainViewWindow( view ) )
         window->CreatePreview( r.identifier, r.left, r.top, r.width, r.height );
   }

   void GetResolution( const ProcessView& view, float& resolution, bool& metric ) override
   {
      ImageWindowService::GetResolution( view, resolution, metric );
      if ( TImageWindow* window = MainViewWindow( view ) )
      {
         resolution = window->resolution;
         metric = window->metricResolution;
      }
   }

   void SetResolution( ProcessView& view, float resolution, bool metric ) override
   {
      if ( TImageWindow* window = MainViewWindow( view ) )
      {
         window->resolution = resolution;
         window->metricResolution = metric;
      }
   }

   void ImageSizeChanged( ProcessView& view, bool fit ) override
   {
      TImageWindow* window = MainViewWindow( view );
      if ( window == nullptr )
         return;
      const QWidget* frame = window->Frame();
      if ( fit && !frame->isMinimized() && !frame->isMaximized() )
         window->ZoomToFit( false );
      else if ( window->currentView != nullptr )
         window->SetZoom( window->currentView->zoom );
   }

   qor::RGBColorSystem& GlobalRGBWorkingSpace() override { return ::GlobalRGBWorkingSpace; }

   std::string ExpandIdentifierMacros( const std::string& templ, const std::string& imageId,
                                       bool wantExisting ) override
   {
      return ::ExpandIdentifierMacros( templ, imageId, wantExisting );
   }

   std::string UniqueImageIdentifier( const std::string& wish ) override { return ::UniqueImageIdentifier( wish ); }

   ProcessView* FindMainView( const std::string& identifier ) override
   {
      return FindMainViewByIdentifier( identifier );
   }

   ProcessView& CreateImageWindow( std::unique_ptr<qor::Image> image, const std::string& identifier,
                                   const qor::RGBColorSystem& rgbws ) override
   {
      TImageWindow* window = ::CreateImageWindow( MainWindow, image.release(), identifier );
      window->rgbWorkingSpace = rgbws;
      return *window->mainView;
   }

   bool ApplyMask( ProcessView& view, const qor::Image& unprocessed, MaskTarget& mask ) override
   {
      const auto* maskWindow = dynamic_cast<const TImageWindow*>( &mask );
      return maskWindow != nullptr && MaskFromCopy( view, unprocessed, *maskWindow );
   }

   void RGBWorkingSpaceChanged( const qor::RGBColorSystem& rgbws ) override
   {
      constexpr int32_t luminanceDisplay = 4;
      constexpr int32_t chrominanceDisplay = 5;
      for ( TImageWindow::View* view : std::vector<TImageWindow::View*>( MainViewList ) )
      {
         TImageWindow* window = view->Window();
         if ( window->rgbWorkingSpace.SharesDataWith( rgbws ) && window->isVisible() &&
              ( window->displayChannel == luminanceDisplay || window->displayChannel == chrominanceDisplay ) )
            window->RedrawImage();
      }
   }
};

} // namespace

void InstallImageWindowService()
{
   static WindowsService service;
   SetDefaultImageWindowService( &service );
}
