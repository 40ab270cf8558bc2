#include "windows/image/ICCProfilePolicy.h"

#include <QString>

#include <lcms2.h>

#include "classlib/Exception.h"
#include "classlib/Image.h"
#include "platform/ColorManagementSettings.h"
#include "platform/DialogRunner.h"
#include "platform/ICCProfile.h"
#include "platform/Prompter.h"
#include "process/Process.h"
#include "windows/dialogs/MissingProfileDialog.h"
#include "windows/dialogs/ProfileMismatchDialog.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace
{

struct HandleCloser
{
   ICCProfileHandle profile = nullptr;
   ~HandleCloser() { CloseICCProfile( profile ); }
};

struct MonitorScope
{
   explicit MonitorScope( qor::Image& image ) : image( image )
   {
      image.Status().SetCallback( &TProcessingStatusDialog::ProgressCallback, &StatusDialog() );
   }
   ~MonitorScope() { image.Status().SetCallback( nullptr, nullptr ); }
   qor::Image& image;
};

[[noreturn]] void Cancel()
{
   throw ProcessRefusal( std::string() );
}

} // namespace

void ApplyICCProfilePolicy( qor::Image& image, const std::string& path, std::unique_ptr<std::vector<uint8_t>>& profile,
                            bool& colorManagementOn, bool& converted )
{
   const ColorManagementSettingsRecord& s = ColorManagementSettings;
   const bool gray = image.GetColorSpace() == qor::ColorSpace::Gray;
   ICCProfileHandle defaultProfile = gray ? s.defaultGrayProfile : s.defaultRGBProfile;
   const std::vector<uint8_t>* defaultData = gray ? s.defaultGrayProfileData.get() : s.defaultRGBProfileData.get();

   if ( profile != nullptr )
   {
      HandleCloser embedded{ OpenICCProfileDataReadWrite( *profile ) };
      if ( embedded.profile == nullptr )
      {
         profile.reset();
         platform::ShowMessage( platform::Icon::Information, ApplicationTitle(),
                                "The embedded ICC profile is invalid and has been discarded:\n  " +
                                    QString::fromStdString( path ) );
         return;
      }
      const std::string description = GetICCProfileDescription( embedded.profile );
      const uint32_t space = uint32_t( cmsGetColorSpace( embedded.profile ) );
      if ( space != ICCSignatureRGB && ( !gray || space != ICCSignatureGray ) )
      {
         profile.reset();
         platform::ShowMessage( platform::Icon::Information, ApplicationTitle(),
                                "The embedded ICC profile \"" + QString::fromStdString( description ) +
                                    "\" does not fit the color space of the image and has been discarded:\n  " +
                                    QString::fromStdString( path ) );
         return;
      }
      const std::string defaultDescription = GetICCProfileDescription( defaultProfile );
      if ( description == defaultDescription )
         return;
      int choice = s.OnProfileMismatch;
      if ( choice == 0 )
      {
         TProfileMismatchDialog dialog( MainWindow, path, description, defaultDescription );
         if ( platform::DialogRunner::exec( dialog ) != QDialog::Accepted )
            Cancel();
         choice = dialog.choice;
      }
      switch ( choice )
      {
      case 2:
         try
         {
            MonitorScope monitor( image );
            qor::Image* result = ICMTransformImage( image, defaultProfile, embedded.profile, s.DefaultRenderingIntent );
            if ( result != &image )
            {
               std::unique_ptr<qor::Image> owned( result );
               image.Transfer( *owned );
            }
            const std::vector<uint8_t>* target =
                image.GetColorSpace() == qor::ColorSpace::Gray ? s.defaultGrayProfileData.get() : s.defaultRGBProfileData.get();
            profile = target != nullptr ? CopyICCProfileData( *target ) : nullptr;
            converted = true;
         }
         catch ( const qor::GenericException& x )
         {
            platform::ShowMessage( platform::Icon::Warning, ApplicationTitle(), QString::fromStdString( x.ErrorText() ) );
         }
         break;
      case 3:
         profile.reset();
         break;
      case 4:
         colorManagementOn = false;
         break;
      default:
         break;
      }
      return;
   }

   int choice = s.OnMissingProfile;
   if ( choice == 0 )
   {
      TMissingProfileDialog dialog( MainWindow, path, GetICCProfileDescription( defaultProfile ), 2 );
      if ( platform::DialogRunner::exec( dialog ) != QDialog::Accepted )
         Cancel();
      choice = dialog.choice;
   }
   if ( choice == 1 )
   {
      // Without a loaded default there is nothing to assign: the image stays untagged.
      if ( defaultData != nullptr )
         profile = CopyICCProfileData( *defaultData );
   }
   else if ( choice == 3 )
      colorManagementOn = false;
}
