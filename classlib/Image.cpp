#include "Image.h"

#include "Parallel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include <sys/mman.h>

namespace qor
{

namespace
{

constexpr std::align_val_t planeAlignment{ 64 };

// Freed big planes kept for reuse. A fresh plane costs a page fault per page on first touch, which for a 64 MiB
// plane is a good part of a fast operation's time; operations that build a result aside and free the source
// (resample, rotate, convolutions) allocate planes of the same size again and again. Only exact sizes are reused,
// only a few planes are kept, and any allocation failure first gives them all back to the system.
class PlaneCache
{
public:
#if defined( __SANITIZE_ADDRESS__ )
   // Under AddressSanitizer every freed plane must really be freed, so that a use after free is caught.
   static constexpr size_t minimumBytes = SIZE_MAX;
#else
   static constexpr size_t minimumBytes = size_t( 4 ) << 20;
#endif
   static constexpr size_t maximumBytes = size_t( 512 ) << 20;
   static constexpr size_t maximumPlanes = 8;

   static PlaneCache& Instance()
   {
      static PlaneCache* cache = new PlaneCache; // never destroyed: planes may be freed during static destruction
      return *cache;
   }

   float* Take( size_t bytes )
   {
      if ( bytes < minimumBytes )
         return nullptr;
      std::lock_guard<std::mutex> lock( mutex );
      for ( size_t i = 0; i < entries.size(); ++i )
         if ( entries[i].bytes == bytes )
         {
            float* p = entries[i].plane;
            total -= bytes;
            entries.erase( entries.begin() + ptrdiff_t( i ) );
            return p;
         }
      return nullptr;
   }

   // Keeps the plane when it is worth keeping and there is room; returns false when the caller must free it.
   bool Keep( float* p, size_t bytes )
   {
      if ( bytes < minimumBytes || bytes > maximumBytes )
         return false;
      std::lock_guard<std::mutex> lock( mutex );
      while ( !entries.empty() && ( entries.size() >= maximumPlanes || total + bytes > maximumBytes ) )
      {
         Free( entries.front().plane );
         total -= entries.front().bytes;
         entries.erase( entries.begin() );
      }
      entries.push_back( { p, bytes } );
      total += bytes;
      return true;
   }

   void Clear()
   {
      std::lock_guard<std::mutex> lock( mutex );
      for ( const Entry& e : entries )
         Free( e.plane );
      entries.clear();
      total = 0;
   }

   static void Free( float* p ) { ::operator delete[]( p, planeAlignment ); }

private:
   struct Entry
   {
      float* plane;
      size_t bytes;
   };
   std::mutex mutex;
   std::vector<Entry> entries;
   size_t total = 0;
};

float* AllocatePlaneMemory( size_t bytes )
{
   try
   {
      return static_cast<float*>( ::operator new[]( bytes, planeAlignment ) );
   }
   catch ( const std::bad_alloc& )
   {
      PlaneCache::Instance().Clear();
      return static_cast<float*>( ::operator new[]( bytes, planeAlignment ) );
   }
}

} // namespace

void Image::PlaneDeleter::operator()( float* p ) const
{
   if ( p != nullptr && !PlaneCache::Instance().Keep( p, bytes ) )
      PlaneCache::Free( p );
}

Image::Plane Image::NewPlane( int64_t n )
{
   if ( n <= 0 || uint64_t( n ) > uint64_t( SIZE_MAX / sizeof( float ) ) )
      throw std::bad_alloc();
   size_t bytes = size_t( n ) * sizeof( float );
   if ( float* reused = PlaneCache::Instance().Take( bytes ) )
      return Plane( reused, PlaneDeleter{ bytes } );
   Plane plane( AllocatePlaneMemory( bytes ), PlaneDeleter{ bytes } );
#ifdef MADV_HUGEPAGE
   // Big planes are touched once in full right after allocation; huge pages cut the page faults of that first
   // touch by a factor of 512 where the system hands them out on request.
   constexpr size_t hugePage = size_t( 2 ) << 20;
   if ( bytes >= 4 * hugePage )
   {
      uintptr_t begin = ( reinterpret_cast<uintptr_t>( plane.get() ) + hugePage - 1 ) & ~( hugePage - 1 );
      uintptr_t end = ( reinterpret_cast<uintptr_t>( plane.get() ) + bytes ) & ~( hugePage - 1 );
      if ( end > begin )
         ::madvise( reinterpret_cast<void*>( begin ), end - begin, MADV_HUGEPAGE );
   }
#endif
   return plane;
}

Image::Image( int32_t w, int32_t h, int32_t n, int32_t cs )
{
   Allocate( w, h, n, cs );
}

Image::Image( const Image& source )
{
   Assign( source );
}

Image& Image::operator=( const Image& source )
{
   if ( this != &source )
      Assign( source );
   return *this;
}

Image::Image( Image&& source ) noexcept
{
   Transfer( source );
}

Image& Image::operator=( Image&& source ) noexcept
{
   if ( this != &source )
      Transfer( source );
   return *this;
}

Image::~Image()
{
   FreeData();
}

void Image::Allocate( int32_t w, int32_t h, int32_t n, int32_t cs )
{
   if ( w <= 0 || h <= 0 || n <= 0 )
   {
      FreeData();
      return;
   }

   if ( planes.empty() || w != width || h != height || n != nominal + alpha )
   {
      // The old samples are discarded anyway, so their planes go first: a big image given another size never needs
      // room for both. Should memory run out, the image is left empty and still destructible.
      FreeData();
      int64_t count = int64_t( w ) * int64_t( h );
      std::vector<Plane> fresh;
      fresh.reserve( size_t( n ) );
      for ( int32_t c = 0; c < n; ++c )
         fresh.push_back( NewPlane( count ) );
      planes = std::move( fresh );
      width = w;
      height = h;
   }

   nominal = std::min( n, ColorSpace::NumberOfNominalChannels( cs ) );
   alpha = n - nominal;
   colorSpace = cs;
}

void Image::FreeData()
{
   planes.clear();
   width = height = nominal = alpha = 0;
}

void Image::Assign( const Image& source )
{
   if ( this == &source )
      return;
   if ( source.IsEmpty() )
   {
      FreeData();
      return;
   }
   Allocate( source.width, source.height, source.NumberOfChannels(), source.colorSpace );
   size_t bytes = size_t( NumberOfPixels() ) * sizeof( float );
   for ( int32_t c = 0; c < NumberOfChannels(); ++c )
      std::memcpy( PixelData( c ), source.PixelData( c ), bytes );
}

void Image::AssignRect( const Image& source, int32_t x, int32_t y, int32_t w, int32_t h )
{
   if ( source.IsEmpty() )
   {
      FreeData();
      return;
   }

   x = std::min( std::max( x, 0 ), source.width - 1 );
   y = std::min( std::max( y, 0 ), source.height - 1 );
   w = std::min( std::max( w, 1 ), source.width - x );
   h = std::min( std::max( h, 1 ), source.height - y );

   if ( this == &source )
   {
      Image copy;
      copy.AssignRect( source, x, y, w, h );
      Transfer( copy );
      return;
   }

   Allocate( w, h, source.NumberOfChannels(), source.colorSpace );
   for ( int32_t c = 0; c < NumberOfChannels(); ++c )
      for ( int32_t i = 0; i < h; ++i )
         std::memcpy( ScanLine( c, i ), source.ScanLine( c, y + i ) + x, size_t( w ) * sizeof( float ) );
}

std::unique_ptr<Image> Image::CreateChannelImage( int32_t c ) const
{
   if ( c < 0 || c >= NumberOfChannels() )
      throw GenericException( "CreateChannelImage: channel " + std::to_string( c ) + " does not exist" );
   auto image = std::make_unique<Image>( width, height, 1, ColorSpace::Gray );
   std::memcpy( image->PixelData( 0 ), PixelData( c ), size_t( NumberOfPixels() ) * sizeof( float ) );
   return image;
}

void Image::DeleteAlphaChannels()
{
   if ( alpha == 0 )
      return;
   planes.resize( size_t( nominal ) );
   planes.shrink_to_fit();
   alpha = 0;
}

void Image::GetChannelRange( int32_t c, float& minimum, float& maximum ) const
{
   if ( c < 0 || c >= NumberOfChannels() )
      throw GenericException( "GetChannelRange: channel " + std::to_string( c ) + " does not exist" );
   const float* p = PixelData( c );
   const float* end = p + NumberOfPixels();
   // Start from the first sample that is a number, so that NaN neither wins nor depends on where it stands.
   while ( p != end - 1 && std::isnan( *p ) )
      ++p;
   float mn = *p, mx = *p;
   for ( ++p; p < end; ++p )
   {
      float v = *p;
      mn = v < mn ? v : mn;
      mx = v > mx ? v : mx;
   }
   minimum = mn;
   maximum = mx;
}

std::string Image::ChannelId( int32_t cs, int32_t c )
{
   static const char* const ids[ColorSpace::NumberOfColorSpaces][3] = {
      { "K", nullptr, nullptr }, { "R", "G", "B" },       { "H", "S", "V" },
      { "X", "Y", "Z" },         { "L*", "a*", "b*" },    { "L*", "c*", "h*" },
   };

   int32_t alphaIndex = cs == ColorSpace::Gray ? c : c - 2;
   if ( c >= 0 && c < 3 )
   {
      if ( !ColorSpace::IsValid( cs ) )
         return std::string();
      if ( ids[cs][c] != nullptr )
         return ids[cs][c];
   }
   if ( alphaIndex < 1 )
      return std::string();
   char buffer[32];
   std::snprintf( buffer, sizeof( buffer ), "alpha%02d", int( alphaIndex ) );
   return buffer;
}

void Image::SwapIn( std::vector<Plane>&& newPlanes, int32_t w, int32_t h, int32_t n, int32_t a, int32_t cs )
{
   if ( newPlanes.empty() || w <= 0 || h <= 0 )
   {
      planes.clear();
      width = height = nominal = alpha = 0;
   }
   else
   {
      planes = std::move( newPlanes );
      width = w;
      height = h;
      nominal = n;
      alpha = a;
   }
   colorSpace = cs;
}

Image::Plane Image::ExchangePlane( int32_t c, Plane plane )
{
   if ( c < 0 || c >= NumberOfChannels() )
      throw GenericException( "Image::ExchangePlane: channel " + std::to_string( c ) + " does not exist." );
   if ( plane == nullptr )
      throw GenericException( "Image::ExchangePlane: no samples to put in channel " + std::to_string( c ) + "." );
   planes[size_t( c )].swap( plane );
   return plane;
}

void Image::Transfer( Image& source ) noexcept
{
   if ( &source == this )
      return;
   planes = std::move( source.planes );
   width = source.width;
   height = source.height;
   nominal = source.nominal;
   alpha = source.alpha;
   colorSpace = source.colorSpace;
   source.planes.clear();
   source.width = source.height = source.nominal = source.alpha = 0;
}

void Image::SetColorSpaceCode( int32_t cs )
{
   int32_t n = NumberOfChannels();
   colorSpace = cs;
   if ( n > 0 )
   {
      nominal = std::min( n, ColorSpace::NumberOfNominalChannels( cs ) );
      alpha = n - nominal;
   }
}

void Image::BeginTask( const std::string& text, int64_t total ) const
{
   if ( status.IsMonitored() )
      status.Initialize( text, total );
}

void Image::ThrowIfAborted() const
{
   if ( status.IsAborted() )
      throw AbortProcessEvent( this );
}

void Image::ParallelRows( int64_t rows, const std::function<void( int64_t, int64_t )>& body,
                          int64_t unitsPerRow ) const
{
   if ( !ParallelFor( rows, body, &status, unitsPerRow ) )
      throw AbortProcessEvent( this );
}

} // namespace qor
