// The NewImage process: its stream and text, the images it makes (sizes, colour modes, fill colours), their
// identifiers, and the sizes it refuses before allocating anything (outside the limits, or beyond the memory left).

#include <gtest/gtest.h>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "platform/SystemMemory.h"
#include "process/NewImage.h"
#include "process/ProcessContainer.h"
#include "windows/image/ImageWindowTestSupport.h"

namespace
{

class NewImageTest : public test::ImageWindowTest
{
protected:
   // Runs the instance and returns the window it made (tracked for deletion), or nullptr with the refusal's text.
   TImageWindow* Run( const NewImage::Parameters& p, std::string* refusal = nullptr )
   {
      const size_t before = MainViewList.size();
      try
      {
         NewImage( p ).ExecuteGlobal();
      }
      catch ( const std::exception& e )
      {
         if ( refusal != nullptr )
            *refusal = e.what();
         EXPECT_EQ( MainViewList.size(), before ) << "a refused run opens no window";
         return nullptr;
      }
      EXPECT_EQ( MainViewList.size(), before + 1 );
      return Track( MainViewList.back()->Window() );
   }

   static NewImage::Parameters Params( int32_t width, int32_t height, bool rgb, RGBColorParameters color = {},
                                       const std::string& id = "" )
   {
      NewImage::Parameters p;
      p.id = id;
      p.width = width;
      p.height = height;
      p.colorMode = rgb;
      p.initialColor = color;
      return p;
   }
};

TEST_F( NewImageTest, StreamAndTextOfTheDefaultsAndOfAFullSet )
{
   test::TempDir dir;
   auto stream = [&]( const NewImage::Parameters& p ) { return kit::ParameterBytes( p, dir.File( "p" ) ); };
   const NewImage::Parameters defaults;
   EXPECT_EQ( stream( defaults ), kit::Bytes()
                                      .Value( int32_t( 0 ) )
                                      .Value( int32_t( 256 ) )
                                      .Value( int32_t( 256 ) )
                                      .Value( uint8_t( 1 ) )
                                      .Value( 0.0f )
                                      .Value( 0.0f )
                                      .Value( 0.0f )
                                      .data );
   EXPECT_EQ( NewImage().ToText(), "NewImage id=<auto>,\nwidth=256,\nheight=256,\ncolorMode=\"color\",\n"
                                   "initialColor={0.0000,0.0000,0.0000}" );

   const NewImage::Parameters grey = Params( 640, 480, false, { 0.25f, 0.5f, 1.0f }, "Flat" );
   EXPECT_EQ( grey.ToText( 0 ), "id=\"Flat\",\nwidth=640,\nheight=480,\ncolorMode=\"grayscale\",\n"
                                "initialColor={0.2500,0.5000,1.0000}" );
   EXPECT_EQ( grey.ToText( -1 ), "id=\"Flat\",\nwidth=640,\nheight=480,\ncolorMode=\"grayscale\",..." );

   // Read back, with any nonzero mode byte meaning RGB.
   std::vector<uint8_t> bytes = stream( grey );
   bytes[4 + 4 + 8] = 7;
   const std::string path = dir.File( "r" );
   kit::WriteBytes( path, bytes );
   NewImage::Parameters read;
   qor::File file;
   file.OpenForReading( path );
   read.Read( file, 1.0f );
   EXPECT_EQ( read.ToText( 0 ), Params( 640, 480, true, { 0.25f, 0.5f, 1.0f }, "Flat" ).ToText( 0 ) );
}

TEST_F( NewImageTest, ImagesHaveTheSizeModeAndFillColourAsked )
{
   struct Case
   {
      int32_t width, height;
      bool rgb;
      RGBColorParameters color;
   };
   for ( const Case& c : { Case{ 256, 256, true, { 0, 0, 0 } }, Case{ 1, 1, true, { 1, 0.5f, 0.25f } },
                           Case{ 7, 3, false, { 0.2f, 0.7f, 0.9f } }, Case{ 1, 32000, false, { 1, 1, 1 } },
                           Case{ 333, 2, true, { 0.125f, 0.75f, 0.0f } } } )
   {
      SCOPED_TRACE( std::to_string( c.width ) + "x" + std::to_string( c.height ) + ( c.rgb ? " RGB" : " grey" ) );
      TImageWindow* w = Run( Params( c.width, c.height, c.rgb, c.color ) );
      ASSERT_NE( w, nullptr );
      const qor::Image& image = *w->image;
      EXPECT_EQ( image.Width(), c.width );
      EXPECT_EQ( image.Height(), c.height );
      EXPECT_EQ( image.NumberOfChannels(), c.rgb ? 3 : 1 );
      EXPECT_EQ( image.GetColorSpace(), c.rgb ? qor::ColorSpace::RGB : qor::ColorSpace::Gray );
      const float expected[3] = { c.color.red, c.color.green, c.color.blue };
      for ( int32_t ch = 0; ch < image.NumberOfChannels(); ++ch )
         for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
            ASSERT_EQ( image.PixelData( ch )[i], expected[ch] ) << "channel " << ch << " sample " << i;
      EXPECT_EQ( w->modificationCount, 0 );
      EXPECT_EQ( w->mainView->History().instances.Length(), 0u );
      EXPECT_TRUE( w->filePath.empty() );
      EXPECT_TRUE( w->rgbWorkingSpace.SharesDataWith( GlobalRGBWorkingSpace ) );
   }
}

TEST_F( NewImageTest, IdentifiersAreExpandedAndMadeUnique )
{
   auto idOf = [&]( const std::string& id )
   {
      TImageWindow* w = Run( Params( 4, 4, false, {}, id ) );
      return w != nullptr ? w->mainView->Identifier() : std::string( "<refused>" );
   };
   EXPECT_EQ( idOf( "" ), "Image01" );
   EXPECT_EQ( idOf( "Flat&uniqueId;" ), "Flat" );
   EXPECT_EQ( idOf( "Flat&uniqueId;" ), "Flat1" );
   EXPECT_EQ( idOf( "Flat" ), "Flat2" );
   EXPECT_EQ( idOf( "Dark" ), "Dark" );
   EXPECT_EQ( idOf( "Dark" ), "Dark1" );

   std::string refusal;
   for ( const char* bad : { "1st", "&uniqueId;", "a b" } )
   {
      EXPECT_EQ( Run( Params( 4, 4, false, {}, bad ), &refusal ), nullptr ) << bad;
      EXPECT_FALSE( refusal.empty() );
   }
}

TEST_F( NewImageTest, SizesOutsideTheLimitsOrBeyondTheMemoryLeftAreRefusedBeforeAllocating )
{
   // The probe counts its calls: a refusal of the size itself comes before memory is even looked at.
   int probes = 0;
   platform::AvailableMemoryScope memory( [&]() -> std::optional<uint64_t>
                                          {
                                             ++probes;
                                             return uint64_t( 64 ) << 20; // 64 MB left
                                          } );
   std::string refusal;
   for ( auto [w, h] : { std::pair{ 0, 256 }, std::pair{ 256, -1 }, std::pair{ 32001, 1 }, std::pair{ 1, INT32_MAX } } )
   {
      EXPECT_EQ( Run( Params( w, h, true ), &refusal ), nullptr );
      EXPECT_EQ( refusal, "Invalid image size: " + std::to_string( w ) + "x" + std::to_string( h ) +
                              " pixels. Width and height must be from 1 to 32000 pixels." );
   }
   EXPECT_EQ( probes, 0 );

   // 32000 x 32000 RGB takes 11718.75 MB and 5000 x 5000 grey 95.4 MB; 3000 x 2000 grey (22.9 MB) fits.
   EXPECT_EQ( Run( Params( 32000, 32000, true ), &refusal ), nullptr );
   EXPECT_EQ( refusal, "Not enough memory for a new 32000x32000 RGB color image: 11718.750 MB needed, "
                       "64.000 MB available." );
   EXPECT_EQ( Run( Params( 5000, 5000, false ), &refusal ), nullptr );
   EXPECT_NE( Run( Params( 3000, 2000, false ) ), nullptr );
   EXPECT_EQ( probes, 3 );
}

TEST_F( NewImageTest, AGlobalProcessWithTheNewImageWindowAsInterface )
{
   NewImage instance;
   EXPECT_EQ( instance.Category(), "Global" );
   EXPECT_TRUE( instance.CanExecuteGlobal() );
   TImageWindow* w = Make( new qor::Image( 4, 4 ) );
   EXPECT_FALSE( instance.CanExecuteOn( *w->mainView ) );
   EXPECT_TRUE( instance.IsInterfaceAvailable() );
}

} // namespace
