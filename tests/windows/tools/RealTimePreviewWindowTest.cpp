// The real-time preview window offscreen: the owner protocol between windows, the transfer tables applied to the
// display bitmap of known images, mask blending, the reduction, the readout, and requests made by events handled
// while a rendering keeps responsive.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <cmath>

#include "classlib/RGBColorSystem.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/NotificationRecorder.h"
#include "windows/tools/RealTimePreviewWindow.h"

namespace
{

// A window with a live preview of its own, turned off when another window takes the preview over.
class PreviewOwner : public TLFToolWindow
{
public:
   explicit PreviewOwner( const char* name ) : TLFToolWindow( nullptr )
   {
      setObjectName( name );
      setWindowTitle( name );
   }
   void RealTimePreviewOwnerChanged( QWidget* control ) override
   {
      ++told;
      if ( previewOn && control != this )
         previewOn = false;
   }
   bool previewOn = false;
   int told = 0;
};

// Bytes of a Format_RGB32 pixel.
struct RGB
{
   int r, g, b;
};

RGB BitmapAt( const QImage& bitmap, int x, int y )
{
   const QRgb p = bitmap.pixel( x, y );
   return { qRed( p ), qGreen( p ), qBlue( p ) };
}

// A w x h image whose samples climb across the image, a different slope per channel.
qor::Image* Ramp( int32_t w, int32_t h, int32_t channels )
{
   auto* image = new qor::Image( w, h, channels, channels == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
   for ( int32_t c = 0; c < channels; ++c )
      for ( int32_t y = 0; y < h; ++y )
         for ( int32_t x = 0; x < w; ++x )
            image->Pixel( x, y, c ) = float( ( x + y * w ) * ( c + 1 ) % ( w * h ) ) / float( w * h - 1 );
   return image;
}

class RealTimePreviewWindowTest : public test::ImageWindowTest
{
protected:
   // The preview window shown on the main view of a window (shown at its natural size: a small image is never
   // reduced).
   void Show( TRealTimePreviewWindow& rtp, TImageWindow* w )
   {
      rtp.show();
      rtp.SelectView( w->mainView );
      QCoreApplication::processEvents(); // the new size reaches the panel
      rtp.Image_PaintBox->grab();        // a paint: the drawn rectangle is known from here on
   }
};

TEST_F( RealTimePreviewWindowTest, TheOwnerProtocolTurnsThePreviewOffInTheWindowThatLostIt )
{
   TRealTimePreviewWindow rtp;
   PreviewOwner a( "Curves" ), b( "Histograms" );
   EXPECT_FALSE( rtp.GoToOwner_Button->isEnabled() );

   a.previewOn = true;
   rtp.SetOwner( &a );
   EXPECT_EQ( rtp.Owner(), &a );
   EXPECT_EQ( rtp.windowTitle(), "Real Time Preview: Curves" );
   EXPECT_TRUE( rtp.GoToOwner_Button->isEnabled() );
   EXPECT_EQ( rtp.GoToOwner_Button->toolTip(), "Curves" );
   EXPECT_TRUE( a.previewOn );

   b.previewOn = true;
   rtp.SetOwner( &b );
   EXPECT_FALSE( a.previewOn );
   EXPECT_TRUE( b.previewOn );
   EXPECT_EQ( rtp.windowTitle(), "Real Time Preview: Histograms" );
   const int told = a.told;
   rtp.SetOwner( &b ); // no change: nobody is told
   EXPECT_EQ( a.told, told );

   // The button brings the owner to the front.
   rtp.GoToOwner_Button->click();
   EXPECT_TRUE( b.isVisible() );

   // Hiding the preview window lets go of the owner, whose preview goes off.
   rtp.show();
   rtp.hide();
   EXPECT_EQ( rtp.Owner(), nullptr );
   EXPECT_FALSE( b.previewOn );
   EXPECT_EQ( rtp.windowTitle(), "Real Time Preview" );
   EXPECT_FALSE( rtp.GoToOwner_Button->isEnabled() );
   EXPECT_EQ( rtp.GoToOwner_Button->toolTip(), "" );

   // Reset lets go too, and renders identity tables.
   a.previewOn = true;
   rtp.SetOwner( &a );
   rtp.transferTables.bytes[0][7] = 0;
   rtp.floatTableActive[1] = true;
   rtp.Reset();
   EXPECT_EQ( rtp.Owner(), nullptr );
   EXPECT_FALSE( a.previewOn );
   EXPECT_EQ( rtp.transferTables.bytes[0][7], 7 );
   EXPECT_FALSE( rtp.floatTableActive[1] );
}

TEST_F( RealTimePreviewWindowTest, TablesMapTheDisplayBytesOfColourAndGreyImages )
{
   TImageWindow* rgb = Make( Ramp( 9, 7, 3 ) );
   TImageWindow* grey = Make( Ramp( 9, 7, 1 ) );
   TRealTimePreviewWindow rtp;
   Show( rtp, rgb );
   ASSERT_EQ( rtp.zoom, 1 );
   const QImage expected =
       RenderImageBitmap( *rgb->image, rgb->rgbWorkingSpace, 0, 0, 9, 7, 1, RenderModeRGB, nullptr, -1, -1 );
   EXPECT_EQ( rtp.sourceBitmap, expected );
   EXPECT_EQ( rtp.previewBitmap, rtp.sourceBitmap ) << "identity tables show the source as it is";

   for ( int i = 0; i < 256; ++i )
   {
      rtp.transferTables.bytes[0][size_t( i )] = uint8_t( 255 - i );
      rtp.transferTables.bytes[1][size_t( i )] = uint8_t( i / 2 );
      rtp.transferTables.bytes[3][size_t( i )] = 0; // grey images only
   }
   rtp.UpdatePreview( false );
   for ( int y = 0; y < 7; ++y )
      for ( int x = 0; x < 9; ++x )
      {
         const RGB s = BitmapAt( rtp.sourceBitmap, x, y ), p = BitmapAt( rtp.previewBitmap, x, y );
         EXPECT_EQ( p.r, 255 - s.r );
         EXPECT_EQ( p.g, s.g / 2 );
         EXPECT_EQ( p.b, s.b );
      }

   // A grey image takes table 3 alone.
   for ( int i = 0; i < 256; ++i )
      rtp.transferTables.bytes[3][size_t( i )] = uint8_t( 255 - i );
   rtp.SelectView( grey->mainView );
   for ( int y = 0; y < 7; ++y )
      for ( int x = 0; x < 9; ++x )
      {
         const RGB s = BitmapAt( rtp.sourceBitmap, x, y ), p = BitmapAt( rtp.previewBitmap, x, y );
         EXPECT_EQ( p.r, 255 - s.r );
         EXPECT_EQ( p.g, 255 - s.r );
         EXPECT_EQ( p.b, 255 - s.r );
      }
}

// A saturation table of zeros turns every pixel into the neutral grey of its own CIE lightness; a hue table alone
// leaves neutral pixels alone.
TEST_F( RealTimePreviewWindowTest, FloatTablesChangeColourAndKeepLightness )
{
   TImageWindow* w = Make( Ramp( 9, 7, 3 ) );
   TRealTimePreviewWindow rtp;
   Show( rtp, w );
   rtp.transferTables.floats[2].fill( 0.0f );
   rtp.floatTableActive[2] = true;
   rtp.UpdatePreview( false );
   const qor::RGBColorSystem& space = w->rgbWorkingSpace;
   for ( int y = 0; y < 7; ++y )
      for ( int x = 0; x < 9; ++x )
      {
         const RGB s = BitmapAt( rtp.sourceBitmap, x, y ), p = BitmapAt( rtp.previewBitmap, x, y );
         EXPECT_NEAR( p.r, p.g, 1 );
         EXPECT_NEAR( p.g, p.b, 1 );
         const float L0 = space.RGBToCIEL( s.r / 255.0f, s.g / 255.0f, s.b / 255.0f );
         const float L1 = space.RGBToCIEL( p.r / 255.0f, p.g / 255.0f, p.b / 255.0f );
         EXPECT_NEAR( L1, L0, 0.005 );
      }

   qor::Image* neutral = new qor::Image( 4, 4, 3, qor::ColorSpace::RGB );
   for ( int c = 0; c < 3; ++c )
      for ( int i = 0; i < 16; ++i )
         neutral->PixelData( c )[i] = float( i ) / 15;
   TImageWindow* n = Make( neutral );
   rtp.ResetTransferTables();
   for ( int i = 0; i < 256; ++i )
      rtp.transferTables.floats[1][size_t( i )] = 0.5f;
   rtp.floatTableActive[1] = true;
   rtp.SelectView( n->mainView );
   for ( int i = 0; i < 16; ++i )
   {
      const RGB s = BitmapAt( rtp.sourceBitmap, i % 4, i / 4 ), p = BitmapAt( rtp.previewBitmap, i % 4, i / 4 );
      EXPECT_NEAR( p.r, s.r, 1 );
      EXPECT_NEAR( p.g, s.g, 1 );
      EXPECT_NEAR( p.b, s.b, 1 );
   }
}

// Where the mask is white the preview shows the processed value, where it is black the source, in between a blend
// of both; with masking disabled every pixel is processed.
TEST_F( RealTimePreviewWindowTest, TheMaskBlendsProcessedAndSourceBytes )
{
   TImageWindow* w = Make( Ramp( 8, 6, 3 ) );
   auto* maskImage = new qor::Image( 8, 6, 1, qor::ColorSpace::Gray );
   for ( int y = 0; y < 6; ++y )
      for ( int x = 0; x < 8; ++x )
         maskImage->Pixel( x, y ) = x < 4 ? 1.0f : ( x < 6 ? 0.0f : 0.4f );
   TImageWindow* m = Make( maskImage );
   TRealTimePreviewWindow rtp;
   Show( rtp, w );
   auto maskByte = []( int x ) { return x < 4 ? 255 : ( x < 6 ? 0 : 102 ); };

   // Byte tables.
   for ( int i = 0; i < 256; ++i )
      rtp.transferTables.bytes[0][size_t( i )] = uint8_t( 255 - i );
   rtp.UpdatePreview( false );
   const QImage processed = rtp.previewBitmap.copy();
   w->SetMask( m ); // the window is told, renders the mask and the preview
   ASSERT_FALSE( rtp.maskBitmap.isNull() );
   for ( int y = 0; y < 6; ++y )
      for ( int x = 0; x < 8; ++x )
      {
         const RGB s = BitmapAt( rtp.sourceBitmap, x, y ), o = BitmapAt( processed, x, y ),
                   p = BitmapAt( rtp.previewBitmap, x, y );
         const int mask = maskByte( x );
         EXPECT_EQ( p.r, int( std::nearbyint( ( o.r * mask + ( 255 - mask ) * s.r ) / 255.0 ) ) ) << x;
         EXPECT_EQ( p.g, s.g );
      }

   // Float tables: the same blend of the processed components.
   rtp.transferTables.floats[0].fill( 0.9f );
   rtp.floatTableActive[0] = true;
   w->DisableMask();
   const QImage processedFloat = rtp.previewBitmap.copy();
   w->EnableMask();
   for ( int y = 0; y < 6; ++y )
      for ( int x = 0; x < 8; ++x )
      {
         const RGB s = BitmapAt( rtp.sourceBitmap, x, y ), o = BitmapAt( processedFloat, x, y ),
                   p = BitmapAt( rtp.previewBitmap, x, y );
         const int mask = maskByte( x );
         EXPECT_NEAR( p.g, ( o.g * mask + ( 255 - mask ) * s.g ) / 255.0, 1.0 ) << x;
         if ( mask == 0 )
         {
            EXPECT_EQ( p.b, s.b );
         }
         if ( mask == 255 )
         {
            EXPECT_EQ( p.b, o.b );
         }
      }
   EXPECT_NE( processedFloat, rtp.sourceBitmap );
}

TEST_F( RealTimePreviewWindowTest, TheZoomFollowsTheFitRatioAndTheLossySteps )
{
   struct Case
   {
      double ratio;
      int32_t lossy, zoom;
   } cases[] = { { 2, 0, 1 },    { 2, 2, 1 },     { 2, 3, -1 },     { 2, 4, -2 },    { 0.5, 1, -3 },
                 { 0.4, 0, -3 }, { 0.4, 8, -11 }, { 0.01, 0, -16 }, { 0.1, 8, -16 }, { 0, 0, -16 } };
   for ( const Case& c : cases )
      EXPECT_EQ( TRealTimePreviewWindow::PreviewZoom( c.ratio, c.lossy ), c.zoom ) << c.ratio << " " << c.lossy;

   // A large image is reduced so that it fits the paint box.
   TImageWindow* w = Make( RandomImage( 1200, 900, 3, qor::ColorSpace::RGB ) );
   TRealTimePreviewWindow rtp;
   Show( rtp, w );
   EXPECT_LT( rtp.zoom, -1 );
   EXPECT_LE( rtp.sourceBitmap.width(), rtp.Image_PaintBox->width() );
   EXPECT_LE( rtp.sourceBitmap.height(), rtp.Image_PaintBox->height() );
   const int32_t zoom = rtp.zoom;
   rtp.Lossy_ComboBox->setCurrentIndex( 3 );
   EXPECT_EQ( rtp.zoom, std::max( -16, zoom - 2 ) );
}

TEST_F( RealTimePreviewWindowTest, TheReadoutReportsThePreviewColour )
{
   TMainWindow main;
   TImageWindow* w = Make( Ramp( 8, 6, 3 ) );
   TRealTimePreviewWindow rtp;
   Show( rtp, w );
   for ( int i = 0; i < 256; ++i )
      rtp.transferTables.bytes[2][size_t( i )] = 17;
   rtp.UpdatePreview( false );
   rtp.Image_PaintBox->grab();
   test::NotificationRecorder recorder( { "beginreadout", "readout", "endreadout" } );

   uint32_t source = 0, preview = 0;
   ASSERT_TRUE( rtp.SamplePixel( 0, 0, source, preview ) );
   EXPECT_EQ( int( qBlue( preview ) ), 17 );
   EXPECT_FALSE( rtp.SamplePixel( rtp.paintRect.width(), 0, source, preview ) );

   rtp.Image_PaintBoxMouseDown( Qt::LeftButton, 1, 1 );
   EXPECT_TRUE( w->readoutActive );
   rtp.Image_PaintBoxMouseMove( 2, 2 );
   const RGB s = BitmapAt( rtp.sourceBitmap, 0, 0 );
   EXPECT_TRUE( main.Readout_Panel->text().endsWith( QString::asprintf( " -> %03d,%03d,017", s.r, s.g ) ) )
       << main.Readout_Panel->text().toStdString();
   EXPECT_TRUE( main.Position_Panel->text().startsWith( " x:0" ) );
   rtp.Image_PaintBoxMouseUp( Qt::LeftButton, 2, 2 );
   EXPECT_FALSE( w->readoutActive );
   EXPECT_EQ( recorder.events, ( std::vector<std::string>{ "beginreadout:" + w->mainView->FullIdentifier(),
                                                           "readout:" + w->mainView->FullIdentifier(),
                                                           "endreadout:" + w->mainView->FullIdentifier() } ) );

   rtp.Image_PaintBoxMouseMove( rtp.paintRect.width() + 3, 1 );
   EXPECT_EQ( main.Readout_Panel->text(), "" );
   EXPECT_EQ( main.Position_Panel->text(), "" );
}

// Events handled while a rendering keeps responsive may change the tables, ask for new renderings and delete the
// view's window: the rendering finishes on its own bitmaps, and what was asked happens afterwards.
TEST_F( RealTimePreviewWindowTest, RequestsMadeDuringARenderingWaitForItsEnd )
{
   TImageWindow* w = Make( Ramp( 40, 30, 3 ) );
   TRealTimePreviewWindow rtp;
   Show( rtp, w );
   ASSERT_EQ( rtp.sourceBitmap.size(), QSize( 40, 30 ) );
   rtp.responsiveBlockPixels = 40; // an event round after every row

   int handled = 0;
   QTimer::singleShot( 0, &rtp,
                       [&]
                       {
                          ++handled;
                          EXPECT_TRUE( rtp.rendering );
                          rtp.transferTables.bytes[1].fill( 0 );
                          rtp.UpdatePreview( true );
                          rtp.Rebuild();
                       } );
   rtp.UpdatePreview( true );
   EXPECT_EQ( handled, 1 );
   EXPECT_FALSE( rtp.rendering );
   for ( int y = 0; y < 30; ++y )
      EXPECT_EQ( BitmapAt( rtp.previewBitmap, 5, y ).g, 0 ) << "the tables of the last request are shown";

   QTimer::singleShot( 0, &rtp, [&] { delete w; } );
   rtp.UpdatePreview( true );
   EXPECT_EQ( rtp.CurrentView(), nullptr );
   EXPECT_TRUE( rtp.sourceBitmap.isNull() );
   EXPECT_TRUE( rtp.previewBitmap.isNull() );
}

} // namespace
