// The cursor table (see Cursors.h). Every design is drawn on a 32 x 32 grid with a few strokes (lines, arrow heads,
// cross hairs, a stamped arrow pointer) in one of two inks: "invert" for the designs that invert the screen, "white"
// for the white ones. A finishing pass gives each ink its rim (white around invert, black around white) and turns
// invert into black; the grid then becomes the cursor's bitmap and mask.

#include "windows/image/Cursors.h"

#include <QBitmap>

#include <array>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <memory>

namespace
{

enum Ink : uint8_t
{
   Clear = 0,
   Black = 1,
   White = 2,
   Invert = 3
};

constexpr int32_t side = 32;

class Canvas
{
public:
   void Set( int32_t x, int32_t y, Ink ink )
   {
      if ( x >= 0 && x < side && y >= 0 && y < side )
         cells[size_t( y * side + x )] = ink;
   }

   Ink At( int32_t x, int32_t y ) const
   {
      return x >= 0 && x < side && y >= 0 && y < side ? cells[size_t( y * side + x )] : Clear;
   }

   // Bresenham's line, both ends included.
   void Line( int32_t x0, int32_t y0, int32_t x1, int32_t y1, Ink ink )
   {
      const int32_t dx = std::abs( x1 - x0 ), sx = x0 < x1 ? 1 : -1;
      const int32_t dy = -std::abs( y1 - y0 ), sy = y0 < y1 ? 1 : -1;
      int32_t err = dx + dy;
      for ( ;; )
      {
         Set( x0, y0, ink );
         if ( x0 == x1 && y0 == y1 )
            break;
         const int32_t e2 = 2 * err;
         if ( e2 >= dy )
         {
            err += dy;
            x0 += sx;
         }
         if ( e2 <= dx )
         {
            err += dx;
            y0 += sy;
         }
      }
   }

   void Frame( int32_t x0, int32_t y0, int32_t x1, int32_t y1, Ink ink )
   {
      Line( x0, y0, x1, y0, ink );
      Line( x1, y0, x1, y1, ink );
      Line( x1, y1, x0, y1, ink );
      Line( x0, y1, x0, y0, ink );
   }

   void Fill( int32_t x0, int32_t y0, int32_t x1, int32_t y1, Ink ink )
   {
      for ( int32_t y = y0; y <= y1; ++y )
         for ( int32_t x = x0; x <= x1; ++x )
            Set( x, y, ink );
   }

   // A filled arrow head with its tip at (x, y) pointing along (dx, dy), each -1, 0 or 1: a triangle of `size` rows
   // behind the tip for the four axes, a right-angled corner with legs of `size` for the diagonals.
   void Head( int32_t x, int32_t y, int32_t dx, int32_t dy, int32_t size, Ink ink )
   {
      for ( int32_t i = 0; i <= size; ++i )
         for ( int32_t j = -i; j <= i; ++j )
         {
            if ( dx != 0 && dy != 0 )
            {
               // Diagonal: the cells (x - dx a, y - dy b) with a + b <= size.
               if ( j >= 0 )
                  Set( x - dx * ( i - j ), y - dy * j, ink );
            }
            else if ( dx != 0 )
               Set( x - dx * i, y + j, ink );
            else
               Set( x + j, y - dy * i, ink );
         }
   }

   // A line with arrow heads at both ends.
   void DoubleArrow( int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t size, Ink ink )
   {
      const int32_t dx = ( x1 > x0 ) - ( x1 < x0 ), dy = ( y1 > y0 ) - ( y1 < y0 );
      Line( x0, y0, x1, y1, ink );
      Head( x1, y1, dx, dy, size, ink );
      Head( x0, y0, -dx, -dy, size, ink );
   }

   // A cross hair centred on (x, y) with arms reaching `arm` pixels out and a clear square of `gap` around the
   // centre (0: closed).
   void CrossHair( int32_t x, int32_t y, int32_t arm, int32_t gap, Ink ink )
   {
      Line( x - arm, y, x - gap - 1, y, ink );
      Line( x + gap + 1, y, x + arm, y, ink );
      Line( x, y - arm, x, y - gap - 1, ink );
      Line( x, y + gap + 1, x, y + arm, ink );
      if ( gap == 0 )
         Set( x, y, ink );
   }

   // The arrow pointer, its tip at (x, y), pointing up and to the left (or up and to the right when mirrored).
   void Pointer( int32_t x, int32_t y, Ink ink, bool mirrored = false )
   {
      static const char* const rows[] = {
         "*",          "**",         "***",        "****",       "*****",     "******",
         "*******",    "********",   "*********",  "**********", "******",    "***.**",
         "**...**",    "*....**",    "......**",   "......**",   ".......**", ".......**",
      };
      int32_t r = 0;
      for ( const char* row : rows )
      {
         for ( int32_t c = 0; row[c] != '\0'; ++c )
            if ( row[c] == '*' )
               Set( mirrored ? x - c : x + c, y + r, ink );
         ++r;
      }
   }

   void Ring( double cx, double cy, double inner, double outer, Ink ink )
   {
      for ( int32_t y = 0; y < side; ++y )
         for ( int32_t x = 0; x < side; ++x )
         {
            const double d = std::hypot( x - cx, y - cy );
            if ( d >= inner && d <= outer )
               Set( x, y, ink );
         }
   }

   // Rims: every clear cell beside an invert cell turns white, every other clear cell beside a white cell turns
   // black; then invert becomes black.
   void Finish()
   {
      std::array<Ink, side * side> done = cells;
      for ( int32_t y = 0; y < side; ++y )
         for ( int32_t x = 0; x < side; ++x )
         {
            if ( At( x, y ) != Clear )
               continue;
            bool nearInvert = false, nearWhite = false;
            for ( int32_t v = -1; v <= 1; ++v )
               for ( int32_t u = -1; u <= 1; ++u )
               {
                  nearInvert |= At( x + u, y + v ) == Invert;
                  nearWhite |= At( x + u, y + v ) == White;
               }
            done[size_t( y * side + x )] = nearInvert ? White : nearWhite ? Black : Clear;
         }
      for ( Ink& ink : done )
         ink = ink == Invert ? Black : ink;
      cells = done;
   }

   // Bitmap (1 = black) and mask (1 = shown), rows of four bytes, least significant bit first.
   void Bits( std::array<uint8_t, side * side / 8>& bitmap, std::array<uint8_t, side * side / 8>& mask ) const
   {
      bitmap.fill( 0 );
      mask.fill( 0 );
      for ( int32_t i = 0; i < side * side; ++i )
      {
         const uint8_t bit = uint8_t( 1u << ( i % 8 ) );
         if ( cells[size_t( i )] != Clear )
            mask[size_t( i / 8 )] |= bit;
         if ( cells[size_t( i )] == Black || cells[size_t( i )] == Invert )
            bitmap[size_t( i / 8 )] |= bit;
      }
   }

private:
   std::array<Ink, side * side> cells{};
};

// The signs of the drag cursors, at the lower right of the drag arrow.
void DragCheck( Canvas& c )
{
   c.Line( 13, 20, 16, 23, White );
   c.Line( 13, 21, 16, 24, White );
   c.Line( 16, 23, 23, 16, White );
   c.Line( 16, 24, 23, 17, White );
}

void Cross( Canvas& c, int32_t x0, int32_t y0, int32_t size, Ink ink )
{
   for ( int32_t t = 0; t < 2; ++t )
   {
      c.Line( x0 + t, y0, x0 + size, y0 + size - t, ink );
      c.Line( x0 + size - t, y0, x0, y0 + size - t, ink );
   }
}

// A small cross at the centre with four arrows on its diagonals, pointing outward or inward.
void ZoomSign( Canvas& c, bool outward )
{
   c.CrossHair( 15, 15, 3, 0, Invert );
   for ( int32_t sy : { -1, 1 } )
      for ( int32_t sx : { -1, 1 } )
      {
         c.Line( 15 + 6 * sx, 15 + 6 * sy, 15 + 12 * sx, 15 + 12 * sy, Invert );
         if ( outward )
            c.Head( 15 + 12 * sx, 15 + 12 * sy, sx, sy, 4, Invert );
         else
            c.Head( 15 + 6 * sx, 15 + 6 * sy, -sx, -sy, 4, Invert );
      }
}

// The cross hair of the tools that mark the image, with room for a sign at its lower right.
void MarkingCrossHair( Canvas& c )
{
   c.CrossHair( 13, 13, 13, 2, Invert );
}

// The arrow of the selection cursors: tip at (9, 9).
void SelectionArrow( Canvas& c )
{
   c.Pointer( 9, 9, Invert );
}

// A small four-way arrow in the 9 x 9 square at the upper left.
void SmallMoveSign( Canvas& c )
{
   c.DoubleArrow( 0, 4, 8, 4, 2, Invert );
   c.DoubleArrow( 4, 0, 4, 8, 2, Invert );
}

// The selection arrow with a four-way arrow at its upper left.
void MovingArrow( Canvas& c )
{
   SelectionArrow( c );
   SmallMoveSign( c );
}

// The frame of the object-resizing cursors around the selection arrow, with an arrow head on its top edge.
void ResizeFrame( Canvas& c )
{
   SelectionArrow( c );
   c.Frame( 4, 5, 25, 30, Invert );
   c.Head( 14, 1, 0, -1, 3, Invert );
}

struct Design
{
   const char* name;
   int32_t hotX, hotY;
   void ( *draw )( Canvas& );
};

// By slot, from 5.
const Design designs[] = {
   { "CSR_OK", 7, 14,
     []( Canvas& c ) {
        c.Line( 3, 10, 7, 14, White );
        c.Line( 3, 9, 7, 13, White );
        c.Line( 7, 14, 16, 5, White );
        c.Line( 7, 13, 16, 4, White );
     } },
   { "CSR_CANCEL", 8, 8, []( Canvas& c ) { Cross( c, 3, 3, 10, White ); } },
   { "CSR_READOUT", 15, 15, []( Canvas& c ) { c.CrossHair( 15, 15, 15, 3, Invert ); } },
   { "CSR_ZOOM_IN", 15, 15, []( Canvas& c ) { ZoomSign( c, true ); } },
   { "CSR_ZOOM_OUT", 15, 15, []( Canvas& c ) { ZoomSign( c, false ); } },
   { "CSR_PAN", 15, 15,
     []( Canvas& c ) {
        c.DoubleArrow( 3, 15, 27, 15, 4, Invert );
        c.DoubleArrow( 15, 3, 15, 27, 4, Invert );
     } },
   { "CSR_PANH", 15, 15, []( Canvas& c ) { c.DoubleArrow( 2, 15, 28, 15, 5, Invert ); } },
   { "CSR_PANV", 15, 15, []( Canvas& c ) { c.DoubleArrow( 15, 2, 15, 28, 5, Invert ); } },
   { "CSR_RESIZEH", 7, 3, []( Canvas& c ) { c.DoubleArrow( 1, 3, 13, 3, 3, Invert ); } },
   { "CSR_RESIZEV", 3, 7, []( Canvas& c ) { c.DoubleArrow( 3, 1, 3, 13, 3, Invert ); } },
   { "CSR_RESIZETLRB", 5, 5, []( Canvas& c ) { c.DoubleArrow( 1, 1, 9, 9, 4, Invert ); } },
   { "CSR_RESIZEBLTR", 5, 5, []( Canvas& c ) { c.DoubleArrow( 1, 9, 9, 1, 4, Invert ); } },
   { "CSR_CENTER", 15, 15,
     []( Canvas& c ) {
        c.CrossHair( 15, 15, 15, 2, Invert );
        c.Head( 11, 15, 1, 0, 3, Invert );
        c.Head( 19, 15, -1, 0, 3, Invert );
        c.Head( 15, 11, 0, 1, 3, Invert );
        c.Head( 15, 19, 0, -1, 3, Invert );
     } },
   { "CSR_CROP", 13, 13,
     []( Canvas& c ) {
        MarkingCrossHair( c );
        c.Line( 21, 18, 21, 27, Invert );
        c.Line( 21, 27, 30, 27, Invert );
        c.Line( 18, 21, 27, 21, Invert );
        c.Line( 27, 21, 27, 30, Invert );
     } },
   { "CSR_BKG_EXTRACTION", 13, 13,
     []( Canvas& c ) {
        MarkingCrossHair( c );
        for ( int32_t j = 0; j < 3; ++j )
           for ( int32_t i = 0; i < 3; ++i )
              c.Fill( 20 + 4 * i, 20 + 4 * j, 21 + 4 * i, 21 + 4 * j, Invert );
     } },
   { "CSR_ALIGNMENT", 13, 13,
     []( Canvas& c ) {
        MarkingCrossHair( c );
        c.Frame( 20, 20, 28, 28, Invert );
     } },
   { "CSR_NEW_PREVIEW", 13, 13,
     []( Canvas& c ) {
        MarkingCrossHair( c );
        c.Line( 20, 18, 25, 18, Invert );
        c.Line( 25, 18, 28, 21, Invert );
        c.Line( 28, 21, 28, 30, Invert );
        c.Line( 28, 30, 20, 30, Invert );
        c.Line( 20, 30, 20, 18, Invert );
        c.Line( 25, 18, 25, 21, Invert );
        c.Line( 25, 21, 28, 21, Invert );
     } },
   { "CSR_SELECT_PREVIEW", 9, 9, SelectionArrow },
   { "CSR_MOVE_PREVIEW", 9, 9, MovingArrow },
   { "CSR_RESIZE_PREVIEW", 9, 9,
     []( Canvas& c ) {
        SelectionArrow( c );
        c.DoubleArrow( 0, 0, 6, 6, 3, Invert );
     } },
   { "CSR_SELECT_TOOL", 11, 0, []( Canvas& c ) { c.Pointer( 11, 0, White, true ); } },
   { "CSR_TRACKBAR", 15, 0,
     []( Canvas& c ) {
        c.Line( 15, 0, 15, 24, Invert );
        c.Head( 15, 0, 0, -1, 4, Invert );
     } },
   { "CSR_DRAG", 0, 0, []( Canvas& c ) { c.Pointer( 0, 0, White ); } },
   { "CSR_DRAG_ACCEPT", 0, 0,
     []( Canvas& c ) {
        c.Pointer( 0, 0, White );
        DragCheck( c );
     } },
   { "CSR_DRAG_REJECT", 0, 0,
     []( Canvas& c ) {
        c.Pointer( 0, 0, White );
        Cross( c, 14, 15, 8, White );
     } },
   { "CSR_DRAG_CREATE", 0, 0,
     []( Canvas& c ) {
        c.Pointer( 0, 0, White );
        c.Fill( 13, 19, 23, 20, White );
        c.Fill( 17, 15, 18, 25, White );
     } },
   { "CSR_DRAG_COPY", 0, 0,
     []( Canvas& c ) {
        c.Pointer( 0, 0, White );
        c.Frame( 13, 16, 23, 25, White );
     } },
   { "CSR_PROCESS_DRAG", 15, 15,
     []( Canvas& c ) {
        c.Ring( 15, 15, 3.5, 8.5, White );
        for ( int32_t k = 0; k < 8; ++k )
        {
           const double a = k * 3.14159265358979 / 4;
           for ( double r = 8; r <= 12; r += 0.5 )
              for ( double w = -1.5; w <= 1.5; w += 0.5 )
                 c.Set( int32_t( std::lround( 15 + r * std::cos( a ) - w * std::sin( a ) ) ),
                        int32_t( std::lround( 15 + r * std::sin( a ) + w * std::cos( a ) ) ), White );
        }
     } },
   { "CSR_PROCESS_SELECT_VIEW", 9, 9,
     []( Canvas& c ) {
        for ( int32_t i = 0; i <= 8; ++i )
           c.Line( 9 - i, 9 - i, 9 - i, 9 + i, White );
     } },
   { "CSR_SELECT_OBJECT", 9, 9, SelectionArrow },
   { "CSR_SELECT_OBJECT_POINT", 9, 9,
     []( Canvas& c ) {
        SelectionArrow( c );
        c.Frame( 22, 24, 26, 28, Invert );
     } },
   { "CSR_MOVE_OBJECT", 9, 9, MovingArrow },
   { "CSR_RESIZE_OBJECT", 9, 9, ResizeFrame },
   { "CSR_RESIZE2_OBJECT", 9, 9,
     []( Canvas& c ) {
        ResizeFrame( c );
        c.Head( 1, 17, -1, 0, 3, Invert );
     } },
   { "CSR_ROTATE_OBJECT", 9, 9,
     []( Canvas& c ) {
        c.Ring( 9, 9, 6.5, 7.5, Invert );
        c.CrossHair( 9, 9, 4, 0, Invert );
        c.Head( 16, 6, 0, 1, 3, Invert );
     } },
};

static_assert( std::size( designs ) == LastCursorSlot - FirstCursorSlot + 1 );

std::array<QCursor, std::size( designs )>* table = nullptr;

const Design* DesignOf( int32_t slot )
{
   return slot >= FirstCursorSlot && slot <= LastCursorSlot ? &designs[slot - FirstCursorSlot] : nullptr;
}

} // namespace

void InitializeCursors()
{
   if ( table != nullptr )
      return;
   auto cursors = std::make_unique<std::array<QCursor, std::size( designs )>>();
   for ( size_t i = 0; i < std::size( designs ); ++i )
   {
      Canvas canvas;
      designs[i].draw( canvas );
      canvas.Finish();
      std::array<uint8_t, side * side / 8> bits, mask;
      canvas.Bits( bits, mask );
      const QSize size( side, side );
      ( *cursors )[i] = QCursor( QBitmap::fromData( size, bits.data(), QImage::Format_MonoLSB ),
                                 QBitmap::fromData( size, mask.data(), QImage::Format_MonoLSB ), designs[i].hotX,
                                 designs[i].hotY );
   }
   table = cursors.release(); // lives as long as the program
}

bool HasScreenCursor( int32_t slot )
{
   return DesignOf( slot ) != nullptr;
}

QCursor ScreenCursor( int32_t slot )
{
   if ( DesignOf( slot ) == nullptr )
      return QCursor( Qt::ArrowCursor );
   InitializeCursors();
   return ( *table )[size_t( slot - FirstCursorSlot )];
}

const char* CursorName( int32_t slot )
{
   const Design* d = DesignOf( slot );
   return d != nullptr ? d->name : nullptr;
}
