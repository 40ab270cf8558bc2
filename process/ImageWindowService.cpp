#include "process/ImageWindowService.h"

namespace
{

ImageWindowService* installed = nullptr;

} // namespace

ImageWindowService& ImageWindows()
{
   return installed != nullptr ? *installed : DefaultImageWindowService();
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
