// The image windows' side of the face through which processes reach them (process/ImageWindowService.h).

#include "process/ImageWindowService.h"

#include "windows/image/ImageIdentifiers.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"

namespace
{

class WindowsService final : public ImageWindowService
{
public:
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

ImageWindowService& DefaultImageWindowService()
{
   static WindowsService service;
   return service;
}
