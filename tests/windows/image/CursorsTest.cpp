#include <gtest/gtest.h>

#include <QBitmap>
#include <QCursor>
#include <QImage>

#include <cstring>
#include <set>
#include <string>

#include "windows/image/Cursors.h"

namespace
{

struct Expected
{
   int32_t slot;
   const char* name;
   int x, y;
};

const Expected table[] = {
    { 5, "CSR_OK", 7, 14 },
    { 6, "CSR_CANCEL", 8, 8 },
    { 7, "CSR_READOUT", 15, 15 },
    { 8, "CSR_ZOOM_IN", 15, 15 },
    { 9, "CSR_ZOOM_OUT", 15, 15 },
    { 10, "CSR_PAN", 15, 15 },
    { 11, "CSR_PANH", 15, 15 },
    { 12, "CSR_PANV", 15, 15 },
    { 13, "CSR_RESIZEH", 7, 3 },
    { 14, "CSR_RESIZEV", 3, 7 },
    { 15, "CSR_RESIZETLRB", 5, 5 },
    { 16, "CSR_RESIZEBLTR", 5, 5 },
    { 17, "CSR_CENTER", 15, 15 },
    { 18, "CSR_CROP", 13, 13 },
    { 19, "CSR_BKG_EXTRACTION", 13, 13 },
    { 20, "CSR_ALIGNMENT", 13, 13 },
    { 21, "CSR_NEW_PREVIEW", 13, 13 },
    { 22, "CSR_SELECT_PREVIEW", 9, 9 },
    { 23, "CSR_MOVE_PREVIEW", 9, 9 },
    { 24, "CSR_RESIZE_PREVIEW", 9, 9 },
    { 25, "CSR_SELECT_TOOL", 11, 0 },
    { 26, "CSR_TRACKBAR", 15, 0 },
    { 27, "CSR_DRAG", 0, 0 },
    { 28, "CSR_DRAG_ACCEPT", 0, 0 },
    { 29, "CSR_DRAG_REJECT", 0, 0 },
    { 30, "CSR_DRAG_CREATE", 0, 0 },
    { 31, "CSR_DRAG_COPY", 0, 0 },
    { 32, "CSR_PROCESS_DRAG", 15, 15 },
    { 33, "CSR_PROCESS_SELECT_VIEW", 9, 9 },
    { 34, "CSR_SELECT_OBJECT", 9, 9 },
    { 35, "CSR_SELECT_OBJECT_POINT", 9, 9 },
    { 36, "CSR_MOVE_OBJECT", 9, 9 },
    { 37, "CSR_RESIZE_OBJECT", 9, 9 },
    { 38, "CSR_RESIZE2_OBJECT", 9, 9 },
    { 39, "CSR_ROTATE_OBJECT", 9, 9 },
};

// The cursor's pixels as characters: '#' black, 'o' white, '.' transparent, '!' a bit the mask hides (an XOR pixel).
std::string Pixels( const QCursor& cursor )
{
   QImage bits = cursor.bitmap().toImage().convertToFormat( QImage::Format_RGB32 );
   QImage mask = cursor.mask().toImage().convertToFormat( QImage::Format_RGB32 );
   std::string s;
   for ( int y = 0; y < bits.height(); ++y )
      for ( int x = 0; x < bits.width(); ++x )
      {
         const bool black = qGray( bits.pixel( x, y ) ) < 128;
         const bool shown = qGray( mask.pixel( x, y ) ) < 128;
         s += shown ? ( black ? '#' : 'o' ) : ( black ? '!' : '.' );
      }
   return s;
}

char At( const std::string& pixels, int x, int y )
{
   return pixels[size_t( y * 32 + x )];
}

} // namespace

TEST( CursorsTest, EverySlotFrom5To39HoldsItsCursorWithItsHotSpot )
{
   InitializeCursors();
   std::set<std::string> designs;
   for ( const Expected& e : table )
   {
      SCOPED_TRACE( e.name );
      ASSERT_TRUE( HasScreenCursor( e.slot ) );
      ASSERT_NE( CursorName( e.slot ), nullptr );
      EXPECT_STREQ( CursorName( e.slot ), e.name );
      QCursor cursor = ScreenCursor( e.slot );
      EXPECT_EQ( cursor.shape(), Qt::BitmapCursor );
      EXPECT_EQ( cursor.hotSpot(), QPoint( e.x, e.y ) );
      ASSERT_EQ( cursor.bitmap().size(), QSize( 32, 32 ) );
      ASSERT_EQ( cursor.mask().size(), QSize( 32, 32 ) );
      const std::string pixels = Pixels( cursor );
      // Only black, white and transparent: nothing relies on inverting the screen.
      EXPECT_EQ( pixels.find( '!' ), std::string::npos );
      EXPECT_NE( pixels.find( '#' ), std::string::npos );
      EXPECT_NE( pixels.find( 'o' ), std::string::npos );
      // The hot spot is on the design or next to it, never in empty space.
      bool near = false;
      for ( int v = -3; v <= 3; ++v )
         for ( int u = -3; u <= 3; ++u )
            if ( e.x + u >= 0 && e.x + u < 32 && e.y + v >= 0 && e.y + v < 32 && At( pixels, e.x + u, e.y + v ) != '.' )
               near = true;
      EXPECT_TRUE( near );
      designs.insert( pixels );
   }
   // Slots 22/34 and 23/36 share their design; every other design is its own.
   EXPECT_EQ( designs.size(), std::size( table ) - 2 );

   // Slots outside the range are not the program's.
   for ( int32_t slot : { -2, 0, 4, 40 } )
   {
      EXPECT_FALSE( HasScreenCursor( slot ) );
      EXPECT_EQ( CursorName( slot ), nullptr );
      EXPECT_EQ( ScreenCursor( slot ).shape(), Qt::ArrowCursor );
   }
}

TEST( CursorsTest, TheTableIsBuiltOnceAndTheDesignsLookAsNamed )
{
   InitializeCursors();
   const qint64 key = ScreenCursor( CursorReadout ).bitmap().cacheKey();
   InitializeCursors();
   EXPECT_EQ( ScreenCursor( CursorReadout ).bitmap().cacheKey(), key );

   // The readout cross hair is open at its centre, drawn black with a white rim.
   const std::string readout = Pixels( ScreenCursor( CursorReadout ) );
   EXPECT_EQ( At( readout, 15, 15 ), '.' );
   EXPECT_EQ( At( readout, 2, 15 ), '#' );
   EXPECT_EQ( At( readout, 2, 14 ), 'o' );
   EXPECT_EQ( At( readout, 15, 28 ), '#' );
   EXPECT_EQ( At( readout, 16, 28 ), 'o' );

   // The drag arrow is white with a black outline, its tip at the hot spot.
   const std::string drag = Pixels( ScreenCursor( CursorDrag ) );
   EXPECT_EQ( At( drag, 0, 0 ), 'o' );
   EXPECT_EQ( At( drag, 1, 0 ), '#' );
   EXPECT_EQ( At( drag, 2, 5 ), 'o' );
   EXPECT_EQ( At( drag, 20, 20 ), '.' );

   // The OK check mark passes through its hot spot.
   EXPECT_EQ( At( Pixels( ScreenCursor( CursorOK ) ), 7, 14 ), 'o' );
}
