// The display renderer and the bitmap helpers (see Bitmaps.h).
//
// How the renderer runs: one row of output at a time (an image row when magnifying, a row of blocks when
// reducing), in chunks of columns. The values of each channel come either straight from the planes (magnifying
// without a mask), from a product with the mask rows (magnifying with one), or from block sums (reducing; a kernel
// templated on the block size, so its column loop has a fixed stride). A packer for the render mode (and, for the
// CIE modes, the working space's kind of transfer function) then turns them into 0xffRRGGBB words. Both kernels are
// chosen once per call, hold no branch on the mode per pixel, and are plain loops the compiler vectorises, built
// twice on x86-64 (baseline and AVX2, no fused multiply-add, so the two give the same bits). Magnified rows are
// replicated by copying words. Every pixel depends only on its own samples, so row strips on any number of threads
// give the same bitmap.

// The colour formulas raise no floating-point exception that anything looks at (traps run masked), so the
// compiler may evaluate both sides of their conditionals and turn them into selects. It changes no result.
#if defined( __GNUC__ ) && !defined( __clang__ )
#pragma GCC optimize( "no-trapping-math" )
#endif

#include "windows/image/Bitmaps.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "classlib/Exception.h"
#include "classlib/Parallel.h"

namespace
{

using qor::RGBColorSystem;

constexpr int32_t chunk = 512;       // columns of output per kernel call
// Blocks per call of a reduction: a row of a 4096-pixel image at 1:2 or less is summed in one run. With 512 (runs of
// 4 to 8 KB of each source row and channel in turn) an RGB 4096 x 4096 image at 1:4 took twice as long on one
// thread, about half the speed at which memory can be read.
constexpr int32_t reduceChunk = 2048;
constexpr int32_t maxTemplated = 16; // block sizes with a kernel of their own (zooms down to 1:16)

// ---------------------------------------------------------------------------------------------------------------
// Pixel kernels

// The byte of a value already scaled to 0..255: clamped (NaN gives 0), rounded to nearest with ties to even by
// adding 1.5 * 2^23, whose unit in the last place is 1, so the integer lands in the low bits of the sum.
QOR_COLOR_INLINE uint32_t ScaledByte( float t )
{
   t = t > 0.0f ? t : 0.0f;
   t = t < 255.0f ? t : 255.0f;
   return uint32_t( qor::color::Bits( t + 12582912.0f ) ) & 0xffu;
}

constexpr uint32_t opaque = 0xff000000u;

// Lambdas of the pixel loops are inlined like the formulas, whatever instruction set the loop is built for.
#define LF_INLINE_LAMBDA __attribute__( ( always_inline ) )

// Sum of each block of N columns of one row into acc (one element per block), optionally weighted by a mask row.
template <int N> QOR_COLOR_INLINE void AddBlocksBody( const float* src, const float* msk, float* acc, int32_t count )
{
   if ( msk == nullptr )
      for ( int32_t j = 0; j < count; ++j )
      {
         float s = acc[j];
         for ( int32_t l = 0; l < N; ++l )
            s += src[j * N + l];
         acc[j] = s;
      }
   else
      for ( int32_t j = 0; j < count; ++j )
      {
         float s = acc[j];
         for ( int32_t l = 0; l < N; ++l )
            s += src[j * N + l] * msk[j * N + l];
         acc[j] = s;
      }
}

// Any block size (larger than the templated ones: zooms beyond 1:16).
QOR_COLOR_INLINE void AddBlocksAny( int32_t n, const float* src, const float* msk, float* acc, int32_t count )
{
   for ( int32_t j = 0; j < count; ++j )
   {
      float s = acc[j];
      const float* p = src + int64_t( j ) * n;
      const float* m = msk != nullptr ? msk + int64_t( j ) * n : nullptr;
      for ( int32_t l = 0; l < n; ++l )
         s += m != nullptr ? p[l] * m[l] : p[l];
      acc[j] = s;
   }
}

// Values of one chunk, per channel slot: v[k][i]. RGB and single-channel modes scale by `factor` (255, or 255/n^2
// for block sums); the CIE modes divide by it (1, or n^2 for block sums) to get the values they convert.
enum class Mode : uint8_t
{
   RGB,
   Grey,
   Luminance,
   Chrominance
};

struct PackArgs
{
   const float* v[3];
   int32_t count;
   float factor;
   const RGBColorSystem::Data* space;
   uint32_t* out;
};

// Runs pixel(r, g, b) over a chunk (a single-channel chunk passes its one column three times). The columns and the
// count are copied to locals first, so that the compiler sees that no output store can change them.
template <class PixelOf> QOR_COLOR_INLINE void Pack( const PackArgs& a, PixelOf pixel )
{
   const float* r = a.v[0];
   const float* g = a.v[1] != nullptr ? a.v[1] : r;
   const float* b = a.v[2] != nullptr ? a.v[2] : r;
   uint32_t* out = a.out;
   const int32_t count = a.count;
   for ( int32_t i = 0; i < count; ++i )
      out[i] = pixel( r[i], g[i], b[i] );
}

QOR_COLOR_INLINE void PackRGB( const PackArgs& a )
{
   const float f = a.factor;
   Pack( a, [f]( float r, float g, float b ) LF_INLINE_LAMBDA
         { return opaque | ScaledByte( r * f ) << 16 | ScaledByte( g * f ) << 8 | ScaledByte( b * f ); } );
}

QOR_COLOR_INLINE void PackGrey( const PackArgs& a )
{
   const float f = a.factor;
   Pack( a, [f]( float v, float, float ) LF_INLINE_LAMBDA { return opaque | ScaledByte( v * f ) * 0x010101u; } );
}

template <class S> QOR_COLOR_INLINE void PackLuminance( const PackArgs& a )
{
   const S s( *a.space ); // a local copy: no store can alias it
   const float f = a.factor;
   Pack( a,
         [&s, f]( float r, float g, float b ) LF_INLINE_LAMBDA
         {
            float L = qor::color::RGBToL( s, r / f, g / f, b / f );
            return opaque | ScaledByte( L * 255.0f ) * 0x010101u;
         } );
}

template <class S> QOR_COLOR_INLINE void PackChrominance( const PackArgs& a )
{
   const S s( *a.space );
   const float f = a.factor;
   Pack( a,
         [&s, f]( float r, float g, float b ) LF_INLINE_LAMBDA
         {
            float X, Y, Z, L, A, B;
            qor::color::RGBToXYZ( s, X, Y, Z, r / f, g / f, b / f );
            qor::color::XYZToLab( s, L, A, B, X, Y, Z );
            return opaque | ScaledByte( A * 255.0f ) << 16 | ScaledByte( B * 255.0f ) << 8;
         } );
}

using AddBlocksFunction = void ( * )( const float* src, const float* msk, float* acc, int32_t count );
using PackFunction = void ( * )( const PackArgs& );

// The kernels of one instruction set.
struct Kernels
{
   AddBlocksFunction addBlocks[maxTemplated + 1] = {}; // by block size 1..maxTemplated
   PackFunction pack[4][4] = {}; // by Mode, then transfer kind (sRGB, linear, power law, whole power law)
};

// Instantiates every kernel with the target attribute given (empty for the baseline).
#define LF_RENDER_KERNELS( Suffix, Attribute )                                                                         \
   template <int N> Attribute void AddBlocks##Suffix( const float* s, const float* m, float* a, int32_t c )            \
   {                                                                                                                   \
      AddBlocksBody<N>( s, m, a, c );                                                                                  \
   }                                                                                                                   \
   Attribute void PackRGB##Suffix( const PackArgs& a )                                                                 \
   {                                                                                                                   \
      PackRGB( a );                                                                                                    \
   }                                                                                                                   \
   Attribute void PackGrey##Suffix( const PackArgs& a )                                                                \
   {                                                                                                                   \
      PackGrey( a );                                                                                                   \
   }                                                                                                                   \
   template <class S> Attribute void PackLuminance##Suffix( const PackArgs& a )                                        \
   {                                                                                                                   \
      PackLuminance<S>( a );                                                                                           \
   }                                                                                                                   \
   template <class S> Attribute void PackChrominance##Suffix( const PackArgs& a )                                      \
   {                                                                                                                   \
      PackChrominance<S>( a );                                                                                         \
   }                                                                                                                   \
   template <int... N> void FillAddBlocks##Suffix( Kernels& k, std::integer_sequence<int, N...> )                      \
   {                                                                                                                   \
      ( (k.addBlocks[N + 1] = &AddBlocks##Suffix<N + 1>), ... );                                                       \
   }                                                                                                                   \
   Kernels MakeKernels##Suffix()                                                                                       \
   {                                                                                                                   \
      using namespace qor::color;                                                                                      \
      Kernels k;                                                                                                       \
      FillAddBlocks##Suffix( k, std::make_integer_sequence<int, maxTemplated>() );                                     \
      for ( PackFunction & p : k.pack[int( Mode::RGB )] )                                                              \
         p = &PackRGB##Suffix;                                                                                         \
      for ( PackFunction & p : k.pack[int( Mode::Grey )] )                                                             \
         p = &PackGrey##Suffix;                                                                                        \
      k.pack[int( Mode::Luminance )][0] = &PackLuminance##Suffix<SRGBSpace>;                                           \
      k.pack[int( Mode::Luminance )][1] = &PackLuminance##Suffix<LinearSpace>;                                         \
      k.pack[int( Mode::Luminance )][2] = &PackLuminance##Suffix<PowerLawSpace>;                                       \
      k.pack[int( Mode::Luminance )][3] = &PackLuminance##Suffix<IntegralPowerLawSpace>;                               \
      k.pack[int( Mode::Chrominance )][0] = &PackChrominance##Suffix<SRGBSpace>;                                       \
      k.pack[int( Mode::Chrominance )][1] = &PackChrominance##Suffix<LinearSpace>;                                     \
      k.pack[int( Mode::Chrominance )][2] = &PackChrominance##Suffix<PowerLawSpace>;                                   \
      k.pack[int( Mode::Chrominance )][3] = &PackChrominance##Suffix<IntegralPowerLawSpace>;                           \
      return k;                                                                                                        \
   }

LF_RENDER_KERNELS( Baseline, )
#if defined( __x86_64__ ) && defined( __GNUC__ )
LF_RENDER_KERNELS( AVX2, [[gnu::target( "avx2" )]] )
#endif
#undef LF_RENDER_KERNELS

const Kernels& SelectedKernels()
{
   static const Kernels kernels = []
   {
#if defined( __x86_64__ ) && defined( __GNUC__ )
      __builtin_cpu_init();
      if ( __builtin_cpu_supports( "avx2" ) )
         return MakeKernelsAVX2();
#endif
      return MakeKernelsBaseline();
   }();
   return kernels;
}

// ---------------------------------------------------------------------------------------------------------------
// Rows

struct Job
{
   const float* planes[3] = {};     // planes of the channels read (1 or 3)
   const float* maskPlanes[3] = {}; // their weighting planes, or none
   int32_t slots = 0;               // channels read
   int64_t imageWidth = 0;
   int64_t maskWidth = 0;
   int32_t left = 0, top = 0, maskLeft = 0, maskTop = 0;
   int32_t width = 0; // of the rectangle (magnification)
   int32_t zoom = 1;  // >= 1: magnification; otherwise reduction by n
   int32_t n = 1;     // block size of a reduction
   int32_t bitmapWidth = 0;
   float factor = 1;
   const RGBColorSystem::Data* space = nullptr;
   AddBlocksFunction addBlocks = nullptr; // block size n, or none above maxTemplated
   PackFunction pack = nullptr;
   uint32_t* pixels = nullptr;
   int64_t stride = 0;
};

// Image rows [begin, end) of a magnification, each into its zoom x zoom block of bitmap rows.
void MagnifyRows( const Job& job, int64_t begin, int64_t end )
{
   alignas( 64 ) float buffers[3][chunk];
   std::vector<uint32_t> row( job.zoom > 1 ? size_t( job.width ) : 0 );
   for ( int64_t y = begin; y < end; ++y )
   {
      uint32_t* first = job.pixels + y * job.zoom * job.stride;
      uint32_t* values = job.zoom > 1 ? row.data() : first;
      const int64_t rowStart = ( job.top + y ) * job.imageWidth + job.left;
      const int64_t maskStart = ( job.maskTop + y ) * job.maskWidth + job.maskLeft;
      for ( int32_t x0 = 0; x0 < job.width; x0 += chunk )
      {
         const int32_t count = std::min( chunk, job.width - x0 );
         PackArgs args{ {}, count, job.factor, job.space, values + x0 };
         for ( int32_t k = 0; k < job.slots; ++k )
         {
            const float* src = job.planes[k] + rowStart + x0;
            if ( job.maskPlanes[k] == nullptr )
               args.v[k] = src;
            else
            {
               const float* msk = job.maskPlanes[k] + maskStart + x0;
               for ( int32_t i = 0; i < count; ++i )
                  buffers[k][i] = src[i] * msk[i];
               args.v[k] = buffers[k];
            }
         }
         job.pack( args );
      }
      if ( job.zoom > 1 )
      {
         const int32_t z = job.zoom;
         for ( int32_t x = 0; x < job.width; ++x )
            std::fill_n( first + int64_t( x ) * z, z, values[x] );
         for ( int32_t r = 1; r < z; ++r )
            std::memcpy( first + r * job.stride, first, size_t( job.bitmapWidth ) * sizeof( uint32_t ) );
      }
   }
}

// Bitmap rows [begin, end) of a reduction: each pixel from the sums of its n x n block.
void ReduceRows( const Job& job, int64_t begin, int64_t end )
{
   alignas( 64 ) float sums[3][reduceChunk];
   const int32_t n = job.n;
   for ( int64_t i = begin; i < end; ++i )
   {
      uint32_t* out = job.pixels + i * job.stride;
      for ( int32_t j0 = 0; j0 < job.bitmapWidth; j0 += reduceChunk )
      {
         const int32_t count = std::min( reduceChunk, job.bitmapWidth - j0 );
         PackArgs args{ {}, count, job.factor, job.space, out + j0 };
         for ( int32_t k = 0; k < job.slots; ++k )
         {
            float* acc = sums[k];
            std::fill_n( acc, count, 0.0f );
            for ( int32_t r = 0; r < n; ++r )
            {
               const int64_t y = i * n + r;
               const float* src = job.planes[k] + ( job.top + y ) * job.imageWidth + job.left + int64_t( j0 ) * n;
               const float* msk =
                   job.maskPlanes[k] == nullptr
                       ? nullptr
                       : job.maskPlanes[k] + ( job.maskTop + y ) * job.maskWidth + job.maskLeft + int64_t( j0 ) * n;
               if ( job.addBlocks != nullptr )
                  job.addBlocks( src, msk, acc, count );
               else
                  AddBlocksAny( n, src, msk, acc, count );
            }
            args.v[k] = acc;
         }
         job.pack( args );
      }
   }
}

[[noreturn]] void Refuse( const std::string& what )
{
   throw qor::GenericException( "Display renderer: " + what );
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

void RenderedBitmapSize( int32_t width, int32_t height, int32_t zoom, int32_t& bitmapWidth, int32_t& bitmapHeight )
{
   if ( zoom == 0 )
      zoom = 1;
   if ( zoom >= 1 )
   {
      bitmapWidth = width * zoom;
      bitmapHeight = height * zoom;
   }
   else
   {
      const int32_t n = std::max( 1, std::min( { -zoom, width, height } ) );
      bitmapWidth = width / n;
      bitmapHeight = height / n;
   }
}

void RenderImagePixels( const qor::Image& image, const qor::RGBColorSystem& rgbws, int32_t left, int32_t top,
                        int32_t width, int32_t height, int32_t zoom, DisplayRenderMode renderMode,
                        const qor::Image* mask, int32_t maskLeft, int32_t maskTop, uint32_t* pixels, int64_t stride )
{
   if ( zoom == 0 )
      Refuse( "zoom 0" );
   if ( width < 1 || height < 1 || left < 0 || top < 0 || image.IsEmpty() || left > image.Width() - width ||
        top > image.Height() - height )
      Refuse( "the rectangle does not lie inside the image" );
   if ( renderMode < RenderModeRGB || ( renderMode < 0 && image.NumberOfChannels() < 3 ) ||
        renderMode >= image.NumberOfChannels() )
      Refuse( "render mode " + std::to_string( renderMode ) + " reads channels the image does not have" );

   const bool magnify = zoom >= 1;
   const int64_t bitmapWidth = magnify ? int64_t( width ) * zoom : 0;
   const int64_t bitmapHeight = magnify ? int64_t( height ) * zoom : 0;
   if ( bitmapWidth > std::numeric_limits<int32_t>::max() || bitmapHeight > std::numeric_limits<int32_t>::max() )
      Refuse( "the bitmap would be too large" );

   Job job;
   job.zoom = zoom;
   job.n = magnify ? 1 : std::min( { -zoom, width, height } );
   int32_t bitmapRows = 0;
   RenderedBitmapSize( width, height, zoom, job.bitmapWidth, bitmapRows );
   if ( stride < job.bitmapWidth )
      Refuse( "the row stride is shorter than a row" );

   const Mode mode = renderMode >= 0                     ? Mode::Grey
                     : renderMode == RenderModeRGB       ? Mode::RGB
                     : renderMode == RenderModeLuminance ? Mode::Luminance
                                                         : Mode::Chrominance;
   job.slots = mode == Mode::Grey ? 1 : 3;
   for ( int32_t k = 0; k < job.slots; ++k )
      job.planes[k] = image.PixelData( mode == Mode::Grey ? renderMode : k );
   job.imageWidth = image.Width();
   job.left = left;
   job.top = top;
   job.width = width;

   // The samples read: the whole rectangle when magnifying, its whole blocks when reducing.
   const int32_t readWidth = magnify ? width : job.bitmapWidth * job.n;
   const int32_t readHeight = magnify ? height : bitmapRows * job.n;
   if ( mask != nullptr )
   {
      maskLeft = maskLeft < 0 ? left : maskLeft;
      maskTop = maskTop < 0 ? top : maskTop;
      if ( mask->IsEmpty() || maskLeft > mask->Width() - readWidth || maskTop > mask->Height() - readHeight )
         Refuse( "the mask does not cover the rectangle" );
      for ( int32_t k = 0; k < job.slots; ++k )
      {
         const int32_t c = mode == Mode::Grey ? renderMode : k;
         const int32_t m = mask->IsColor() ? c : 0;
         if ( m >= mask->NumberOfChannels() )
            Refuse( "the mask has no channel to weight channel " + std::to_string( c ) );
         job.maskPlanes[k] = mask->PixelData( m );
      }
      job.maskWidth = mask->Width();
      job.maskLeft = maskLeft;
      job.maskTop = maskTop;
   }

   const int32_t blockArea = job.n * job.n;
   const bool cie = mode == Mode::Luminance || mode == Mode::Chrominance;
   job.factor = cie ? ( magnify ? 1.0f : float( blockArea ) ) : ( magnify ? 255.0f : 255.0f / float( blockArea ) );
   job.space = &rgbws.Values();
   const Kernels& kernels = SelectedKernels();
   // The same choice of transfer function as the colour conversions make, so the screen shows what they compute.
   const int32_t transfer = job.space->sRGBGamma                              ? 0
                            : job.space->gamma == 1.0f                        ? 1
                            : qor::color::IntegralGamma( job.space->gamma ) != 0 ? 3
                                                                              : 2;
   job.pack = kernels.pack[int( mode )][transfer];
   job.addBlocks = job.n <= maxTemplated ? kernels.addBlocks[job.n] : nullptr;
   job.pixels = pixels;
   job.stride = stride;

   // Strips of at least ~32k samples read or pixels written, so that small bitmaps stay on one thread.
   const int64_t items = magnify ? height : bitmapRows;
   const int64_t workPerItem =
       magnify ? int64_t( width ) * job.slots + bitmapWidth * zoom : int64_t( readWidth ) * job.n * job.slots;
   const int64_t grain = std::max<int64_t>( 1, 32768 / std::max<int64_t>( 1, workPerItem ) );
   qor::ParallelFor(
       items,
       [&job, magnify]( int64_t begin, int64_t end )
       {
          if ( magnify )
             MagnifyRows( job, begin, end );
          else
             ReduceRows( job, begin, end );
       },
       nullptr, 1, grain );
}

QImage RenderImageBitmap( const qor::Image& image, const qor::RGBColorSystem& rgbws, int32_t left, int32_t top,
                          int32_t width, int32_t height, int32_t zoom, DisplayRenderMode renderMode,
                          const qor::Image* mask, int32_t maskLeft, int32_t maskTop )
{
   QImage bitmap;
   RenderImageBitmap( bitmap, image, rgbws, left, top, width, height, zoom, renderMode, mask, maskLeft, maskTop );
   return bitmap;
}

void RenderImageBitmap( QImage& bitmap, const qor::Image& image, const qor::RGBColorSystem& rgbws, int32_t left,
                        int32_t top, int32_t width, int32_t height, int32_t zoom, DisplayRenderMode renderMode,
                        const qor::Image* mask, int32_t maskLeft, int32_t maskTop )
{
   if ( int64_t( width ) * std::max( zoom, 1 ) > std::numeric_limits<int32_t>::max() ||
        int64_t( height ) * std::max( zoom, 1 ) > std::numeric_limits<int32_t>::max() )
      Refuse( "the bitmap would be too large" );
   int32_t bitmapWidth = 0, bitmapHeight = 0;
   if ( width >= 1 && height >= 1 )
      RenderedBitmapSize( width, height, zoom, bitmapWidth, bitmapHeight );
   const QSize size( std::max( bitmapWidth, 1 ), std::max( bitmapHeight, 1 ) );
   if ( bitmap.size() != size || bitmap.format() != QImage::Format_RGB32 || !bitmap.isDetached() )
   {
      bitmap = QImage( size, QImage::Format_RGB32 );
      if ( bitmap.isNull() )
         throw std::bad_alloc();
   }
   RenderImagePixels( image, rgbws, left, top, width, height, zoom, renderMode, mask, maskLeft, maskTop,
                      reinterpret_cast<uint32_t*>( bitmap.bits() ), bitmap.bytesPerLine() / 4 );
}

// ---------------------------------------------------------------------------------------------------------------

void LoadImageFromBitmap( qor::Image& image, const QImage& bitmap )
{
   if ( bitmap.isNull() )
      throw qor::GenericException( "Unable to load an empty bitmap" );

   // A bitmap whose pixels are grey levels gives one channel; every other is read through 24-bit RGB. The grey
   // level of an indexed pixel is its palette entry (an index with no palette is its own level).
   QImage source = bitmap;
   switch ( source.format() )
   {
   case QImage::Format_Alpha8:
      throw qor::GenericException( "Unsupported bitmap format: an alpha mask has no colour" );
   case QImage::Format_Mono:
   case QImage::Format_MonoLSB:
      source = source.convertToFormat( QImage::Format_Indexed8 );
      break;
   default:
      break;
   }
   if ( source.isNull() )
      throw std::bad_alloc();

   bool grey = source.format() == QImage::Format_Grayscale8 || source.format() == QImage::Format_Grayscale16;
   const QList<QRgb> palette = source.colorTable();
   if ( source.format() == QImage::Format_Indexed8 )
      grey = std::all_of( palette.begin(), palette.end(),
                          []( QRgb c ) { return qRed( c ) == qGreen( c ) && qGreen( c ) == qBlue( c ); } );
   if ( !grey && source.format() != QImage::Format_RGB888 )
   {
      source = source.convertToFormat( QImage::Format_RGB888 );
      if ( source.isNull() )
         throw std::bad_alloc();
   }

   // Sample of each byte value: byte/255 in extended precision, stored as a float.
   float levels[256];
   for ( int32_t b = 0; b < 256; ++b )
      levels[b] = float( static_cast<long double>( b ) / 255.0L );
   float indexLevels[256];
   for ( int32_t b = 0; b < 256; ++b )
      indexLevels[b] = b < palette.size() ? levels[qRed( palette[b] )] : levels[b];

   const int32_t width = source.width();
   const int32_t height = source.height();
   const int32_t channels = grey ? 1 : 3;
   const int64_t size = int64_t( width ) * height;
   std::vector<qor::Image::Plane> planes;
   for ( int32_t c = 0; c < channels; ++c )
      planes.push_back( qor::Image::NewPlane( size ) );

   const QImage::Format format = source.format();
   const QImage& pixels = source;
   const float* byteLevels = format == QImage::Format_Indexed8 ? indexLevels : levels;
   image.BeginTask( "Loading bitmap", height );
   image.ParallelRows( height,
                       [&]( int64_t begin, int64_t end )
                       {
                          for ( int64_t y = begin; y < end; ++y )
                          {
                             const uchar* line = pixels.constScanLine( int( y ) );
                             float* out0 = planes[0].get() + y * width;
                             if ( format == QImage::Format_Grayscale16 )
                             {
                                const auto* words = reinterpret_cast<const uint16_t*>( line );
                                for ( int32_t x = 0; x < width; ++x )
                                   out0[x] = float( static_cast<long double>( words[x] ) / 65535.0L );
                             }
                             else if ( channels == 1 )
                                for ( int32_t x = 0; x < width; ++x )
                                   out0[x] = byteLevels[line[x]];
                             else
                             {
                                float* out1 = planes[1].get() + y * width;
                                float* out2 = planes[2].get() + y * width;
                                for ( int32_t x = 0; x < width; ++x )
                                {
                                   out0[x] = levels[line[3 * x]];
                                   out1[x] = levels[line[3 * x + 1]];
                                   out2[x] = levels[line[3 * x + 2]];
                                }
                             }
                          }
                       } );
   image.SwapIn( std::move( planes ), width, height, channels, 0, grey ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
}

QColor PreferenceColor( uint32_t c )
{
   return QColor( int( c & 0xffu ), int( c >> 8 & 0xffu ), int( c >> 16 & 0xffu ) );
}

QImage CreateBackgroundBrushBitmap( uint32_t firstColor, uint32_t secondColor )
{
   const uint32_t colors[2] = { PreferenceColor( firstColor ).rgb(), PreferenceColor( secondColor ).rgb() };
   QImage bitmap( 8, 8, QImage::Format_RGB32 );
   for ( int32_t y = 0; y < 8; ++y )
   {
      auto* row = reinterpret_cast<uint32_t*>( bitmap.scanLine( y ) );
      for ( int32_t x = 0; x < 8; ++x )
         row[x] = colors[( x / 2 + y / 2 ) % 2];
   }
   return bitmap;
}
