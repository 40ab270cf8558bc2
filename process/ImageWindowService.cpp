#include "process/ImageWindowService.h"

#include "classlib/RGBColorSystem.h"
#include "support/ProcessRefusal.h"

namespace
{

// Where there are no image windows (the processes alone).
class NoImageWindows final : public ImageWindowService
{
public:
   qor::RGBColorSystem& GlobalRGBWorkingSpace() override { return rgbws; }
   std::string ExpandIdentifierMacros( const std::string&, const std::string&, bool ) override { Refuse(); }
   std::string UniqueImageIdentifier( const std::string& ) override { Refuse(); }
   ProcessView* FindMainView( const std::string& ) override { return nullptr; }
   ProcessView& CreateImageWindow( std::unique_ptr<qor::Image>, const std::string&,
                                   const qor::RGBColorSystem& ) override
   {
      Refuse();
   }
   void RGBWorkingSpaceChanged( const qor::RGBColorSystem& ) override {}

private:
   [[noreturn]] static void Refuse() { throw ProcessRefusal( "There are no image windows." ); }

   qor::RGBColorSystem rgbws;
};

ImageWindowService* installed = nullptr;
ImageWindowService* windowsOwn = nullptr;

} // namespace

ImageWindowService& ImageWindows()
{
   return installed != nullptr ? *installed : DefaultImageWindowService();
}

ImageWindowService& DefaultImageWindowService()
{
   static NoImageWindows none;
   return windowsOwn != nullptr ? *windowsOwn : none;
}

void SetDefaultImageWindowService( ImageWindowService* service )
{
   windowsOwn = service;
}

ImageWindowService* SetImageWindowService( ImageWindowService* service )
{
   ImageWindowService* previous = installed;
   installed = service;
   return previous;
}

std::vector<ImageWindowService::PreviewRect> ImageWindowService::Previews( const ProcessView& )
{
   return {};
}

void ImageWindowService::DeleteAllPreviews( ProcessView& )
{
}

void ImageWindowService::CreatePreview( ProcessView&, const PreviewRect& )
{
}

void ImageWindowService::GetResolution( const ProcessView&, float& resolution, bool& metric )
{
   resolution = 72;
   metric = false;
}

void ImageWindowService::SetResolution( ProcessView&, float, bool )
{
}

void ImageWindowService::ImageSizeChanged( ProcessView&, bool )
{
}

bool ImageWindowService::ApplyMask( ProcessView&, const qor::Image&, MaskTarget& )
{
   return false;
}
