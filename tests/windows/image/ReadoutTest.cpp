// The pixel readout of an image window: probe statistics, the readout text in every data model and number form,
// and the information text.

#include <gtest/gtest.h>

#include "ImageWindowTestSupport.h"
#include "classlib/Image.h"
#include "windows/image/ImageWindow.h"
#include "windows/image/ImageWindow_ICM.h"

namespace
{

class ReadoutTest : public test::ImageWindowTest
{
protected:
   // A colour window whose pixel (1, 1) holds (r, g, b); every other pixel is 0.
   TImageWindow* Pixel( float r, float g, float b, int32_t alphas = 0 )
   {
      auto* image = new qor::Image( 3, 3, 3 + alphas, 1 );
      image->Pixel( 1, 1, 0 ) = r;
      image->Pixel( 1, 1, 1 ) = g;
      image->Pixel( 1, 1, 2 ) = b;
      for ( int32_t a = 0; a < alphas; ++a )
         image->Pixel( 1, 1, 3 + a ) = 0.25f * float( a + 1 );
      return Make( image );
   }

   static ReadoutOptionsData Options( uint8_t data, bool real = true, int32_t precision = 4, uint32_t maxValue = 255 )
   {
      ReadoutOptionsData o;
      o.data = data;
      o.real = real;
      o.precision = precision;
      o.maxValue = maxValue;
      return o;
   }
};

TEST_F( ReadoutTest, TheTextShowsEveryDataModelInRealAndIntegerForm )
{
   struct Case
   {
      float r, g, b;
      ReadoutOptionsData options;
      const char* text;
   };
   const Case cases[] = {
      { 0.125f, 0.5f, 1, Options( 0 ), " R:0.1250 \xC2\xB7 G:0.5000 \xC2\xB7 B:1.0000" },
      { 0.5f, 0.25f, 1, Options( 0, false ), " R:128 \xC2\xB7 G:64 \xC2\xB7 B:255" },
      { 0.5f, 0.25f, 1, Options( 0, false, 4, 65535 ), " R:32768 \xC2\xB7 G:16384 \xC2\xB7 B:65535" },
      { 0.5f, 0.2f, 1, Options( 0, true, 1 ), " R:0.5 \xC2\xB7 G:0.2 \xC2\xB7 B:1.0" },
      { 0.5f, 0.25f, 1, Options( 0, true, 6 ), " R:0.500000 \xC2\xB7 G:0.250000 \xC2\xB7 B:1.000000" },
      { 1, 1, 1, Options( 1, true, 3 ), " R:1.000 \xC2\xB7 G:1.000 \xC2\xB7 B:1.000 \xC2\xB7 L*:1.000" },
      // Hue in degrees keeps its decimals in integer form.
      { 0, 1, 0, Options( 2, false ), " H:120.0000 \xC2\xB7 S:255 \xC2\xB7 V:255" },
      { 1, 0, 0, Options( 2, true, 2 ), " H:0.00 \xC2\xB7 S:1.00 \xC2\xB7 V:1.00" },
      // XYZ is relative to the working space's white.
      { 1, 1, 1, Options( 3, true, 3 ), " X:1.000 \xC2\xB7 Y:1.000 \xC2\xB7 Z:1.000" },
   };
   for ( const Case& c : cases )
   {
      TImageWindow* w = Pixel( c.r, c.g, c.b );
      EXPECT_EQ( w->PixelReadoutText( 1, 1, c.options ).toStdString(), c.text );
   }

   // L*a*b* and L*c*h* of white: L* is 1 and a neutral colour has no chroma.
   TImageWindow* white = Pixel( 1, 1, 1 );
   const QString lab = white->PixelReadoutText( 1, 1, Options( 4 ) );
   EXPECT_TRUE( lab.startsWith( " L*:1.0000 \u00B7 a*:" ) ) << lab.toStdString();
   EXPECT_TRUE( lab.contains( " \u00B7 b*:" ) );
   const QString lch = white->PixelReadoutText( 1, 1, Options( 5 ) );
   EXPECT_TRUE( lch.startsWith( " L*:1.0000 \u00B7 c*:0.0000 \u00B7 h*:" ) ) << lch.toStdString();

   // Outside the image: nothing.
   EXPECT_TRUE( white->PixelReadoutText( 3, 1, Options( 0 ) ).isEmpty() );
   EXPECT_TRUE( white->PixelReadoutText( -1, 1, Options( 0 ) ).isEmpty() );
}

TEST_F( ReadoutTest, GreyImagesReadKAndADisplayedAlphaChannelIsAppended )
{
   auto* grey = new qor::Image( 2, 2, 1, 0 );
   grey->Pixel( 0, 0 ) = 0.5f;
   TImageWindow* g = Make( grey );
   EXPECT_EQ( g->PixelReadoutText( 0, 0, Options( 2, false ) ).toStdString(), " K:128" );
   EXPECT_EQ( g->PixelReadoutText( 0, 0, Options( 5 ) ).toStdString(), " K:0.5000" );

   TImageWindow* w = Pixel( 1, 1, 1, 2 );
   w->SetDisplayChannel( 7 ); // the second alpha channel
   ASSERT_EQ( w->displayChannel, 7 );
   EXPECT_EQ( w->PixelReadoutText( 1, 1, Options( 1 ) ).toStdString(),
              " R:1.0000 \xC2\xB7 G:1.0000 \xC2\xB7 B:1.0000 \xC2\xB7 a02:0.5000" );

   // An empty separator joins the values directly.
   CurrentPreferences.mainWindow.dataSeparator.clear();
   EXPECT_EQ( w->PixelReadoutText( 1, 1, Options( 0, false ) ).toStdString(), " R:255G:255B:255a02:128" );
}

TEST_F( ReadoutTest, TheProbeReadsItsStatisticOverTheSamplesInsideTheImage )
{
   // Pixel (x, y) holds x / 100 + y / 1000.
   qor::Image image( 40, 40, 1, 0 );
   for ( int32_t y = 0; y < 40; ++y )
      for ( int32_t x = 0; x < 40; ++x )
         image.Pixel( x, y ) = float( x ) / 100 + float( y ) / 1000;
   auto probe = [&]( int32_t size, uint8_t mode, int32_t x, int32_t y, int32_t channel = 0 )
   {
      ReadoutOptionsData o;
      o.probeSize = size;
      o.mode = mode;
      return TImageWindow::View::ProbeValue( image, channel, x, y, o );
   };
   for ( int32_t size = 1; size <= 9; size += 2 )
   {
      const int32_t h = size / 2;
      SCOPED_TRACE( size );
      EXPECT_FLOAT_EQ( probe( size, 0, 20, 20 ), image.Pixel( 20, 20 ) );
      EXPECT_FLOAT_EQ( probe( size, 1, 20, 20 ), image.Pixel( 20, 20 ) );
      EXPECT_FLOAT_EQ( probe( size, 2, 20, 20 ), image.Pixel( 20 - h, 20 - h ) );
      EXPECT_FLOAT_EQ( probe( size, 3, 20, 20 ), image.Pixel( 20 + h, 20 + h ) );
   }
   // At the corner only the 2 x 2 samples inside count: their mean, not a mean diluted by missing ones.
   EXPECT_FLOAT_EQ( probe( 3, 0, 0, 0 ), ( 0.0f + 0.01f + 0.001f + 0.011f ) / 4 );
   EXPECT_FLOAT_EQ( probe( 3, 3, 39, 39 ), image.Pixel( 39, 39 ) );
   // Samples above 1 read true in minimum mode.
   qor::Image bright( 3, 3, 1, 0 );
   for ( int64_t i = 0; i < 9; ++i )
      bright.PixelData( 0 )[i] = 2 + float( i );
   ReadoutOptionsData minimum;
   minimum.probeSize = 3;
   minimum.mode = 2;
   EXPECT_EQ( TImageWindow::View::ProbeValue( bright, 0, 1, 1, minimum ), 2.0f );
   // A channel the image lacks, or a point outside it, reads 0.
   EXPECT_EQ( probe( 1, 0, 5, 5, 1 ), 0.0f );
   EXPECT_EQ( probe( 3, 0, 40, 5 ), 0.0f );
}

TEST_F( ReadoutTest, TheInformationTextNamesSizeSpaceAndState )
{
   const bool available = ColorManagementSettings.displayAvailable;
   ColorManagementSettings.displayAvailable = true;
   TImageWindow* w = Make( new qor::Image( 1024, 768, 3, 1 ) );
   EXPECT_EQ( w->InfoText().toStdString(), " w:1024 \xC2\xB7 h:768 \xC2\xB7 RGB(global) \xC2\xB7 9.000 MB" );

   TImageWindow* mask = Make( new qor::Image( 1024, 768, 1, 0 ) );
   w->SetMask( mask );
   w->DisableMask();
   w->modificationCount = 1;
   w->colorManagementEnabled = false;
   EXPECT_EQ( w->InfoText().toStdString(), " w:1024 \xC2\xB7 h:768 \xC2\xB7 RGB(global) \xC2\xB7 9.000 MB \xC2\xB7 Modified"
                                           " \xC2\xB7 Masked(disabled) \xC2\xB7 ICM Off" );

   // A preview with a stored state, in a local working space.
   w->SetMask( nullptr );
   w->colorManagementEnabled = true;
   const float x[] = { 0.64f, 0.30f, 0.15f }, y[] = { 0.33f, 0.60f, 0.06f }, Y[] = { 0.2f, 0.7f, 0.1f };
   w->rgbWorkingSpace.SetParameters( 1.5f, false, x, y, Y );
   TImageWindow::Preview* p = w->CreatePreview( "", 0, 0, 512, 512 );
   p->Store();
   w->SelectView( p );
   EXPECT_EQ( w->InfoText().toStdString(), " w:512 \xC2\xB7 h:512 \xC2\xB7 RGB(local) \xC2\xB7 3.000 MB \xC2\xB7 Stored" );
   ColorManagementSettings.displayAvailable = available;
}

} // namespace
