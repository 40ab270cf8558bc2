#include "formats/RAW.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
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
   case -32:
   {
      const float* f = reinterpret_cast<const float*>( in ) + first;
      for ( int64_t i = 0; i < n; ++i )
         out[i] = f[i * stride];
      break;
   }
   default: // -64
   {
      const double* d = reinterpret_cast<const double*>( in ) + first;
      for ( int64_t i = 0; i < n; ++i )
         out[i] = float( d[i * stride] );
      break;
   }
   }
}

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
      image.BeginTask( "Loading RAW: " + Describe( o, width, height ), int64_t( channels ) * height );
      file.Seek( int64_t( size - needed ) );

      const bool planar = o.planar || channels == 1;
      const int64_t perRow = planar ? width : int64_t( width ) * channels;
      std::vector<uint8_t> buffer( size_t( perRow ) * bytes );
      for ( int32_t p = 0; p < ( planar ? channels : 1 ); ++p )
         for ( int32_t y = 0; y < height; ++y )
         {
            file.Read( buffer.data(), int64_t( buffer.size() ) );
            Prepare( buffer.data(), o, perRow );
            if ( planar )
               ToFloat( buffer.data(), o, 0, 1, image.ScanLine( p, y ), width );
            else
               for ( int32_t c = 0; c < channels; ++c )
                  ToFloat( buffer.data(), o, c, channels, image.ScanLine( c, y ), width );
            if ( image.IsMonitored() )
               image.Status().Advance( 1 );
            image.ThrowIfAborted();
         }
      file.Close();
      if ( o.floatingPoint )
         NormalizeFloatSamples( image );
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
      const uint32_t blocks = o.dataOffset / block + ( o.dataOffset % block != 0 ? 1 : 0 );
      image.BeginTask( copy ? "Transferring RAW header data..." : "Zero-filling RAW header...", blocks );
      for ( uint32_t left = o.dataOffset; left > 0; )
      {
         const uint32_t n = std::min( left, block );
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
