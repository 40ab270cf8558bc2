#include "process/AssignICCProfile.h"

#include <QAction>
#include <QString>
#include <QWidget>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "classlib/Math.h"
#include "platform/ColorManagementSettings.h"
#include "platform/ICCProfile.h"
#include "platform/Prompter.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"

namespace
{

// Longer paths are no paths: a stream that says so is damaged.
constexpr int32_t MaximumPathLength = 65536;

std::string ProfileDescription( const std::string& path )
{
   if ( path.empty() )
      return std::string();
   ICCProfileHandle profile = OpenICCProfileFile( path );
   std::string description = GetICCProfileDescription( profile );
   CloseICCProfile( profile );
   return description;
}

[[noreturn]] void Fail( const std::string& text )
{
   throw qor::GenericException( text );
}

// Closes a profile handle when it goes.
struct ProfileCloser
{
   ICCProfileHandle profile = nullptr;
   ~ProfileCloser() { CloseICCProfile( profile ); }
};

} // namespace

std::unique_ptr<Process::Parameters> AssignICCProfile::Parameters::Clone() const
{
   auto p = std::make_unique<Parameters>();
   p->Assign( *this );
   return p;
}

void AssignICCProfile::Parameters::Assign( const Process::Parameters& source )
{
   const auto& p = dynamic_cast<const Parameters&>( source );
   profilePath = p.profilePath;
   convert = p.convert;
   renderingIntent = p.renderingIntent;
}

void AssignICCProfile::Parameters::Read( qor::File& file, float )
{
   const int32_t n = file.ReadValue<int32_t>();
   if ( n < 0 || n > MaximumPathLength )
      throw qor::GenericException( "Invalid ICC profile path length: " + std::to_string( n ) );
   std::string path = n > 0 ? file.ReadString( n ) : std::string();
   const bool c = file.ReadValue<uint8_t>() != 0;
   const int32_t intent = file.ReadValue<int32_t>();
   profilePath = std::move( path );
   convert = c;
   renderingIntent = intent;
}

void AssignICCProfile::Parameters::Write( qor::File& file, float ) const
{
   file.WriteValue( int32_t( profilePath.size() ) );
   if ( !profilePath.empty() )
      file.WriteString( profilePath );
   file.WriteValue( uint8_t( convert ? 1 : 0 ) );
   file.WriteValue( renderingIntent );
}

std::string AssignICCProfile::Parameters::ToText( int32_t ) const
{
   return std::string( "convert=" ) + ( convert ? "1" : "0" ) + ",\nprofilePath=\"" + profilePath +
          "\",\nprofileDescription=\"" + ProfileDescription( profilePath.empty() ? profilePath : ResolvePath( profilePath ) ) +
          "\"";
}

AssignICCProfile::AssignICCProfile()
{
   parameters = std::make_unique<Parameters>();
}

AssignICCProfile::AssignICCProfile( const AssignICCProfile& source ) : ColorManagementProcess( source )
{
   parameters = source.parameters->Clone();
}

AssignICCProfile::AssignICCProfile( const Parameters& p )
{
   parameters = p.Clone();
}

std::unique_ptr<Process> AssignICCProfile::Clone() const
{
   return std::make_unique<AssignICCProfile>( *this );
}

std::string AssignICCProfile::Id() const
{
   return "AssignICCProfile";
}

bool AssignICCProfile::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TAssignICCProfileWindow" );
}

bool AssignICCProfile::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void AssignICCProfile::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      ColorManagementProcess::LaunchInterface();
}

std::string AssignICCProfile::ResolvePath( const std::string& profilePath )
{
   if ( profilePath.find( '/' ) != std::string::npos )
      return profilePath;
   return GetICCColorDirectory() + "/" + profilePath;
}

bool AssignICCProfile::ConfirmExecutionOn( ProcessView& view )
{
   if ( !Params().convert || !view.HasHighBitDepthFile() )
      return true;
   return platform::Ask( platform::Icon::Warning, QString::fromStdString( ProgramTitle() ),
                         "ICM transforms are performed in 16-bit precision.\n"
                         "Since the original file stores pixel data at a higher depth,\n"
                         "some degradation may occur. Proceed?",
                         platform::Buttons::OkCancel, platform::Answer::Ok ) == platform::Answer::Ok;
}

void AssignICCProfile::DoExecuteOn( ProcessView& view )
{
   const Parameters& p = Params();
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;
   if ( p.profilePath.empty() )
   {
      view.SetICCProfile( nullptr );
      view.Modified( true );
      return;
   }

   const std::string path = ResolvePath( p.profilePath );
   if ( !qor::File::Exists( path ) )
      Fail( "The ICC profile does not exist:\n" + path );
   std::unique_ptr<std::vector<uint8_t>> data = LoadICCProfileFile( path );
   if ( data == nullptr )
      Fail( "Unable to load ICC profile:\n" + path );

   const bool colorImage = image->GetColorSpace() != qor::ColorSpace::Gray;
   const uint32_t space = qor::ReadBigEndianUInt32( data->data() + 16 );
   if ( space != ICCSignatureRGB && ( colorImage || space != ICCSignatureGray ) )
   {
      // Named by its description too: the path alone does not say what the file holds.
      ProfileCloser described{ OpenICCProfileData( *data ) };
      const std::string description = GetICCProfileDescription( described.profile );
      Fail( "Incompatible ICC profile color space:\n" + path + ( description.empty() ? "" : "\n" + description ) );
   }

   if ( p.convert )
   {
      // From the profile the image has now: its own, else the default of its colour type.
      const std::vector<uint8_t>* current = view.ICCProfileData();
      if ( current == nullptr )
         current = colorImage ? ColorManagementSettings.defaultRGBProfileData.get()
                              : ColorManagementSettings.defaultGrayProfileData.get();
      ProfileCloser source{ current != nullptr ? OpenICCProfileData( *current ) : nullptr };
      if ( source.profile == nullptr )
         Fail( "Internal error: invalid or corrupted color management data" );
      ProfileCloser target{ OpenICCProfileData( *data ) };
      if ( target.profile == nullptr )
         Fail( "Error opening profile:\n" + path );
      qor::Image* result = ICMTransformImage( *image, target.profile, source.profile, uint32_t( p.renderingIntent ) );
      if ( result != image )
         view.ReplaceImage( std::unique_ptr<qor::Image>( result ) );
   }

   view.SetICCProfile( std::move( data ) );
   view.Modified( true );
}

bool AssignICCProfile::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}

uint32_t AssignICCProfile::UndoFlags( const ProcessView& ) const
{
   return Params().convert ? UndoPixelData | UndoICCProfile : UndoICCProfile;
}
