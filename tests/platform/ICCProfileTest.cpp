// The ICC profile layer: opening and copying profile blocks, descriptions, finding and filtering profile files and
// pixel conversion between profiles.

#include <gtest/gtest.h>

#include <lcms2.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ICCTestProfiles.h"
#include "TestDirs.h"
#include "classlib/Image.h"
#include "classlib/Parallel.h"
#include "platform/ColorManagementSettings.h"
#include "platform/ICCProfile.h"
#include "platform/ICCProfileTransform.h"

namespace
{

using Bytes = std::vector<uint8_t>;

struct ProfileCloser
{
   void operator()( void* p ) const { CloseICCProfile( p ); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// The profile saved as a block (version 2.1 writes the description as a 'desc' element, 4.3 as 'mluc'); closes it.
Bytes Save( cmsHPROFILE h, double version = 2.1 )
{
   cmsSetProfileVersion( h, version );
   cmsUInt32Number size = 0;
   cmsSaveProfileToMem( h, nullptr, &size );
   Bytes bytes( size );
   cmsSaveProfileToMem( h, bytes.data(), &size );
   cmsCloseProfile( h );
   return bytes;
}

Bytes SRGBProfile( double version = 2.1 )
{
   return Save( cmsCreate_sRGBProfile(), version );
}

Bytes GrayProfile()
{
   cmsToneCurve* gamma = cmsBuildGamma( nullptr, 2.2 );
   cmsHPROFILE h = cmsCreateGrayProfile( cmsD50_xyY(), gamma );
   cmsFreeToneCurve( gamma );
   return Save( h );
}

// An sRGB profile whose description element is the given bytes; none when they are empty.
Bytes SRGBWithDescription( const Bytes& element )
{
   cmsHPROFILE h = cmsCreate_sRGBProfile();
   cmsWriteTag( h, cmsSigProfileDescriptionTag, nullptr );
   if ( !element.empty() )
      cmsWriteRawTag( h, cmsSigProfileDescriptionTag, element.data(), cmsUInt32Number( element.size() ) );
   return Save( h );
}

// A version 2 'desc' element: its ASCII count, then the text bytes as given (a null only where the text has one).
Bytes DescElement( uint32_t count, const std::string& text )
{
   Bytes e( 12 + text.size() + 80, 'x' ); // the Unicode and script parts after the text are never read
   const uint8_t head[12] = { 'd',
                              'e',
                              's',
                              'c',
                              0,
                              0,
                              0,
                              0,
                              uint8_t( count >> 24 ),
                              uint8_t( count >> 16 ),
                              uint8_t( count >> 8 ),
                              uint8_t( count ) };
   std::copy( head, head + 12, e.begin() );
   std::copy( text.begin(), text.end(), e.begin() + 12 );
   return e;
}

void WriteFile( const std::string& path, const Bytes& bytes )
{
   std::ofstream( path, std::ios::binary ).write( reinterpret_cast<const char*>( bytes.data() ), bytes.size() );
}

Profile Open( const Bytes& bytes )
{
   return Profile( OpenICCProfileData( bytes ) );
}

std::string DescriptionOf( const Bytes& bytes )
{
   Profile p = Open( bytes );
   EXPECT_TRUE( p != nullptr );
   return GetICCProfileDescription( p.get() );
}

} // namespace

TEST( ICCProfileTest, DescriptionsOfVersion2And4Profiles )
{
   const std::string text256( 256, 'a' );
   struct Case
   {
      const char* what;
      Bytes profile;
      std::string expected;
   } cases[] = {
       { "v2 desc", SRGBProfile( 2.1 ), "sRGB built-in" },
       { "v4 mluc", SRGBProfile( 4.3 ), "sRGB built-in" },
       { "hand-made", SRGBWithDescription( DescElement( 6, std::string( "Hello", 6 ) ) ), "Hello" },
       { "no desc", SRGBWithDescription( {} ), "" },
       { "no null within count + 1", SRGBWithDescription( DescElement( 5, "HelloWorld" ) ), "" },
       { "256 characters", SRGBWithDescription( DescElement( 257, text256 + '\0' ) ), text256 },
       { "null past 256", SRGBWithDescription( DescElement( 301, std::string( 300, 'b' ) + '\0' ) ), "" },
   };
   for ( const Case& c : cases )
      EXPECT_EQ( DescriptionOf( c.profile ), c.expected ) << c.what;

   EXPECT_EQ( GetICCProfileDescription( nullptr ), "" );
   // An element too short to hold its text, or whose text runs to its end without a null.
   EXPECT_EQ( ParseICCTextDescription( Bytes{ 'd', 'e', 's', 'c', 0, 0, 0, 0, 0, 0 } ), "" );
   EXPECT_EQ( ParseICCTextDescription( Bytes{ 'd', 'e', 's', 'c', 0, 0, 0, 0, 0, 0, 0, 9, 'a', 'b' } ), "" );
   EXPECT_EQ( ParseICCTextDescription( Bytes{ 'd', 'e', 's', 'c', 0, 0, 0, 0, 0, 0, 0, 0, 0 } ), "" );
}

TEST( ICCProfileTest, TheSystemSRGBProfileIsDescribed )
{
   const std::string path = GetICCColorDirectory() + "/sRGB.icc";
   if ( !std::filesystem::exists( path ) )
      GTEST_SKIP() << "no " << path;
   Profile p( OpenICCProfileFile( path ) );
   ASSERT_TRUE( p != nullptr );
   EXPECT_EQ( GetICCProfileDescription( p.get() ), "sRGB" );

   std::unique_ptr<Bytes> data = LoadICCProfileFile( path );
   ASSERT_NE( data, nullptr );
   EXPECT_EQ( DescriptionOf( *data ), "sRGB" );
}

TEST( ICCProfileTest, BlocksAreOpenedOnlyWhenTheyHoldAWholeProfile )
{
   const Bytes good = SRGBProfile();
   ASSERT_GT( good.size(), 128u );
   Bytes padded = good;
   padded.resize( good.size() + 100, 0xEE );
   Bytes truncated( good.begin(), good.end() - 1 );
   Bytes small = good;
   small[0] = small[1] = small[2] = 0, small[3] = 64; // states 64 bytes, less than a header
   Bytes huge = good;
   huge[0] = 0x7F;
   Bytes garbage( 512, 0x5A );
   garbage[0] = garbage[1] = 0, garbage[2] = 2, garbage[3] = 0;

   // Whether the block opens, and the size of its copy (0: none).
   struct Case
   {
      const char* what;
      Bytes block;
      bool opens;
      size_t copied;
   } cases[] = {
       { "whole", good, true, good.size() },
       { "padded", padded, true, good.size() }, // the profile's own size, not the block's
       { "truncated", truncated, false, 0 },
       { "below a header", small, false, 0 },
       { "size beyond the block", huge, false, 0 },
       { "garbage", garbage, false, garbage.size() },
       { "empty", Bytes(), false, 0 },
       { "100 bytes", Bytes( good.begin(), good.begin() + 100 ), false, 0 },
   };
   test::TempDir dir;
   for ( const Case& c : cases )
   {
      EXPECT_EQ( Profile( OpenICCProfileData( c.block ) ) != nullptr, c.opens ) << c.what;
      EXPECT_EQ( Profile( OpenICCProfileDataReadWrite( c.block ) ) != nullptr, c.opens ) << c.what;

      std::unique_ptr<Bytes> copy = CopyICCProfileData( c.block );
      EXPECT_EQ( copy ? copy->size() : 0, c.copied ) << c.what;
      if ( copy )
      {
         EXPECT_TRUE( std::equal( copy->begin(), copy->end(), c.block.begin() ) ) << c.what;
      }

      WriteFile( dir.File( "p.icc" ), c.block );
      std::unique_ptr<Bytes> loaded = LoadICCProfileFile( dir.File( "p.icc" ) );
      EXPECT_EQ( loaded != nullptr, c.opens ) << c.what;
      if ( loaded )
      {
         EXPECT_EQ( *loaded, good ) << c.what;
      }
      EXPECT_EQ( Profile( OpenICCProfileFile( dir.File( "p.icc" ) ) ) != nullptr, c.opens ) << c.what;
   }
   EXPECT_EQ( LoadICCProfileFile( dir.File( "missing.icc" ) ), nullptr );
   EXPECT_EQ( OpenICCProfileFile( "" ), nullptr );
   EXPECT_EQ( OpenICCProfileFile( dir.File( "missing.icc" ) ), nullptr );
   EXPECT_TRUE( CloseICCProfile( nullptr ) );
}

TEST( ICCProfileTest, ProfileFilesAreFoundByTheirExtension )
{
   test::TempDir dir;
   for ( const char* name : { "Profile.ICM", "x.Icc", "x.icc.bak", "icc", "noext", ".hidden.icc" } )
      WriteFile( dir.File( name ), Bytes( 4 ) );
   std::filesystem::create_directory( dir.Path() / "folder.icc" );
   WriteFile( dir.File( "folder.icc/inner.icc" ), Bytes( 4 ) );

   std::vector<std::string> files = { "kept" };
   FindICCProfileFiles( files, dir.Path().string() );
   ASSERT_EQ( files.size(), 3u );
   EXPECT_EQ( files[0], "kept" );
   std::sort( files.begin() + 1, files.end() );
   EXPECT_EQ( files[1], dir.File( "Profile.ICM" ) );
   EXPECT_EQ( files[2], dir.File( "x.Icc" ) );
}

namespace
{

// Sets environment variables for the scope, then puts them back as they were.
class EnvironmentScope
{
public:
   void Set( const char* name, const std::string& value )
   {
      const char* old = std::getenv( name );
      saved.emplace_back( name, old != nullptr ? std::optional<std::string>( old ) : std::nullopt );
      setenv( name, value.c_str(), 1 );
   }
   ~EnvironmentScope()
   {
      for ( auto it = saved.rbegin(); it != saved.rend(); ++it )
         if ( it->second )
            setenv( it->first.c_str(), it->second->c_str(), 1 );
         else
            unsetenv( it->first.c_str() );
   }

private:
   std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

} // namespace

TEST( ICCProfileTest, TheSystemAndUserProfileFoldersAreSearchedWithTheirSubfolders )
{
   // A private tree: two system data folders, a home with the user's folders, and one more data home.
   test::TempDir dir;
   const std::filesystem::path root = dir.Path();
   for ( const char* folder : { "sys1/color/icc/vendor/deep", "sys2/color/icc", "home/.local/share/icc",
                                "home/.color/icc/.hidden", "home/.local/share/color/icc", "data/icc" } )
      std::filesystem::create_directories( root / folder );
   const char* names[] = { "sys1/color/icc/top.icc",         "sys1/color/icc/vendor/deep/deep.ICM",
                           "sys2/color/icc/second.icc",      "sys2/color/icc/notes.txt",
                           "home/.local/share/icc/edid.icc", "home/.color/icc/old.icm",
                           "home/.color/icc/.hidden/x.icc",  "home/.local/share/color/icc/xdg.icc",
                           "data/icc/elsewhere.icc" };
   for ( const char* name : names )
      WriteFile( ( root / name ).string(), Bytes( 4 ) );
   // A link back up the tree is followed once, not forever.
   std::filesystem::create_directory_symlink( root / "sys1/color/icc", root / "sys1/color/icc/vendor/loop" );

   auto found = []
   {
      std::vector<std::string> files;
      FindICCProfileFiles( files, std::string() );
      return files;
   };
   auto has = [&root]( const std::vector<std::string>& files, const char* name )
   {
      const std::string path = ( root / name ).string();
      return std::count( files.begin(), files.end(), path ) == 1;
   };

   EnvironmentScope environment;
   environment.Set( "HOME", ( root / "home" ).string() );
   environment.Set( "XDG_DATA_DIRS", ( root / "sys1" ).string() + ":" + ( root / "sys2" ).string() + "/" );
   unsetenv( "XDG_DATA_HOME" );
   std::vector<std::string> files = found();
   for ( const char* name : { "sys1/color/icc/top.icc", "sys1/color/icc/vendor/deep/deep.ICM",
                              "sys2/color/icc/second.icc", "home/.local/share/icc/edid.icc",
                              "home/.color/icc/old.icm", "home/.local/share/color/icc/xdg.icc" } )
      EXPECT_TRUE( has( files, name ) ) << name;
   for ( const char* name : { "sys2/color/icc/notes.txt", "home/.color/icc/.hidden/x.icc", "data/icc/elsewhere.icc" } )
      EXPECT_FALSE( has( files, name ) ) << name;

   // The user's data folder is XDG_DATA_HOME where it is set; the system's own folder stays listed.
   environment.Set( "XDG_DATA_HOME", ( root / "data" ).string() );
   files = found();
   EXPECT_TRUE( has( files, "data/icc/elsewhere.icc" ) );
   EXPECT_FALSE( has( files, "home/.local/share/icc/edid.icc" ) );
   EXPECT_TRUE( has( files, "home/.color/icc/old.icm" ) );
   const std::vector<std::string> folders = ICCProfileFolders();
   ASSERT_FALSE( folders.empty() );
   if ( std::filesystem::is_directory( GetICCColorDirectory() ) )
      EXPECT_EQ( folders.front(), GetICCColorDirectory() );
}

TEST( ICCProfileTest, ProfilesAreFilteredByClassAndColorSpace )
{
   test::TempDir dir;
   WriteFile( dir.File( "rgb.icc" ), SRGBProfile() );
   WriteFile( dir.File( "gray.icc" ), GrayProfile() );
   WriteFile( dir.File( "lab.icm" ), Save( cmsCreateLab4Profile( nullptr ), 4.3 ) );
   WriteFile( dir.File( "nodesc.icc" ), SRGBWithDescription( {} ) );
   WriteFile( dir.File( "garbage.icc" ), Bytes( 300, 1 ) );
   const std::vector<std::string> files = { dir.File( "lab.icm" ),     dir.File( "rgb.icc" ),
                                            dir.File( "nodesc.icc" ),  dir.File( "garbage.icc" ),
                                            dir.File( "missing.icc" ), dir.File( "gray.icc" ) };
   struct Case
   {
      uint32_t deviceClass;
      uint32_t colorSpace;
      std::vector<std::string> names;
   } cases[] = {
       { 0, 0, { "lab.icm", "rgb.icc", "gray.icc" } },
       { 0, ICCSignatureRGB, { "rgb.icc" } },
       { 0, ICCSignatureGray, { "gray.icc" } },
       { cmsSigDisplayClass, 0, { "rgb.icc", "gray.icc" } },
       { cmsSigDisplayClass, ICCSignatureGray, { "gray.icc" } },
       { cmsSigAbstractClass, 0, { "lab.icm" } },
       { cmsSigOutputClass, 0, {} },
   };
   for ( const Case& c : cases )
   {
      std::vector<std::string> descriptions = { "d" }, paths = { "p" };
      FilterICCProfiles( descriptions, paths, c.deviceClass, c.colorSpace, files );
      std::vector<std::string> expected = { "p" };
      for ( const std::string& name : c.names )
         expected.push_back( dir.File( name ) );
      EXPECT_EQ( paths, expected ) << c.deviceClass << " " << c.colorSpace;
      ASSERT_EQ( descriptions.size(), paths.size() );
      for ( size_t i = 1; i < descriptions.size(); ++i )
         EXPECT_FALSE( descriptions[i].empty() );
   }
}

TEST( ICCProfileTest, LittleCMSIsTheOnlyModule )
{
   qor::Array<uint32_t> identifiers;
   std::vector<std::string> modules;
   EXPECT_TRUE( FindInstalledCMMs( identifiers, modules ) );
   ASSERT_EQ( identifiers.Length(), 1u );
   EXPECT_EQ( identifiers[0], 0x6C636D73u ); // 'lcms'
   EXPECT_EQ( modules.size(), 1u );
}

TEST( ICCProfileTest, SamplesPackToSixteenBitWordsAndBack )
{
   struct Case
   {
      float sample;
      uint16_t word;
   } cases[] = {
       { 0.0f, 0 },
       { 1.0f, 65535 },
       { 0.5f, 32768 }, // 32767.5 goes to the even neighbour
       { 1.5f / 65535, 2 },
       { 2.5f / 65535, 2 },
       { -0.25f, 0 },
       { 2.0f, 65535 },
       { std::numeric_limits<float>::quiet_NaN(), 0 },
   };
   for ( const Case& c : cases )
      EXPECT_EQ( PackICCSample( c.sample ), c.word ) << c.sample;
   EXPECT_EQ( UnpackICCSample( 65535 ), 1.0f );
   EXPECT_EQ( UnpackICCSample( 0 ), 0.0f );
   EXPECT_EQ( UnpackICCSample( 32768 ), float( 32768.0 / 65535 ) );
}

namespace
{

class ICMTransformTest : public ::testing::Test
{
protected:
   static qor::Image Ramp( int32_t width, int32_t height, int32_t channels, int32_t colorSpace )
   {
      qor::Image image( width, height, channels, colorSpace );
      for ( int32_t c = 0; c < channels; ++c )
         for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
            image[c][i] = float( ( i * 37 + c * 1001 ) % 65536 ) / 65535;
      return image;
   }

   // Saved as version 4, sRGB keeps its parametric curves, so that a conversion to itself is the identity. (Saved as
   // version 2 its curves become tables, and LittleCMS's exact pipeline reads the inverse of a table at 16-bit steps
   // of linear light: in the darkest tones that moves a sample by up to about 15 16-bit steps, and so does the
   // conversion, which agrees with that pipeline.)
   Profile srgb = Open( SRGBProfile( 4.3 ) );
   Profile gray = Open( GrayProfile() );
};

struct Recorder
{
   std::vector<std::pair<int32_t, int64_t>> events;
   std::string text;
   int64_t abortAt = -1;

   static int32_t Callback( void* data, int32_t event, qor::StatusCallback& monitor )
   {
      auto* r = static_cast<Recorder*>( data );
      r->events.emplace_back( event, monitor.Count() );
      r->text = monitor.Text();
      return r->abortAt >= 0 && monitor.Count() >= r->abortAt ? 1 : 0;
   }
};

} // namespace

TEST_F( ICMTransformTest, SameProfileLeavesTheImageAsItWasAndItsAlphaUntouched )
{
   qor::Image image = Ramp( 70, 90, 4, qor::ColorSpace::RGB );
   const qor::Image original = image;
   EXPECT_EQ( ICMTransformImage( image, srgb.get(), srgb.get(), 0 ), &image );
   ASSERT_EQ( image.NumberOfChannels(), 4 );
   for ( int32_t c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         ASSERT_NEAR( image[c][i], original[c][i], 1.0f / 65535 ) << c << " " << i;
   EXPECT_TRUE( std::equal( image[3], image[3] + image.NumberOfPixels(), original[3] ) );

   qor::Image grey = Ramp( 50, 50, 1, qor::ColorSpace::Gray );
   const qor::Image greyOriginal = grey;
   EXPECT_EQ( ICMTransformImage( grey, gray.get(), gray.get(), 1 ), &grey );
   for ( int64_t i = 0; i < grey.NumberOfPixels(); ++i )
      ASSERT_NEAR( grey[0][i], greyOriginal[0][i], 1.0f / 65535 ) << i;
}

TEST_F( ICMTransformTest, AChangeOfColorTypeGivesANewImage )
{
   // RGB to a grey target: a new one-channel image; neutral input keeps its order of brightness.
   qor::Image rgb( 3, 1, 3, qor::ColorSpace::RGB );
   const float levels[] = { 0.0f, 0.5f, 1.0f };
   for ( int32_t c = 0; c < 3; ++c )
      std::copy( levels, levels + 3, rgb[c] );
   std::unique_ptr<qor::Image> g( ICMTransformImage( rgb, gray.get(), srgb.get(), 0 ) );
   ASSERT_NE( g.get(), &rgb );
   EXPECT_EQ( g->NumberOfChannels(), 1 );
   EXPECT_EQ( g->GetColorSpace(), qor::ColorSpace::Gray );
   EXPECT_EQ( rgb.NumberOfChannels(), 3 );
   EXPECT_EQ( rgb[0][1], 0.5f );
   EXPECT_NEAR( g->Pixel( 0, 0 ), 0.0f, 1e-3f );
   EXPECT_GT( g->Pixel( 1, 0 ), 0.3f );
   EXPECT_LT( g->Pixel( 1, 0 ), 0.7f );
   EXPECT_NEAR( g->Pixel( 2, 0 ), 1.0f, 1e-3f );

   // A grey image with an RGB source profile to an RGB target: its plane is fed as red, green and blue alike.
   qor::Image grey = Ramp( 100, 50, 1, qor::ColorSpace::Gray );
   std::unique_ptr<qor::Image> c( ICMTransformImage( grey, srgb.get(), srgb.get(), 0 ) );
   ASSERT_NE( c.get(), &grey );
   EXPECT_EQ( c->NumberOfChannels(), 3 );
   EXPECT_EQ( c->GetColorSpace(), qor::ColorSpace::RGB );
   EXPECT_FALSE( c->IsMonitored() );
   EXPECT_EQ( grey.NumberOfChannels(), 1 );
   for ( int32_t k = 0; k < 3; ++k )
      for ( int64_t i = 0; i < grey.NumberOfPixels(); ++i )
         ASSERT_NEAR( ( *c )[k][i], grey[0][i], 1.0f / 65535 ) << k << " " << i;
}

TEST_F( ICMTransformTest, PixelsGoInBlocksOf4096WithProgressAndAbort )
{
   // On one thread the blocks go in order; on more, those running when the abort comes finish too.
   qor::ThreadCountScope oneThread( 1 );
   qor::Image image = Ramp( 100, 100, 1, qor::ColorSpace::Gray );
   Recorder recorder;
   image.Status().SetCallback( Recorder::Callback, &recorder );
   ICMTransformImage( image, gray.get(), gray.get(), 0 );
   EXPECT_EQ( recorder.text, "ICM color transform" );
   using E = qor::StatusCallback;
   const std::vector<std::pair<int32_t, int64_t>> expected = {
       { E::Started, 0 }, { E::Progress, 4096 }, { E::Progress, 8192 }, { E::Done, 10000 } };
   EXPECT_EQ( recorder.events, expected );

   // An abort after the first block leaves the rest of an in-place image unconverted.
   qor::Image rgb( 100, 100, 3, qor::ColorSpace::RGB );
   for ( int32_t c = 0; c < 3; ++c )
      rgb.Fill( c, 0.25f );
   Recorder stopper;
   stopper.abortAt = 4096;
   rgb.Status().SetCallback( Recorder::Callback, &stopper );
   Profile linear = []
   {
      cmsToneCurve* one = cmsBuildGamma( nullptr, 1.0 );
      cmsToneCurve* curves[3] = { one, one, one };
      cmsCIExyYTRIPLE primaries = { { 0.64, 0.33, 1 }, { 0.30, 0.60, 1 }, { 0.15, 0.06, 1 } };
      cmsHPROFILE h = cmsCreateRGBProfile( cmsD50_xyY(), &primaries, curves );
      cmsFreeToneCurve( one );
      return Open( Save( h ) );
   }();
   try
   {
      ICMTransformImage( rgb, linear.get(), srgb.get(), 0 );
      ADD_FAILURE() << "no abort";
   }
   catch ( const qor::Image::AbortProcessEvent& x )
   {
      EXPECT_EQ( x.SourceImage(), &rgb );
   }
   EXPECT_NE( rgb[0][4095], 0.25f );
   EXPECT_EQ( rgb[0][4096], 0.25f );
}

namespace
{

// A ROMM RGB (ProPhoto) profile: D50 white, primaries at the spectrum's edge, gamma 1.8.
Bytes ROMMProfile()
{
   const cmsCIExyY white = { 0.3457, 0.3585, 1 };
   const cmsCIExyYTRIPLE primaries = { { 0.7347, 0.2653, 1 }, { 0.1596, 0.8404, 1 }, { 0.0366, 0.0001, 1 } };
   cmsToneCurve* gamma = cmsBuildGamma( nullptr, 1.8 );
   cmsToneCurve* curves[3] = { gamma, gamma, gamma };
   cmsHPROFILE h = cmsCreateRGBProfile( &white, &primaries, curves );
   cmsFreeToneCurve( gamma );
   return Save( h );
}

// Colours at 16-bit steps where a precomputed lattice misses most: dark tones, saturated edges, near-greys, and a
// grid of levels from black to white.
std::vector<std::array<uint16_t, 3>> TestTones()
{
   std::vector<std::array<uint16_t, 3>> tones = {
       { 24248, 328, 22937 }, // (0.37, 0.005, 0.35)
       { 5854, 314, 2 },       { 36289, 64264, 53697 }, { 33513, 58709, 10769 }, { 511, 328, 22937 },
       { 2994, 322, 1961 },    { 300, 310, 290 },       { 1, 0, 0 },             { 65535, 65535, 65535 } };
   const uint16_t levels[] = { 0, 1, 4, 30, 200, 900, 3000, 9000, 20000, 40000, 65535 };
   for ( uint16_t r : levels )
      for ( uint16_t g : levels )
         for ( uint16_t b : levels )
            tones.push_back( { r, g, b } );
   return tones;
}

} // namespace

TEST( ICCProfileTest, ConversionsAgreeWithLittleCMSExactPipelineInEveryTone )
{
   // The reference is LittleCMS's pipeline evaluated stage by stage at 16-bit precision (no precomputed lattice):
   // the conversion must agree with it within one 16-bit step, on the system's profiles.
   const std::string folder = "/usr/share/color/icc/";
   for ( const char* name : { "sRGB.icc", "compatibleWithAdobeRGB1998.icc", "Gray.icc" } )
      ASSERT_TRUE( std::filesystem::exists( folder + name ) ) << folder + name << " (icc-profiles-free)";
   Profile srgb( OpenICCProfileFile( folder + "sRGB.icc" ) );
   Profile adobe( OpenICCProfileFile( folder + "compatibleWithAdobeRGB1998.icc" ) );
   Profile gray( OpenICCProfileFile( folder + "Gray.icc" ) );
   Profile romm = Open( ROMMProfile() );
   Profile builtIn = Open( SRGBProfile() );

   const std::vector<std::array<uint16_t, 3>> tones = TestTones();
   struct Case
   {
      const char* what;
      void* source;
      void* target;
      uint32_t intent;
   } cases[] = {
       { "sRGB to Adobe-compatible", srgb.get(), adobe.get(), 0 },
       { "Adobe-compatible to sRGB", adobe.get(), srgb.get(), 0 },
       { "ROMM to sRGB", romm.get(), srgb.get(), 0 },
       { "ROMM to sRGB, relative colorimetric", romm.get(), srgb.get(), 1 },
       { "built-in sRGB to Adobe-compatible", builtIn.get(), adobe.get(), 0 },
       { "Gray to sRGB", gray.get(), srgb.get(), 0 },
       { "sRGB to Gray", srgb.get(), gray.get(), 0 },
   };
   for ( const Case& c : cases )
   {
      const bool grayIn = uint32_t( cmsGetColorSpace( c.source ) ) == ICCSignatureGray;
      const bool grayOut = uint32_t( cmsGetColorSpace( c.target ) ) == ICCSignatureGray;
      const int inputs = grayIn ? 1 : 3, outputs = grayOut ? 1 : 3;
      // Grey input: every 16-bit step.
      std::vector<uint16_t> words;
      if ( grayIn )
         for ( uint32_t k = 0; k < 65536; ++k )
            words.push_back( uint16_t( k ) );
      else
         for ( const auto& t : tones )
            words.insert( words.end(), t.begin(), t.end() );
      const int32_t n = int32_t( words.size() ) / inputs;

      cmsHTRANSFORM exact = cmsCreateTransform( c.source, grayIn ? TYPE_GRAY_16 : TYPE_RGB_16, c.target,
                                                grayOut ? TYPE_GRAY_16 : TYPE_RGB_16, c.intent, cmsFLAGS_NOOPTIMIZE );
      ASSERT_NE( exact, nullptr ) << c.what;
      std::vector<uint16_t> expected( size_t( n ) * outputs );
      cmsDoTransform( exact, words.data(), expected.data(), cmsUInt32Number( n ) );
      cmsDeleteTransform( exact );

      qor::Image image( n, 1, inputs, grayIn ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
      for ( int32_t i = 0; i < n; ++i )
         for ( int ch = 0; ch < inputs; ++ch )
            image[ch][i] = float( words[size_t( i * inputs + ch )] ) / 65535;
      std::unique_ptr<qor::Image> owned;
      qor::Image* result = ICMTransformImage( image, c.target, c.source, c.intent );
      if ( result != &image )
         owned.reset( result );
      ASSERT_EQ( result->NumberOfChannels(), outputs ) << c.what;

      double worst = 0;
      int32_t at = 0;
      for ( int32_t i = 0; i < n; ++i )
         for ( int ch = 0; ch < outputs; ++ch )
         {
            const double error = std::fabs( double( ( *result )[ch][i] ) * 65535 - expected[size_t( i * outputs + ch )] );
            if ( error > worst )
            {
               worst = error;
               at = i;
            }
         }
      EXPECT_LE( worst, 1.0 ) << c.what << ": " << worst << " 16-bit steps off at input "
                              << words[size_t( at * inputs )] << " (first word)";
   }

   // The tone a precomputed lattice took to 3.29/255 in green instead of 7.21/255.
   qor::Image tone( 1, 1, 3, qor::ColorSpace::RGB );
   tone[0][0] = 0.37f;
   tone[1][0] = 0.005f;
   tone[2][0] = 0.35f;
   ICMTransformImage( tone, adobe.get(), srgb.get(), 0 );
   EXPECT_NEAR( tone[1][0] * 255, 7.21, 0.01 );
}

TEST_F( ICMTransformTest, OneTransformConvertsManyImagesAndAllCoresGiveWhatOneGives )
{
   Profile adobe = Open( test::SaveProfile( test::MakeAdobeCompatibleProfile( "Adobe" ) ) );
   std::unique_ptr<ICCProfileTransform> transform = ICCProfileTransform::Create( srgb.get(), adobe.get(), 0 );
   ASSERT_NE( transform, nullptr );
   EXPECT_TRUE( transform->IsTabulated() );
   const qor::Image original = Ramp( 301, 97, 3, qor::ColorSpace::RGB );
   qor::Image serial = original, parallel = original, direct = original;
   {
      qor::ThreadCountScope oneThread( 1 );
      EXPECT_EQ( ICMTransformImage( serial, *transform ), &serial );
   }
   EXPECT_EQ( ICMTransformImage( parallel, *transform ), &parallel );
   ICMTransformImage( direct, adobe.get(), srgb.get(), 0 );
   for ( int c = 0; c < 3; ++c )
   {
      EXPECT_TRUE( std::equal( serial[c], serial[c] + serial.NumberOfPixels(), parallel[c] ) ) << c;
      EXPECT_TRUE( std::equal( serial[c], serial[c] + serial.NumberOfPixels(), direct[c] ) ) << c;
   }

   // A pipeline the tables do not cover (a grey profile on the L* scale) goes through LittleCMS, still exact.
   const std::string grayL = "/usr/share/color/icc/Gray-CIE_L.icc";
   if ( std::filesystem::exists( grayL ) )
   {
      Profile l( OpenICCProfileFile( grayL ) );
      std::unique_ptr<ICCProfileTransform> exact = ICCProfileTransform::Create( l.get(), srgb.get(), 0 );
      ASSERT_NE( exact, nullptr );
      EXPECT_FALSE( exact->IsTabulated() );
      qor::Image grey = Ramp( 64, 4, 1, qor::ColorSpace::Gray );
      std::unique_ptr<qor::Image> rgb( ICMTransformImage( grey, *exact ) );
      EXPECT_EQ( rgb->NumberOfChannels(), 3 );
      // Samples outside [0, 1] and NaN are taken as their nearest end and 0.
      grey[0][0] = -1;
      grey[0][1] = 2;
      grey[0][2] = std::numeric_limits<float>::quiet_NaN();
      std::unique_ptr<qor::Image> edges( ICMTransformImage( grey, *exact ) );
      EXPECT_EQ( ( *edges )[0][0], ( *edges )[0][2] );
      EXPECT_NEAR( ( *edges )[0][1], 1.0f, 1e-4f );
      for ( int c = 0; c < 3; ++c )
         for ( int64_t i = 0; i < edges->NumberOfPixels(); ++i )
            ASSERT_TRUE( ( *edges )[c][i] >= 0 && ( *edges )[c][i] <= 1 ) << c << " " << i;
   }
}

TEST_F( ICMTransformTest, FailuresRaiseTheirTexts )
{
   Profile lab = Open( Save( cmsCreateLab4Profile( nullptr ), 4.3 ) );
   qor::Image hsv( 4, 4, 3, qor::ColorSpace::HSV );
   qor::Image rgb( 4, 4, 3, qor::ColorSpace::RGB );
   qor::Image grey( 4, 4, 1, qor::ColorSpace::Gray );
   struct Case
   {
      qor::Image& image;
      void* target;
      void* source;
      const char* text;
   } cases[] = {
       { hsv, srgb.get(), srgb.get(), "Unsupported color space for ICM transform" },
       { rgb, nullptr, srgb.get(), "Invalid or corrupted ICC profiles" },
       { grey, gray.get(), nullptr, "Invalid or corrupted ICC profiles" },
       { rgb, srgb.get(), gray.get(), "Incompatible color transform" },
       { grey, lab.get(), gray.get(), "Error creating color transform" },
   };
   for ( const Case& c : cases )
   {
      try
      {
         ICMTransformImage( c.image, c.target, c.source, 0 );
         ADD_FAILURE() << "no error for " << c.text;
      }
      catch ( const qor::GenericException& x )
      {
         EXPECT_EQ( x.Message(), c.text );
      }
   }
}
