// Image::SetColorSpace: conversion of the pixel data of an image between colour spaces.
//
// A conversion is a route of stages (RGB -> XYZ, XYZ -> Lab, ...) chosen once from the pair of colour spaces.
// The pixels run through it in chunks: every stage of the route runs over a chunk of the three nominal planes as a
// plain loop that the compiler vectorises (one formula for all pixels, constants hoisted, no branch on the colour
// space inside a loop). A conversion in place works on the planes directly; one to or from grey copies each chunk
// into three small buffers on the stack and the buffers back to the destination planes. Row strips run on the
// worker threads through Image::ParallelRows; a pixel's result depends only on that pixel, so it is the same for
// any thread count and equal, bit for bit, to the per-pixel operations of RGBColorSystem and RGBToHSV/HSVToRGB,
// which share the formulas.
//
// On x86-64 the chunk loops are compiled three times, for the baseline instruction set, for AVX2 and for AVX-512,
// and the widest copy the processor runs is used. AVX-512 doubles the lanes and turns every select of the formulas
// into one masked move instead of a compare and a blend, which roughly halves the time of the sRGB conversions on
// one thread. No copy uses fused multiply-add, so all round every operation alike and give the same results.

// The formulas raise no floating-point exception that anything here looks at (traps run masked), so the compiler
// may evaluate both sides of their conditionals and turn them into selects; without this it keeps the branches
// and the loops do not vectorise. It changes no result. Contraction into fused multiply-add is off: AVX-512
// brings those instructions with it, and a fused operation rounds once where the per-pixel formulas (and the
// other copies) round twice.
#if defined( __GNUC__ ) && !defined( __clang__ )
#pragma GCC optimize( "no-trapping-math", "fp-contract=off" )
#endif

#include "ColorChannels.h"
#include "Image.h"
#include "RGBColorSystem.h"

#include <cstring>
#include <utility>

namespace qor
{

namespace
{

enum class Stage : uint8_t
{
   HSVToRGB,
   RGBToHSV,
   RGBToXYZ,
   XYZToRGB,
   XYZToLab,
   LabToXYZ,
   LabToLch,
   LchToLab,
   XYZToLch, // without the normalised a, b in between
   LchToXYZ, // likewise
   RGBToL    // grey: CIE L*/100, written to the first buffer
};

struct Route
{
   Stage stages[4];
   int32_t count = 0;

   void Add( Stage s ) { stages[count++] = s; }
};

bool IsCIE( int32_t cs )
{
   return cs == ColorSpace::CIEXYZ || cs == ColorSpace::CIELab || cs == ColorSpace::CIELch;
}

// The stages from `from` to `to`; a Gray source enters as RGB (its grey value in all three components).
Route MakeRoute( int32_t from, int32_t to )
{
   Route route;
   if ( from == ColorSpace::Gray )
      from = ColorSpace::RGB;

   if ( IsCIE( from ) && IsCIE( to ) )
   {
      if ( from == ColorSpace::CIEXYZ )
      {
         route.Add( Stage::XYZToLab );
         if ( to == ColorSpace::CIELch )
            route.Add( Stage::LabToLch );
      }
      else if ( from == ColorSpace::CIELab )
         route.Add( to == ColorSpace::CIEXYZ ? Stage::LabToXYZ : Stage::LabToLch );
      else
      {
         route.Add( Stage::LchToLab );
         if ( to == ColorSpace::CIEXYZ )
            route.Add( Stage::LabToXYZ );
      }
      return route;
   }

   // Everything else passes through RGB.
   switch ( from )
   {
   case ColorSpace::HSV:
      route.Add( Stage::HSVToRGB );
      break;
   case ColorSpace::CIEXYZ:
      route.Add( Stage::XYZToRGB );
      break;
   case ColorSpace::CIELab:
      route.Add( Stage::LabToXYZ );
      route.Add( Stage::XYZToRGB );
      break;
   case ColorSpace::CIELch:
      route.Add( Stage::LchToXYZ );
      route.Add( Stage::XYZToRGB );
      break;
   default:
      break;
   }
   switch ( to )
   {
   case ColorSpace::Gray:
      route.Add( Stage::RGBToL );
      break;
   case ColorSpace::HSV:
      route.Add( Stage::RGBToHSV );
      break;
   case ColorSpace::CIEXYZ:
      route.Add( Stage::RGBToXYZ );
      break;
   case ColorSpace::CIELab:
      route.Add( Stage::RGBToXYZ );
      route.Add( Stage::XYZToLab );
      break;
   case ColorSpace::CIELch:
      route.Add( Stage::RGBToXYZ );
      route.Add( Stage::XYZToLch );
      break;
   default:
      break;
   }
   return route;
}

// One conversion: its route, its working space, and where the nominal samples come from and go to.
struct Job
{
   Route route;
   const RGBColorSystem::Data* values = nullptr;
   const float* source[3] = {}; // a Gray source: the grey plane three times
   float* target[3] = {};       // a Gray target: one plane
   int32_t targetPlanes = 3;
};

constexpr int32_t chunk = 512;

template <class S>
QOR_COLOR_INLINE void RunStage( Stage stage, const S& s, float* __restrict c0, float* __restrict c1,
                                float* __restrict c2, int32_t n )
{
   switch ( stage )
   {
   case Stage::HSVToRGB:
      for ( int32_t i = 0; i < n; ++i )
         HSVToRGB( c0[i], c1[i], c2[i], c0[i], c1[i], c2[i] );
      break;
   case Stage::RGBToHSV:
      for ( int32_t i = 0; i < n; ++i )
         RGBToHSV( c0[i], c1[i], c2[i], c0[i], c1[i], c2[i] );
      break;
   case Stage::RGBToXYZ:
      for ( int32_t i = 0; i < n; ++i )
         color::RGBToXYZ( s, c0[i], c1[i], c2[i], c0[i], c1[i], c2[i] );
      break;
   case Stage::XYZToRGB:
      for ( int32_t i = 0; i < n; ++i )
         color::XYZToRGB( s, c0[i], c1[i], c2[i], c0[i], c1[i], c2[i] );
      break;
   case Stage::XYZToLab:
      for ( int32_t i = 0; i < n; ++i )
         color::XYZToLab( s, c0[i], c1[i], c2[i], c0[i], c1[i], c2[i] );
      break;
   case Stage::LabToXYZ:
      for ( int32_t i = 0; i < n; ++i )
         color::LabToXYZ( s, c0[i], c1[i], c2[i], c0[i], c1[i], c2[i] );
      break;
   case Stage::LabToLch:
      for ( int32_t i = 0; i < n; ++i )
         color::LabToLch( s, c0[i], c1[i], c2[i], c0[i], c1[i], c2[i] );
      break;
   case Stage::LchToLab:
      for ( int32_t i = 0; i < n; ++i )
         color::LchToLab( s, c0[i], c1[i], c2[i], c0[i], c1[i], c2[i] );
      break;
   case Stage::XYZToLch:
      for ( int32_t i = 0; i < n; ++i )
         color::XYZToLch( s, c0[i], c1[i], c2[i], c0[i], c1[i], c2[i] );
      break;
   case Stage::LchToXYZ:
      for ( int32_t i = 0; i < n; ++i )
         color::LchToXYZ( s, c0[i], c1[i], c2[i], c0[i], c1[i], c2[i] );
      break;
   case Stage::RGBToL:
      for ( int32_t i = 0; i < n; ++i )
         c0[i] = color::RGBToL( s, c0[i], c1[i], c2[i] );
      break;
   }
}

template <class S> QOR_COLOR_INLINE void ConvertWith( const Job& job, const S& space, int64_t begin, int64_t end )
{
   const S s = space; // a local copy: no sample store can alias it
   alignas( 64 ) float b0[chunk];
   alignas( 64 ) float b1[chunk];
   alignas( 64 ) float b2[chunk];
   // In place (three distinct planes converted onto themselves), the stages run on the planes themselves: a chunk
   // stays in the first-level cache from one stage to the next all the same, and the copies in and out are saved.
   bool inPlace = job.targetPlanes == 3 && job.source[0] == job.target[0] && job.source[1] == job.target[1] &&
                  job.source[2] == job.target[2] && job.target[0] != job.target[1] &&
                  job.target[0] != job.target[2] && job.target[1] != job.target[2];
   if ( inPlace )
   {
      for ( int64_t i = begin; i < end; i += chunk )
      {
         int32_t n = int32_t( end - i < chunk ? end - i : chunk );
         for ( int32_t k = 0; k < job.route.count; ++k )
            RunStage( job.route.stages[k], s, job.target[0] + i, job.target[1] + i, job.target[2] + i, n );
      }
      return;
   }
   for ( int64_t i = begin; i < end; i += chunk )
   {
      int32_t n = int32_t( end - i < chunk ? end - i : chunk );
      size_t bytes = size_t( n ) * sizeof( float );
      std::memcpy( b0, job.source[0] + i, bytes );
      std::memcpy( b1, job.source[1] + i, bytes );
      std::memcpy( b2, job.source[2] + i, bytes );
      for ( int32_t k = 0; k < job.route.count; ++k )
         RunStage( job.route.stages[k], s, b0, b1, b2, n );
      std::memcpy( job.target[0] + i, b0, bytes );
      if ( job.targetPlanes == 3 )
      {
         std::memcpy( job.target[1] + i, b1, bytes );
         std::memcpy( job.target[2] + i, b2, bytes );
      }
   }
}

QOR_COLOR_INLINE void ConvertRange( const Job& job, int64_t begin, int64_t end )
{
   const RGBColorSystem::Data& d = *job.values;
   if ( d.sRGBGamma )
      ConvertWith( job, color::SRGBSpace( d ), begin, end );
   else if ( d.gamma == 1.0f )
      ConvertWith( job, color::LinearSpace( d ), begin, end );
   else if ( color::IntegralGamma( d.gamma ) != 0 )
      ConvertWith( job, color::IntegralPowerLawSpace( d ), begin, end );
   else
      ConvertWith( job, color::PowerLawSpace( d ), begin, end );
}

void ConvertRangeBaseline( const Job& job, int64_t begin, int64_t end )
{
   ConvertRange( job, begin, end );
}

#if defined( __x86_64__ ) && defined( __GNUC__ )
[[gnu::target( "avx2" )]] void ConvertRangeAVX2( const Job& job, int64_t begin, int64_t end )
{
   ConvertRange( job, begin, end );
}

[[gnu::target( "avx512f,avx512vl,avx512dq,avx512bw" )]] void ConvertRangeAVX512( const Job& job, int64_t begin,
                                                                                 int64_t end )
{
   ConvertRange( job, begin, end );
}
#endif

using RangeConverter = void ( * )( const Job&, int64_t, int64_t );

RangeConverter SelectConverter()
{
#if defined( __x86_64__ ) && defined( __GNUC__ )
   __builtin_cpu_init();
   if ( __builtin_cpu_supports( "avx512f" ) && __builtin_cpu_supports( "avx512vl" ) &&
        __builtin_cpu_supports( "avx512dq" ) && __builtin_cpu_supports( "avx512bw" ) )
      return &ConvertRangeAVX512;
   if ( __builtin_cpu_supports( "avx2" ) )
      return &ConvertRangeAVX2;
#endif
   return &ConvertRangeBaseline;
}

} // namespace

void ConvertColorSamples( int32_t from, int32_t to, const RGBColorSystem& rgbws, float* c0, float* c1, float* c2,
                          int64_t n )
{
   static const RangeConverter convert = SelectConverter();
   Job job;
   job.route = MakeRoute( from, to );
   job.values = &rgbws.Values();
   job.source[0] = job.target[0] = c0;
   job.source[1] = job.target[1] = c1;
   job.source[2] = job.target[2] = c2;
   convert( job, 0, n );
}

void Image::SetColorSpace( int32_t target, const RGBColorSystem& rgbws )
{
   if ( !ColorSpace::IsValid( target ) || !ColorSpace::IsValid( colorSpace ) )
      throw InvalidColorSpace( this );
   if ( target == colorSpace )
      return;
   if ( IsEmpty() )
   {
      colorSpace = target; // no pixels to convert
      return;
   }
   if ( colorSpace != ColorSpace::Gray && nominal != 3 )
      throw InvalidColorSpace( this );

   static const RangeConverter convert = SelectConverter();

   Job job;
   job.route = MakeRoute( colorSpace, target );
   job.values = &rgbws.Values();
   const int64_t pixels = NumberOfPixels();
   auto run = [&]( const char* text ) {
      BeginTask( text, pixels );
      ParallelRows(
         height, [&]( int64_t y0, int64_t y1 ) { convert( job, y0 * width, y1 * width ); }, width );
   };

   if ( colorSpace == ColorSpace::Gray )
   {
      // Expansion: three nominal planes built aside; the grey plane is untouched until they are complete.
      std::vector<Plane> table;
      table.reserve( size_t( alpha ) + 3 );
      if ( target == ColorSpace::RGB )
      {
         // The grey plane becomes red; green and blue are its copies, made row by row under the monitor.
         Plane g = NewPlane( pixels ), b = NewPlane( pixels );
         const float* grey = planes[0].get();
         BeginTask( "In-place color model conversion", pixels );
         ParallelRows(
            height,
            [&]( int64_t y0, int64_t y1 ) {
               size_t bytes = size_t( ( y1 - y0 ) * width ) * sizeof( float );
               std::memcpy( g.get() + y0 * width, grey + y0 * width, bytes );
               std::memcpy( b.get() + y0 * width, grey + y0 * width, bytes );
            },
            width );
         table.push_back( std::move( planes[0] ) );
         table.push_back( std::move( g ) );
         table.push_back( std::move( b ) );
      }
      else
      {
         for ( int c = 0; c < 3; ++c )
         {
            table.push_back( NewPlane( pixels ) );
            job.source[c] = planes[0].get();
            job.target[c] = table[size_t( c )].get();
         }
         run( "In-place color model conversion" );
      }
      for ( int32_t c = 1; c <= alpha; ++c )
         table.push_back( std::move( planes[size_t( c )] ) );
      SwapIn( std::move( table ), width, height, 3, alpha, target );
      return;
   }

   if ( target == ColorSpace::Gray )
   {
      // The grey plane is built aside, so the colour planes stay intact until it is complete.
      std::vector<Plane> table;
      table.reserve( size_t( alpha ) + 1 );
      table.push_back( NewPlane( pixels ) );
      for ( int c = 0; c < 3; ++c )
         job.source[c] = planes[size_t( c )].get();
      job.target[0] = table[0].get();
      job.targetPlanes = 1;
      run( "In-place grayscale conversion" );
      for ( int32_t c = 3; c < 3 + alpha; ++c )
         table.push_back( std::move( planes[size_t( c )] ) );
      SwapIn( std::move( table ), width, height, 1, alpha, target );
      return;
   }

   for ( int c = 0; c < 3; ++c )
   {
      job.source[c] = planes[size_t( c )].get();
      job.target[c] = planes[size_t( c )].get();
   }
   run( "In-place color model conversion" );
   colorSpace = target;
}

} // namespace qor
