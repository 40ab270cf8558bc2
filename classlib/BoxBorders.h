#ifndef QOR_BOXBORDERS_H
#define QOR_BOXBORDERS_H

// Where the box filters (median, minimum and maximum) read the samples that lie outside the image.
//
// Columns outside the image mirror about the edge columns without repeating them (x = -1 reads x = 1); rows above
// the image mirror about the top edge repeating the first row (y = -1 reads y = 0, y = -2 reads y = 1); rows below
// the image repeat the last row. The rules fold again as often as needed, so every index maps into the image,
// whatever the box and image sizes (down to 1 x 1).

#include <cstdint>

namespace qor
{

inline int32_t MirrorColumn( int64_t x, int32_t width )
{
   if ( width == 1 )
      return 0;
   int64_t period = 2 * int64_t( width - 1 );
   int64_t t = x % period;
   if ( t < 0 )
      t += period;
   return int32_t( t >= width ? period - t : t );
}

inline int32_t MirrorRow( int64_t y, int32_t height )
{
   if ( y >= height )
      return height - 1;
   if ( y >= 0 )
      return int32_t( y );
   int64_t period = 2 * int64_t( height );
   int64_t t = ( -y - 1 ) % period;
   return int32_t( t >= height ? period - 1 - t : t );
}

} // namespace qor

#endif
