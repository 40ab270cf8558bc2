#include "RGBColorSystem.h"

#include <algorithm>
#include <cmath>

namespace qor
{

namespace
{

// Defaults: the sRGB primaries adapted to the D50 white point.
constexpr float defaultX[3] = { 0.648431f, 0.321152f, 0.155886f };
constexpr float defaultY[3] = { 0.330856f, 0.597871f, 0.066044f };
constexpr float defaultLuminance[3] = { 0.222491f, 0.716888f, 0.060621f };

bool IsFinite( float v )
{
   return std::isfinite( v );
}

bool AllFinite( const float* v, int n )
{
   return std::all_of( v, v + n, IsFinite );
}

// Extremes of the RGB gamut in CIE a*/100 and b*/100 (lo: the smallest of a' and b'; hi: the largest) and in
// c*/100 (cmax), each with the point of the cube where it was reached.
struct GamutExtremes
{
   struct Extreme
   {
      float value;
      float r, g, b;
   };
   Extreme lo{ 100, 0, 0, 0 }, hi{ -100, 0, 0, 0 }, cmax{ -100, 0, 0, 0 };
};

void LabPrimeOfRGB( const RGBColorSystem::Data& d, float r, float g, float b, float& ap, float& bp, float& cp )
{
   float X, Y, Z, L;
   color::RGBToXYZ( d, X, Y, Z, r, g, b );
   color::XYZToLabPrime( L, ap, bp, X, Y, Z );
   cp = std::sqrt( ap * ap + bp * bp );
}

enum class Which
{
   Lo,
   Hi,
   CMax
};

void Update( GamutExtremes::Extreme& e, Which which, float ap, float bp, float cp, float r, float g, float b )
{
   float v = which == Which::Lo ? std::min( ap, bp ) : ( which == Which::Hi ? std::max( ap, bp ) : cp );
   bool better = which == Which::Lo ? v < e.value : v > e.value; // strict: the first point reached stays
   if ( better )
      e = { v, r, g, b };
}

// Samples the cube around a grid point (i, j, k) of the coarse search in steps of 0.01, up to but excluding the
// next grid point on each axis.
void Refine( const RGBColorSystem::Data& d, GamutExtremes::Extreme& e, Which which )
{
   auto range = []( float gridValue, float& from, float& to ) {
      int i = int( std::lround( gridValue * 9.0f ) );
      from = float( std::max( i - 1, 0 ) ) / 9.0f;
      to = float( std::min( i + 1, 9 ) ) / 9.0f;
   };
   float r0, r1, g0, g1, b0, b1;
   range( e.r, r0, r1 );
   range( e.g, g0, g1 );
   range( e.b, b0, b1 );
   for ( float r = r0; r < r1; r += 0.01f )
      for ( float g = g0; g < g1; g += 0.01f )
         for ( float b = b0; b < b1; b += 0.01f )
         {
            float ap, bp, cp;
            LabPrimeOfRGB( d, r, g, b, ap, bp, cp );
            Update( e, which, ap, bp, cp, r, g, b );
         }
}

} // namespace

std::array<float, 9> InvertMatrix3x3( const std::array<float, 9>& m )
{
   using X = long double;
   X m0 = m[0], m1 = m[1], m2 = m[2], m3 = m[3], m4 = m[4], m5 = m[5], m6 = m[6], m7 = m[7], m8 = m[8];
   X det = X( double( m0 * m4 * m8 + m3 * m7 * m2 + m6 * m1 * m5 - m3 * m1 * m8 - m6 * m4 * m2 - m0 * m7 * m5 ) );
   return { float( ( m4 * m8 - m5 * m7 ) / det ), float( ( m2 * m7 - m1 * m8 ) / det ),
            float( ( m1 * m5 - m2 * m4 ) / det ), float( ( m5 * m6 - m3 * m8 ) / det ),
            float( ( m0 * m8 - m2 * m6 ) / det ), float( ( m2 * m3 - m0 * m5 ) / det ),
            float( ( m3 * m7 - m4 * m6 ) / det ), float( ( m1 * m6 - m0 * m7 ) / det ),
            float( ( m0 * m4 - m1 * m3 ) / det ) };
}

void RGBColorSystem::Data::Initialize()
{
   std::array<float, 9> M = RGBToXYZMatrix( x, y, Y );
   std::copy( M.begin(), M.end(), rgbToXYZ );
   whiteX = M[0] + M[1] + M[2];
   whiteZ = M[6] + M[7] + M[8];
   std::array<float, 9> N = InvertMatrix3x3( M );
   std::copy( N.begin(), N.end(), xyzToRGB );
   invGamma = 1.0f / gamma;
   invWhiteX = 1.0f / whiteX;
   invWhiteZ = 1.0f / whiteZ;

   // Coarse search of the cube on a 10x10x10 grid, then a refinement of each extreme around its grid point.
   GamutExtremes g;
   for ( int i = 0; i <= 9; ++i )
      for ( int j = 0; j <= 9; ++j )
         for ( int k = 0; k <= 9; ++k )
         {
            float r = float( i ) / 9.0f, gr = float( j ) / 9.0f, b = float( k ) / 9.0f;
            float ap, bp, cp;
            LabPrimeOfRGB( *this, r, gr, b, ap, bp, cp );
            Update( g.lo, Which::Lo, ap, bp, cp, r, gr, b );
            Update( g.hi, Which::Hi, ap, bp, cp, r, gr, b );
            Update( g.cmax, Which::CMax, ap, bp, cp, r, gr, b );
         }
   Refine( *this, g.lo, Which::Lo );
   Refine( *this, g.hi, Which::Hi );
   Refine( *this, g.cmax, Which::CMax );

   abOffset = 0.05f - g.lo.value;
   abRange = g.hi.value - g.lo.value + 0.1f;
   cRange = g.cmax.value + 0.05f;
   invAbRange = 1.0f / abRange;
   invCRange = 1.0f / cRange;
}

RGBColorSystem::RGBColorSystem() : block( new Block )
{
   Data& d = block->data;
   d.gamma = 2.2f;
   d.sRGBGamma = true;
   std::copy( defaultX, defaultX + 3, d.x );
   std::copy( defaultY, defaultY + 3, d.y );
   std::copy( defaultLuminance, defaultLuminance + 3, d.Y );
   d.Initialize();
}

RGBColorSystem::RGBColorSystem( const RGBColorSystem& other ) : block( other.block )
{
   block->refCount.fetch_add( 1, std::memory_order_relaxed );
}

RGBColorSystem& RGBColorSystem::operator=( const RGBColorSystem& other )
{
   if ( block != other.block )
   {
      other.block->refCount.fetch_add( 1, std::memory_order_relaxed );
      Release();
      block = other.block;
   }
   return *this;
}

RGBColorSystem::~RGBColorSystem()
{
   Release();
}

void RGBColorSystem::Release() noexcept
{
   if ( block->refCount.fetch_sub( 1, std::memory_order_acq_rel ) == 1 )
      delete block;
}

std::array<float, 9> RGBColorSystem::RGBToXYZMatrix( const float x[3], const float y[3], const float Y[3] )
{
   std::array<float, 9> M;
   for ( int i = 0; i < 3; ++i )
   {
      M[i] = Y[i] * x[i] / y[i];
      M[3 + i] = Y[i];
      M[6 + i] = ( 1 - x[i] - y[i] ) * Y[i] / y[i];
   }
   return M;
}

bool RGBColorSystem::IsValidSpace( const float x[3], const float y[3], const float Y[3] )
{
   if ( !AllFinite( x, 3 ) || !AllFinite( y, 3 ) || !AllFinite( Y, 3 ) )
      return false;
   double sum = double( Y[0] ) + double( Y[1] ) + double( Y[2] );
   if ( sum == 0 )
      return false; // the coefficients cannot be normalised
   std::array<float, 9> M = RGBToXYZMatrix( x, y, Y );
   if ( !AllFinite( M.data(), 9 ) )
      return false; // a zero chromaticity y
   using X = long double;
   X det = X( M[0] ) * M[4] * M[8] + X( M[3] ) * M[7] * M[2] + X( M[6] ) * M[1] * M[5] - X( M[3] ) * M[1] * M[8] -
           X( M[6] ) * M[4] * M[2] - X( M[0] ) * M[7] * M[5];
   // A determinant that vanishes against 1 in extended precision (below about 1e-19) counts as singular.
   return std::isfinite( det ) && det + 1 != X( 1 );
}

void RGBColorSystem::SetParameters( float gamma, bool sRGBGamma, const float x[3], const float y[3], const float Y[3] )
{
   Data d;
   d.gamma = gamma;
   d.sRGBGamma = sRGBGamma;
   double sum = double( Y[0] ) + double( Y[1] ) + double( Y[2] );
   for ( int i = 0; i < 3; ++i )
   {
      d.x[i] = x[i];
      d.y[i] = y[i];
      d.Y[i] = float( double( Y[i] ) / sum );
   }

   const Data& now = block->data;
   if ( d.gamma == now.gamma && d.sRGBGamma == now.sRGBGamma && std::equal( d.x, d.x + 3, now.x ) &&
        std::equal( d.y, d.y + 3, now.y ) && std::equal( d.Y, d.Y + 3, now.Y ) )
      return;

   // A singular or non-finite space would turn every converted pixel into NaN: refuse it, keep the old block.
   if ( !IsValidSpace( d.x, d.y, d.Y ) || ( !sRGBGamma && !( IsFinite( gamma ) && gamma > 0 ) ) )
      throw InvalidParameters();
   auto fresh = new Block;
   fresh->data = d;
   fresh->data.Initialize();
   const Data& f = fresh->data;
   if ( !AllFinite( f.xyzToRGB, 9 ) || !IsFinite( f.abOffset ) || !IsFinite( f.abRange ) || !IsFinite( f.cRange ) ||
        f.abRange <= 0 || f.cRange <= 0 || f.whiteX == 0 || f.whiteZ == 0 )
   {
      delete fresh;
      throw InvalidParameters();
   }
   Release();
   block = fresh;
}

} // namespace qor
