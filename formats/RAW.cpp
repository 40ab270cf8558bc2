#include "formats/RAW.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "classlib/ColorSpace.h"
#include "classlib/File.h"
#include "formats/SampleConversion.h"
#include "formats/TIFF.h"

namespace
{

std::string Describe( const RAWOptions& o, int32_t width, int32_t height )
{
   char text[160];
   std::snprintf( text, sizeof( text ), "%d-bit %s, %d channel(s), %dx%d pixels, %s", o.bitsPerSample,
                  o.floatingPoint ? "floating point" : "integers", o.channels, width, height,
                  o.planar ? "planar" : "chunky" );
   return text;
}

bool HasConversion( const RAWOptions& o )
{
   return o.floatingPoint ? ( o.bitsPerSample == 32 || o.bitsPerSample == 64 )
                          : ( o.bitsPerSample == 8 || o.bitsPerSample == 16 || o.bitsPerSample == 32 );
}

// Signed samples are the unsigned ones with the top bit flipped: s + 2^(n-1) maps the signed range onto 0..2^n-1.
template <typename U> void FlipSign( U* p, int64_t n )
{
   constexpr U top = U( U( 1 ) << ( sizeof( U ) * 8 - 1 ) );
   for ( int64_t i = 0; i < n; ++i )
      p[i] ^= top;
}

// n stored samples `stride` apart (in the file's layout, already in machine order) into n consecutive floats.
void ToFloat( uint8_t* in, const RAWOptions& o, int64_t first, int64_t stride, float* out, int64_t n )
{
   switch ( o.floatingPoint ? -o.bitsPerSample : o.bitsPerSample )
   {
   case 8:
      formats::UnsignedToFloat( in + first, stride, out, n );
      break;
   case 16:
      formats::UnsignedToFloat( reinterpret_cast<uint16_t*>( in ) + first, stride, out, n );
      break;
   case 32:
      formats::UnsignedToFloat( reinterpret_cast<uint32_t*>( in ) + first, stride, out, n );
      break;
   default: // -32
   {
      const float* f = reinterpret_cast<const float*>( in ) + first;
      for ( int64_t i = 0; i < n; ++i )
         out[i] = f[i * stride];
      break;
   }
   }
}

// The finite range of the 64-bit floating-point samples of one channel, and how they come into [0, 1] from it, as
// NormalizeFloatSamples does for 32-bit ones: a channel within [0, 1] stays, any other is mapped from its own smallest
// and largest finite sample; NaN becomes 0 and the infinities the ends they point to.
struct DoubleRange
{
   double lo = std::numeric_limits<double>::infinity();
   double hi = -std::numeric_limits<double>::infinity();
   bool nonFinite = false;

   void Add( const double* d, int64_t stride, int64_t n )
   {
      for ( int64_t i = 0; i < n; ++i )
      {
         const double v = d[i * stride];
         if ( std::isfinite( v ) )
         {
            lo = std::min( lo, v );
            hi = std::max( hi, v );
         }
         else
            nonFinite = true;
      }
   }

   void Map( const double* d, int64_t stride, float* out, int64_t n ) const
   {
      const bool inRange = lo >= 0 && hi <= 1;
      if ( inRange || !( hi > lo ) )
      {
         for ( int64_t i = 0; i < n; ++i )
            out[i] = formats::Clamp01( float( d[i * stride] ) );
         return;
      }
      // The width of a range of doubles can exceed the largest double; the extended type holds it.
      const long double span = (long double)hi - lo;
      for ( int64_t i = 0; i < n; ++i )
         out[i] = formats::Clamp01( float( ( (long double)d[i * stride] - lo ) / span ) );
   }
};

// Makes a buffer of `total` stored samples ready to convert: machine byte order, signed ones shifted.
void Prepare( uint8_t* buffer, const RAWOptions& o, int64_t total )
{
   const int32_t bytes = o.bitsPerSample / 8;
   if ( o.reverseByteOrder && bytes > 1 )
      ReverseSampleBytes( buffer, total, bytes );
   if ( !o.floatingPoint && !o.unsignedSamples )
   {
      if ( bytes == 1 )
         FlipSign( buffer, total );
      else if ( bytes == 2 )
         FlipSign( reinterpret_cast<uint16_t*>( buffer ), total );
      else
         FlipSign( reinterpret_cast<uint32_t*>( buffer ), total );
   }
}

// n consecutive floats into stored samples `stride` apart.
void FromFloat( const float* in, const RAWOptions& o, uint8_t* out, int64_t first, int64_t stride, int64_t n )
{
   switch ( o.floatingPoint ? -o.bitsPerSample : o.bitsPerSample )
   {
   case 8:
      formats::FloatToUnsigned( in, out + first, stride, n );
      break;
   case 16:
      formats::FloatToUnsigned( in, reinterpret_cast<uint16_t*>( out ) + first, stride, n );
      break;
   case 32:
      formats::FloatToUnsigned( in, reinterpret_cast<uint32_t*>( out ) + first, stride, n );
      break;
   case -32:
      formats::FloatToFloat( in, reinterpret_cast<float*>( out ) + first, stride, n );
      break;
   default: // -64
   {
      double* d = reinterpret_cast<double*>( out ) + first;
      for ( int64_t i = 0; i < n; ++i )
         d[i * stride] = double( formats::Clamp01( in[i] ) );
      break;
   }
   }
}

} // namespace

void ReverseSampleBytes( void* buffer, int64_t count, int32_t bytesPerSample )
{
   auto* p = static_cast<uint8_t*>( buffer );
   for ( int64_t i = 0; i < count; ++i, p += bytesPerSample )
      std::reverse( p, p + bytesPerSample );
}

void ReadRAW( qor::Image& image, const std::string& path, const RAWOptions* options )
{
   try
   {
      const RAWOptions o = options != nullptr ? *options : RAWOptions();
      qor::File file;
      file.OpenForReading( path );
      const uint64_t size = uint64_t( file.Size() );
      if ( size == 0 )
         throw RAWEmptyFile( path );
      if ( o.dataOffset >= size )
         throw RAWInvalidDataOffset( path );
      const uint64_t area = size - o.dataOffset;
      if ( o.bitsPerSample < 8 || o.bitsPerSample % 8 != 0 || !HasConversion( o ) )
         throw RAWInvalidBitsPerSample( path );
      const uint64_t bytes = uint64_t( o.bitsPerSample / 8 );
      if ( o.channels < 1 || o.channels > MaxRAWChannels || o.width < 0 || o.height < 0 )
         throw RAWBadDescription( path );
      const uint64_t pixels = area / ( uint64_t( o.channels ) * bytes );
      if ( pixels == 0 )
         throw RAWBadDescription( path );

      uint64_t w = uint64_t( o.width ), h = uint64_t( o.height );
      if ( w != 0 && h == 0 )
         h = pixels / w;
      else if ( w == 0 && h != 0 )
         w = pixels / h;
      else if ( w == 0 && h == 0 )
         w = h = uint64_t( std::sqrt( float( pixels ) ) );
      const uint64_t needed = w * h * uint64_t( o.channels ) * bytes; // w, h <= 2^31, channels <= 4096: no overflow
      if ( w == 0 || h == 0 || w > INT32_MAX || h > INT32_MAX || needed > area )
         throw RAWInvalidDimensions( path );

      const int32_t width = int32_t( w ), height = int32_t( h ), channels = o.channels;
      image.Allocate( width, height, channels,
                      channels >= 3 && o.colorSpace == 1 ? qor::ColorSpace::RGB : qor::ColorSpace::Gray );

      // Runs body( samples, first, stride, channel, y ) on every row of every channel, in the file's order: the
      // samples of the row are samples[first + i * stride], in the machine's order, signed ones shifted.
      const bool planar = o.planar || channels == 1;
      const int64_t perRow = planar ? width : int64_t( width ) * channels;
      std::vector<uint8_t> buffer( size_t( perRow ) * bytes );
      auto eachRow = [&]( const std::string& task, auto body )
      {
         image.BeginTask( task, int64_t( channels ) * height );
         file.Seek( int64_t( size - needed ) );
         for ( int32_t p = 0; p < ( planar ? channels : 1 ); ++p )
            for ( int32_t y = 0; y < height; ++y )
            {
               file.Read( buffer.data(), int64_t( buffer.size() ) );
               Prepare( buffer.data(), o, perRow );
               if ( planar )
                  body( buffer.data(), 0, 1, p, y );
               else
                  for ( int32_t c = 0; c < channels; ++c )
                     body( buffer.data(), c, channels, c, y );
               if ( image.IsMonitored() )
                  image.Status().Advance( 1 );
               image.ThrowIfAborted();
            }
      };

      const std::string loading = "Loading RAW: " + Describe( o, width, height );
      if ( o.floatingPoint && o.bitsPerSample == 64 )
      {
         // Doubles can lie far outside the range of float: each channel's range is found in double precision by a
         // first reading, and the second maps the samples from it before they are narrowed.
         std::vector<DoubleRange> ranges( static_cast<size_t>( channels ) );
         eachRow( loading, [&]( const uint8_t* in, int64_t first, int64_t stride, int32_t c, int32_t )
                  { ranges[size_t( c )].Add( reinterpret_cast<const double*>( in ) + first, stride, width ); } );
         eachRow( "Normalizing pixel values",
                  [&]( const uint8_t* in, int64_t first, int64_t stride, int32_t c, int32_t y )
                  {
                     ranges[size_t( c )].Map( reinterpret_cast<const double*>( in ) + first, stride,
                                              image.ScanLine( c, y ), width );
                  } );
      }
      else
      {
         eachRow( loading, [&]( uint8_t* in, int64_t first, int64_t stride, int32_t c, int32_t y )
                  { ToFloat( in, o, first, stride, image.ScanLine( c, y ), width ); } );
         if ( o.floatingPoint )
            NormalizeFloatSamples( image );
      }
      file.Close();
   }
   catch ( ... )
   {
      image.FreeData();
      throw;
   }
}

void WriteRAW( const qor::Image& image, const std::string& path, const RAWOptions* options,
               const std::string& sourcePath )
{
   RAWOptions o = options != nullptr ? *options : RAWOptions();
   if ( o.bitsPerSample < 8 || o.bitsPerSample % 8 != 0 || !HasConversion( o ) )
      throw RAWInvalidBitsPerSample( path );
   qor::File file;
   file.CreateForWriting( path );

   if ( o.dataOffset != 0 )
   {
      constexpr uint32_t block = 4096;
      std::vector<uint8_t> buffer( block, 0 );
      qor::File source;
      const bool copy = o.keepHeader && !sourcePath.empty() && sourcePath != path && qor::File::Exists( sourcePath );
      if ( copy )
         source.OpenForReading( sourcePath );
      const uint64_t blocks = o.dataOffset / block + ( o.dataOffset % block != 0 ? 1 : 0 );
      image.BeginTask( copy ? "Transferring RAW header data..." : "Zero-filling RAW header...", int64_t( blocks ) );
      for ( uint64_t left = o.dataOffset; left > 0; )
      {
         const uint32_t n = uint32_t( std::min<uint64_t>( left, block ) );
         if ( copy )
            source.Read( buffer.data(), n );
         file.Write( buffer.data(), n );
         left -= n;
         if ( image.IsMonitored() )
            image.Status().Advance( 1 );
      }
      source.Close();
   }

   const int32_t width = image.Width(), height = image.Height(), channels = image.NumberOfChannels();
   image.BeginTask( "Writing RAW: " + Describe( o, o.width, o.height ), int64_t( channels ) * height );
   const bool planar = o.planar || channels == 1;
   const int64_t perRow = planar ? width : int64_t( width ) * channels;
   const int32_t bytes = o.bitsPerSample / 8;
   std::vector<uint8_t> buffer( size_t( perRow ) * size_t( bytes ) );
   for ( int32_t p = 0; p < ( planar ? channels : 1 ); ++p )
      for ( int32_t y = 0; y < height; ++y )
      {
         if ( planar )
            FromFloat( image.ScanLine( p, y ), o, buffer.data(), 0, 1, width );
         else
            for ( int32_t c = 0; c < channels; ++c )
               FromFloat( image.ScanLine( c, y ), o, buffer.data(), c, channels, width );
         // Back from unsigned to signed and to the file's byte order: the reading steps undone.
         if ( !o.floatingPoint && !o.unsignedSamples )
         {
            RAWOptions flip = o;
            flip.reverseByteOrder = false;
            Prepare( buffer.data(), flip, perRow );
         }
         if ( o.reverseByteOrder && bytes > 1 )
            ReverseSampleBytes( buffer.data(), perRow, bytes );
         file.Write( buffer.data(), int64_t( buffer.size() ) );
         if ( image.IsMonitored() )
            image.Status().Advance( 1 );
      }
   file.Close();
}
