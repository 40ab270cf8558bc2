#include "formats/DIB.h"

#include <array>
#include <bit>
#include <cstring>
#include <limits>

#include "classlib/ColorSpace.h"
#include "classlib/Exception.h"
#include "classlib/Image.h"

namespace
{

constexpr uint32_t BI_RGB = 0;
constexpr uint32_t BI_BITFIELDS = 3;

[[noreturn]] void Refuse()
{
   throw qor::GenericException( "Invalid or unsupported DIB format" );
}

uint16_t U16( const uint8_t* p )
{
   return uint16_t( p[0] | ( p[1] << 8 ) );
}

uint32_t U32( const uint8_t* p )
{
   return uint32_t( p[0] ) | ( uint32_t( p[1] ) << 8 ) | ( uint32_t( p[2] ) << 16 ) | ( uint32_t( p[3] ) << 24 );
}

int32_t I32( const uint8_t* p )
{
   return std::bit_cast<int32_t>( U32( p ) );
}

// One channel of a 32-bit pixel selected by a mask: a run of contiguous set bits.
struct ChannelMask
{
   uint32_t mask = 0;
   int32_t shift = 0;
   double scale = 0; // 1 / the channel's full scale

   explicit ChannelMask( uint32_t m ) : mask( m )
   {
      if ( m == 0 )
         Refuse();
      shift = std::countr_zero( m );
      uint32_t bits = m >> shift;
      if ( ( bits & ( bits + 1 ) ) != 0 ) // not one run of ones
         Refuse();
      scale = 1.0 / double( bits );
   }

   float operator()( uint32_t pixel ) const { return float( double( ( pixel & mask ) >> shift ) * scale ); }
};

// What the header says, checked against the block.
struct Layout
{
   int32_t width = 0;
   int32_t height = 0;   // absolute
   bool bottomUp = true; // positive biHeight
   int32_t bitCount = 0;
   bool bitFields = false;
   std::array<uint32_t, 3> masks{}; // red, green, blue (32 bits with BI_BITFIELDS)
   const uint8_t* palette = nullptr;
   int64_t paletteEntries = 0;
   const uint8_t* pixels = nullptr;
   int64_t stride = 0;
};

// pixelOffset: where the pixels start when the caller knows it (a BMP file header), else -1.
Layout ParseDIB( const uint8_t* dib, size_t size, int64_t pixelOffset )
{
   if ( dib == nullptr || size < DIBInfoHeaderSize )
      Refuse();
   const uint32_t headerSize = U32( dib );
   if ( headerSize < DIBInfoHeaderSize || headerSize > size )
      Refuse();

   Layout l;
   const int32_t width = I32( dib + 4 );
   const int32_t height = I32( dib + 8 );
   const uint16_t planes = U16( dib + 12 );
   const uint16_t bitCount = U16( dib + 14 );
   const uint32_t compression = U32( dib + 16 );
   const uint32_t colorsUsed = U32( dib + 32 );
   if ( planes != 1 || ( bitCount != 8 && bitCount != 24 && bitCount != 32 ) ||
        ( compression != BI_RGB && compression != BI_BITFIELDS ) )
      Refuse();
   if ( width <= 0 || height == 0 || height == std::numeric_limits<int32_t>::min() )
      Refuse();
   l.width = width;
   l.height = height < 0 ? -height : height;
   l.bottomUp = height > 0;
   l.bitCount = bitCount;

   int64_t offset = headerSize;
   if ( compression == BI_BITFIELDS && bitCount != 8 )
   {
      // Channel masks exist for 16 and 32 bits only; a 24-bit bitmap with masks is malformed.
      if ( bitCount != 32 )
         Refuse();
      l.bitFields = true;
      const uint8_t* m = dib + DIBInfoHeaderSize; // inside a longer header, else right after the short one
      if ( headerSize == DIBInfoHeaderSize )
      {
         if ( size < DIBInfoHeaderSize + 12 )
            Refuse();
         offset += 12;
      }
      else if ( headerSize < DIBInfoHeaderSize + 12 )
         Refuse();
      l.masks = { U32( m ), U32( m + 4 ), U32( m + 8 ) };
   }

   // The colour table: required for 8 bits (biClrUsed entries, 0 meaning all 256); optional beside 24 or 32-bit
   // pixels (then skipped).
   int64_t entries = colorsUsed;
   if ( bitCount == 8 )
   {
      if ( entries == 0 )
         entries = 256;
      if ( entries > 256 )
         Refuse();
   }
   if ( entries * 4 > int64_t( size ) - offset )
      Refuse();
   l.palette = dib + offset;
   l.paletteEntries = bitCount == 8 ? entries : 0;
   offset += entries * 4;

   if ( pixelOffset >= offset && pixelOffset <= int64_t( size ) )
      offset = pixelOffset;

   // Rows are padded to four bytes; the last one may come without its padding.
   const int64_t rowBytes = ( int64_t( width ) * bitCount + 7 ) / 8;
   l.stride = ( int64_t( width ) * bitCount + 31 ) / 32 * 4;
   const int64_t available = int64_t( size ) - offset;
   if ( available < rowBytes || ( available - rowBytes ) / l.stride < int64_t( l.height ) - 1 )
      Refuse();
   l.pixels = dib + offset;
   return l;
}

void Decode( qor::Image& image, const Layout& l )
{
   constexpr double byteScale = 1.0 / 255.0;
   std::array<float, 256> levels;
   for ( int32_t b = 0; b < 256; ++b )
      levels[size_t( b )] = float( b * byteScale );

   // Palette as three channels of samples, and whether every entry is grey.
   bool grey = false;
   std::array<std::array<float, 256>, 3> table{};
   if ( l.bitCount == 8 )
   {
      grey = true;
      for ( int64_t i = 0; i < l.paletteEntries; ++i )
      {
         const uint8_t* e = l.palette + 4 * i;
         table[0][size_t( i )] = levels[e[2]];
         table[1][size_t( i )] = levels[e[1]];
         table[2][size_t( i )] = levels[e[0]];
         grey = grey && e[0] == e[1] && e[1] == e[2];
      }
      // A pixel may only name an entry of the table.
      for ( int32_t y = 0; y < l.height; ++y )
      {
         const uint8_t* row = l.pixels + l.stride * y;
         for ( int32_t x = 0; x < l.width; ++x )
            if ( row[x] >= l.paletteEntries )
               Refuse();
      }
   }

   const int32_t channels = grey ? 1 : 3;
   qor::Image result( l.width, l.height, channels, grey ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
   result.Status().SetCallback( image.Status().Callback(), image.Status().Data() );

   std::array<ChannelMask, 3> masks{ ChannelMask( l.bitFields ? l.masks[0] : 0x00FF0000u ),
                                     ChannelMask( l.bitFields ? l.masks[1] : 0x0000FF00u ),
                                     ChannelMask( l.bitFields ? l.masks[2] : 0x000000FFu ) };
   try
   {
      result.BeginTask( "Loading Device Independent Bitmap", result.NumberOfPixels() );
      result.ParallelRows(
          l.height,
          [&]( int64_t y0, int64_t y1 )
          {
             for ( int64_t y = y0; y < y1; ++y )
             {
                // Bottom-up rows are stored last row first: the image comes out upright.
                const uint8_t* in = l.pixels + l.stride * ( l.bottomUp ? l.height - 1 - y : y );
                if ( l.bitCount == 8 )
                {
                   if ( grey )
                   {
                      float* g = result.ScanLine( 0, int32_t( y ) );
                      for ( int32_t x = 0; x < l.width; ++x )
                         g[x] = table[0][in[x]];
                   }
                   else
                      for ( int32_t c = 0; c < 3; ++c )
                      {
                         float* out = result.ScanLine( c, int32_t( y ) );
                         for ( int32_t x = 0; x < l.width; ++x )
                            out[x] = table[size_t( c )][in[x]];
                      }
                }
                else if ( l.bitCount == 24 )
                {
                   float* r = result.ScanLine( 0, int32_t( y ) );
                   float* g = result.ScanLine( 1, int32_t( y ) );
                   float* b = result.ScanLine( 2, int32_t( y ) );
                   for ( int32_t x = 0; x < l.width; ++x, in += 3 )
                   {
                      b[x] = levels[in[0]];
                      g[x] = levels[in[1]];
                      r[x] = levels[in[2]];
                   }
                }
                else
                {
                   float* out[3] = { result.ScanLine( 0, int32_t( y ) ), result.ScanLine( 1, int32_t( y ) ),
                                     result.ScanLine( 2, int32_t( y ) ) };
                   for ( int32_t x = 0; x < l.width; ++x, in += 4 )
                   {
                      const uint32_t pixel = U32( in );
                      for ( int32_t c = 0; c < 3; ++c )
                         out[c][x] = masks[size_t( c )]( pixel );
                   }
                }
             }
          },
          l.width );
   }
   catch ( const qor::Image::AbortProcessEvent& )
   {
      result.Status().SetCallback( nullptr, nullptr );
      throw qor::Image::AbortProcessEvent( &image );
   }
   result.Status().SetCallback( nullptr, nullptr );
   image.Transfer( result );
}

} // namespace

void LoadImageFromDIB( qor::Image& image, const uint8_t* dib, size_t size )
{
   Decode( image, ParseDIB( dib, size, -1 ) );
}

void LoadImageFromBMPData( qor::Image& image, const uint8_t* data, size_t size )
{
   if ( data == nullptr || size < BMPFileHeaderSize + DIBInfoHeaderSize || data[0] != 'B' || data[1] != 'M' )
      Refuse();
   const int64_t pixelOffset = int64_t( U32( data + 10 ) ) - int64_t( BMPFileHeaderSize );
   Decode( image, ParseDIB( data + BMPFileHeaderSize, size - BMPFileHeaderSize, pixelOffset ) );
}
