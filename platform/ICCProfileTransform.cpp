#include "platform/ICCProfileTransform.h"

#include <immintrin.h>
#include <lcms2.h>
#include <lcms2_plugin.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace
{

// ---- Tone curves as tables -------------------------------------------------------------------------------------

// An input curve: its values at every 16-bit step k/65535 and one more (the last again), read with linear
// interpolation. Where LittleCMS holds the curve as a 16-bit table it reads it at the nearest step, so at the steps
// the values are the very ones of its pipeline.
constexpr int32_t UniformEntries = 65537;

// An output curve LittleCMS evaluates as a function (a parametric curve, its inverse, or segments): its values at
// 2^OctaveBits points per octave over Octaves octaves below 1, read with linear interpolation between the two points
// around the sample (the index and the fraction are bits of the sample's floating-point form), and its value at 0
// below them. The relative spacing is at most 1/256, so a power curve is read to about 2e-6 of its value.
constexpr int32_t OctaveBits = 8;
constexpr int32_t Octaves = 64;
constexpr int32_t LogEntries = ( Octaves << OctaveBits ) + 2;
constexpr int32_t LogFractionBits = 23 - OctaveBits;
constexpr int32_t LogFractionMask = ( 1 << LogFractionBits ) - 1;
constexpr int32_t LogBase = ( 127 - Octaves ) << 23; // the bits of 2^-64
constexpr float LogFractionScale = 1.0f / float( 1 << LogFractionBits );

// An output curve LittleCMS holds as a 16-bit table (the inverse of a tabulated curve): it reads the table at the
// nearest 16-bit step of its input, so the curve is a staircase of 65536 values, read here in the same way. Its
// step is found as LittleCMS finds it: the input times 65535 in double precision, plus a half, to 1/65536, then
// the integer below.
constexpr int32_t StairEntries = 65536;
constexpr double StairRounding = 0.5 + 1.0 / 131072;

enum class CurveKind
{
   Uniform,
   Log,
   Stairs
};

struct CurveTable
{
   CurveKind kind = CurveKind::Uniform;
   float atZero = 0; // the value at 0 (Log)
   std::vector<float> values;

   bool operator==( const CurveTable& ) const = default;
};

float LogPoint( int32_t j )
{
   return std::bit_cast<float>( uint32_t( LogBase ) + ( uint32_t( j ) << LogFractionBits ) );
}

CurveTable InputCurve( const cmsToneCurve* curve )
{
   CurveTable t;
   t.kind = CurveKind::Uniform;
   t.values.resize( UniformEntries );
   for ( int32_t k = 0; k < 65536; ++k )
      t.values[size_t( k )] = cmsEvalToneCurveFloat( curve, float( k ) / 65535.0f );
   t.values[65536] = t.values[65535];
   return t;
}

CurveTable OutputCurve( const cmsToneCurve* curve )
{
   CurveTable t;
   if ( cmsGetToneCurveParametricType( curve ) != 0 || cmsIsToneCurveMultisegment( curve ) )
   {
      t.kind = CurveKind::Log;
      t.atZero = cmsEvalToneCurveFloat( curve, 0.0f );
      t.values.resize( LogEntries );
      for ( int32_t j = 0; j < LogEntries - 1; ++j )
         t.values[size_t( j )] = cmsEvalToneCurveFloat( curve, LogPoint( j ) );
      t.values[LogEntries - 1] = t.values[LogEntries - 2];
   }
   else
   {
      t.kind = CurveKind::Stairs;
      t.values.resize( StairEntries );
      for ( int32_t k = 0; k < StairEntries; ++k )
         t.values[size_t( k )] = cmsEvalToneCurveFloat( curve, float( k ) / 65535.0f );
   }
   return t;
}

// A matrix stage: out[i] = float( sum over j of in[j] x m[i][j], plus offset[i] ), summed in double precision in
// the order of j, as LittleCMS does.
struct MatrixStage
{
   int rows = 0;
   int columns = 0;
   double m[3][3] = {};
   double offset[3] = {};
   bool hasOffset = false;
};

// ---- The kernels ------------------------------------------------------------------------------------------------

// [0, 1], NaN to 0.
inline float Clamp01( float x )
{
   x = x > 0.0f ? x : 0.0f;
   return x < 1.0f ? x : 1.0f;
}

// One sample of each kernel: the vector kernels give the same results lane by lane (no fused operations, the same
// order), so a pixel does not depend on where a block begins.
inline float UniformAt( const float* table, float x )
{
   const float p = Clamp01( x ) * 65535.0f;
   const int32_t k = int32_t( p );
   const float f = p - float( k );
   const float a = table[k];
   return a + f * ( table[k + 1] - a );
}

inline float LogAt( const float* table, float atZero, float x )
{
   const int32_t d = int32_t( std::bit_cast<uint32_t>( Clamp01( x ) ) ) - LogBase;
   if ( d < 0 )
      return Clamp01( atZero );
   const int32_t k = d >> LogFractionBits;
   const float f = float( d & LogFractionMask ) * LogFractionScale;
   const float a = table[k];
   return Clamp01( a + f * ( table[k + 1] - a ) );
}

inline float StairsAt( const float* table, float x )
{
   return Clamp01( table[int32_t( std::floor( double( Clamp01( x ) ) * 65535.0 + StairRounding ) )] );
}

void ReadCurveScalar( const CurveTable& t, const float* in, float* out, int32_t n )
{
   const float* table = t.values.data();
   switch ( t.kind )
   {
   case CurveKind::Uniform:
      for ( int32_t i = 0; i < n; ++i )
         out[i] = UniformAt( table, in[i] );
      break;
   case CurveKind::Log:
      for ( int32_t i = 0; i < n; ++i )
         out[i] = LogAt( table, t.atZero, in[i] );
      break;
   case CurveKind::Stairs:
      for ( int32_t i = 0; i < n; ++i )
         out[i] = StairsAt( table, in[i] );
      break;
   }
}

void MatrixScalar( const MatrixStage& s, const float* const* in, float* const* out, int32_t n )
{
   for ( int32_t p = 0; p < n; ++p )
   {
      float r[3];
      for ( int i = 0; i < s.rows; ++i )
      {
         double sum = 0;
         for ( int j = 0; j < s.columns; ++j )
            sum += double( in[j][p] ) * s.m[i][j];
         if ( s.hasOffset )
            sum += s.offset[i];
         r[i] = float( sum );
      }
      for ( int i = 0; i < s.rows; ++i )
         out[i][p] = r[i];
   }
}

#define LF_AVX2 __attribute__( ( target( "avx2" ) ) )

LF_AVX2 inline __m256 Clamp01( __m256 x )
{
   // max( x, 0 ) answers 0 for NaN: the second operand wins when either is NaN.
   return _mm256_min_ps( _mm256_max_ps( x, _mm256_setzero_ps() ), _mm256_set1_ps( 1.0f ) );
}

LF_AVX2 inline __m256 Lerp( const float* table, __m256i k, __m256 f )
{
   const __m256 a = _mm256_i32gather_ps( table, k, 4 );
   const __m256 b = _mm256_i32gather_ps( table + 1, k, 4 );
   return _mm256_add_ps( a, _mm256_mul_ps( f, _mm256_sub_ps( b, a ) ) );
}

LF_AVX2 inline __m128i StairStep( __m128 x, __m256d scale, __m256d rounding )
{
   const __m256d d = _mm256_add_pd( _mm256_mul_pd( _mm256_cvtps_pd( x ), scale ), rounding );
   return _mm256_cvttpd_epi32( _mm256_floor_pd( d ) );
}

// Returns the number of samples done (a multiple of 8); the caller does the rest one by one.
LF_AVX2 int32_t ReadCurveAVX2( const CurveTable& t, const float* in, float* out, int32_t n )
{
   const float* table = t.values.data();
   int32_t i = 0;
   switch ( t.kind )
   {
   case CurveKind::Uniform:
   {
      const __m256 scale = _mm256_set1_ps( 65535.0f );
      for ( ; i + 8 <= n; i += 8 )
      {
         const __m256 p = _mm256_mul_ps( Clamp01( _mm256_loadu_ps( in + i ) ), scale );
         const __m256i k = _mm256_cvttps_epi32( p );
         _mm256_storeu_ps( out + i, Lerp( table, k, _mm256_sub_ps( p, _mm256_cvtepi32_ps( k ) ) ) );
      }
      break;
   }
   case CurveKind::Log:
   {
      const __m256i base = _mm256_set1_epi32( LogBase );
      const __m256i mask = _mm256_set1_epi32( LogFractionMask );
      const __m256 fractionScale = _mm256_set1_ps( LogFractionScale );
      const __m256 atZero = _mm256_set1_ps( t.atZero );
      for ( ; i + 8 <= n; i += 8 )
      {
         const __m256i d =
             _mm256_sub_epi32( _mm256_castps_si256( Clamp01( _mm256_loadu_ps( in + i ) ) ), base );
         const __m256i below = _mm256_cmpgt_epi32( _mm256_setzero_si256(), d );
         const __m256i e = _mm256_max_epi32( d, _mm256_setzero_si256() );
         const __m256i k = _mm256_srli_epi32( e, LogFractionBits );
         const __m256 f = _mm256_mul_ps( _mm256_cvtepi32_ps( _mm256_and_si256( e, mask ) ), fractionScale );
         const __m256 y = _mm256_blendv_ps( Lerp( table, k, f ), atZero, _mm256_castsi256_ps( below ) );
         _mm256_storeu_ps( out + i, Clamp01( y ) );
      }
      break;
   }
   case CurveKind::Stairs:
   {
      const __m256d scale = _mm256_set1_pd( 65535.0 );
      const __m256d rounding = _mm256_set1_pd( StairRounding );
      for ( ; i + 8 <= n; i += 8 )
      {
         const __m256 x = Clamp01( _mm256_loadu_ps( in + i ) );
         const __m256i k = _mm256_setr_m128i( StairStep( _mm256_castps256_ps128( x ), scale, rounding ),
                                              StairStep( _mm256_extractf128_ps( x, 1 ), scale, rounding ) );
         _mm256_storeu_ps( out + i, Clamp01( _mm256_i32gather_ps( table, k, 4 ) ) );
      }
      break;
   }
   }
   return i;
}

LF_AVX2 int32_t MatrixAVX2( const MatrixStage& s, const float* const* in, float* const* out, int32_t n )
{
   int32_t p = 0;
   for ( ; p + 8 <= n; p += 8 )
   {
      __m256d lo[3], hi[3];
      for ( int j = 0; j < s.columns; ++j )
      {
         const __m256 x = _mm256_loadu_ps( in[j] + p );
         lo[j] = _mm256_cvtps_pd( _mm256_castps256_ps128( x ) );
         hi[j] = _mm256_cvtps_pd( _mm256_extractf128_ps( x, 1 ) );
      }
      __m256 r[3];
      for ( int i = 0; i < s.rows; ++i )
      {
         __m256d a = _mm256_setzero_pd(), b = _mm256_setzero_pd();
         for ( int j = 0; j < s.columns; ++j )
         {
            const __m256d c = _mm256_set1_pd( s.m[i][j] );
            a = _mm256_add_pd( a, _mm256_mul_pd( lo[j], c ) );
            b = _mm256_add_pd( b, _mm256_mul_pd( hi[j], c ) );
         }
         if ( s.hasOffset )
         {
            const __m256d o = _mm256_set1_pd( s.offset[i] );
            a = _mm256_add_pd( a, o );
            b = _mm256_add_pd( b, o );
         }
         r[i] = _mm256_setr_m128( _mm256_cvtpd_ps( a ), _mm256_cvtpd_ps( b ) );
      }
      for ( int i = 0; i < s.rows; ++i )
         _mm256_storeu_ps( out[i] + p, r[i] );
   }
   return p;
}

const bool hasAVX2 = __builtin_cpu_supports( "avx2" );

void ReadCurve( const CurveTable& t, const float* in, float* out, int32_t n )
{
   const int32_t done = hasAVX2 ? ReadCurveAVX2( t, in, out, n ) : 0;
   ReadCurveScalar( t, in + done, out + done, n - done );
}

void Matrix( const MatrixStage& s, const float* const* in, float* const* out, int32_t n )
{
   const int32_t done = hasAVX2 ? MatrixAVX2( s, in, out, n ) : 0;
   const float* restIn[3] = {};
   float* restOut[3] = {};
   for ( int j = 0; j < s.columns; ++j )
      restIn[j] = in[j] + done;
   for ( int i = 0; i < s.rows; ++i )
      restOut[i] = out[i] + done;
   MatrixScalar( s, restIn, restOut, n - done );
}

// Pixels per block of the tabulated path: its buffers stay in the first-level cache.
constexpr int32_t BlockPixels = 512;
// Pixels per block handed to LittleCMS.
constexpr int32_t ExactBlockPixels = 1024;

// ---- LittleCMS's pipeline ---------------------------------------------------------------------------------------

bool IsRGB( cmsHPROFILE p )
{
   return uint32_t( cmsGetColorSpace( p ) ) == ICCSignatureRGB;
}

bool IsGray( cmsHPROFILE p )
{
   return uint32_t( cmsGetColorSpace( p ) ) == ICCSignatureGray;
}

cmsUInt32Number FloatFormat( int channels )
{
   return channels == 3 ? TYPE_RGB_FLT : TYPE_GRAY_FLT;
}

// The pipeline LittleCMS links for two profiles, as it stands before any optimisation (identities removed and
// adjacent matrices joined, as in its unoptimised transforms). LittleCMS shows it only to an optimisation plug-in:
// ours, registered in a context of its own, copies it for the thread that asked and optimises nothing.
thread_local cmsPipeline* capturedPipeline = nullptr;

cmsBool CapturePipeline( cmsPipeline** lut, cmsUInt32Number, cmsUInt32Number*, cmsUInt32Number*, cmsUInt32Number* )
{
   if ( capturedPipeline == nullptr && lut != nullptr && *lut != nullptr )
      capturedPipeline = cmsPipelineDup( *lut );
   return FALSE;
}

cmsPipeline* LinkedPipeline( cmsHPROFILE source, cmsHPROFILE target, int inputs, int outputs, uint32_t intent )
{
   static cmsPluginOptimization plugin = {
       { cmsPluginMagicNumber, 2000, cmsPluginOptimizationSig, nullptr }, CapturePipeline };
   static const cmsContext context = cmsCreateContext( &plugin, nullptr );
   if ( context == nullptr )
      return nullptr;
   capturedPipeline = nullptr;
   cmsHTRANSFORM t = cmsCreateTransformTHR( context, source, FloatFormat( inputs ), target, FloatFormat( outputs ),
                                            LCMSRenderingIntent( intent ), cmsFLAGS_NOCACHE );
   if ( t != nullptr )
      cmsDeleteTransform( t );
   cmsPipeline* pipeline = capturedPipeline;
   capturedPipeline = nullptr;
   return pipeline;
}

// The probe colours of the check: 16-bit steps, dark tones and both ends of each channel included.
std::vector<float> ProbeColors( int channels )
{
   std::vector<float> probes;
   auto add = [&probes]( int32_t word ) { probes.push_back( float( word ) / 65535.0f ); };
   if ( channels == 1 )
   {
      for ( int32_t k = 0; k < 65535; k += ( k < 512 ? 1 : k < 4096 ? 8 : 64 ) )
         add( k );
      add( 65535 );
      return probes;
   }
   static constexpr int32_t levels[] = { 0,     1,     2,     5,     13,    40,    120,   400,
                                         1300,  4000,  9000,  20000, 33000, 47000, 60000, 65535 };
   for ( int32_t r : levels )
      for ( int32_t g : levels )
         for ( int32_t b : levels )
            for ( int32_t v : { r, g, b } )
               add( v );
   // Colours between the levels: a dark magenta, near-greys, saturated mid tones.
   static constexpr int32_t extra[][3] = { { 24248, 328, 22937 }, { 511, 328, 22937 },    { 300, 310, 290 },
                                           { 36289, 64264, 53697 }, { 33513, 58709, 10769 }, { 5854, 314, 2 } };
   for ( const auto& e : extra )
      for ( int32_t v : e )
         add( v );
   return probes;
}

} // namespace

// ---- The transform ----------------------------------------------------------------------------------------------

struct ICCProfileTransform::Tables
{
   // Distinct curves; a profile's channels often share one.
   std::vector<std::unique_ptr<CurveTable>> curves;
   const CurveTable* input[3] = {};
   std::vector<MatrixStage> matrices;
   const CurveTable* output[3] = {};

   const CurveTable* Keep( CurveTable t )
   {
      for ( const auto& c : curves )
         if ( *c == t )
            return c.get();
      curves.push_back( std::make_unique<CurveTable>( std::move( t ) ) );
      return curves.back().get();
   }

   // Reads the pipeline's stages: tone curves, matrices, tone curves. False for any other shape.
   bool Read( const cmsPipeline* pipeline, int inputs, int outputs )
   {
      const cmsStage* stage = cmsPipelineGetPtrToFirstStage( pipeline );
      auto curvesOf = [&]( const cmsStage* s, int channels ) -> const _cmsStageToneCurvesData*
      {
         if ( s == nullptr || cmsStageType( s ) != cmsSigCurveSetElemType ||
              int( cmsStageInputChannels( s ) ) != channels || int( cmsStageOutputChannels( s ) ) != channels )
            return nullptr;
         const auto* data = static_cast<const _cmsStageToneCurvesData*>( cmsStageData( s ) );
         return data != nullptr && int( data->nCurves ) == channels ? data : nullptr;
      };
      const _cmsStageToneCurvesData* first = curvesOf( stage, inputs );
      if ( first == nullptr )
         return false;
      for ( int c = 0; c < inputs; ++c )
         input[c] = Keep( InputCurve( first->TheCurves[c] ) );
      int channels = inputs;
      for ( stage = cmsStageNext( stage ); stage != nullptr && cmsStageType( stage ) == cmsSigMatrixElemType;
            stage = cmsStageNext( stage ) )
      {
         MatrixStage m;
         m.columns = int( cmsStageInputChannels( stage ) );
         m.rows = int( cmsStageOutputChannels( stage ) );
         const auto* data = static_cast<const _cmsStageMatrixData*>( cmsStageData( stage ) );
         if ( m.columns != channels || m.rows < 1 || m.rows > 3 || data == nullptr || data->Double == nullptr )
            return false;
         for ( int i = 0; i < m.rows; ++i )
            for ( int j = 0; j < m.columns; ++j )
               m.m[i][j] = data->Double[i * m.columns + j];
         m.hasOffset = data->Offset != nullptr;
         for ( int i = 0; m.hasOffset && i < m.rows; ++i )
            m.offset[i] = data->Offset[i];
         matrices.push_back( m );
         channels = m.rows;
      }
      const _cmsStageToneCurvesData* last = curvesOf( stage, outputs );
      if ( last == nullptr || channels != outputs || cmsStageNext( stage ) != nullptr )
         return false;
      for ( int c = 0; c < outputs; ++c )
         output[c] = Keep( OutputCurve( last->TheCurves[c] ) );
      return true;
   }

   // One block of at most BlockPixels pixels. Every input is read before the first output is written, so an output
   // plane may be an input plane.
   void Block( const float* const* in, float* const* out, int64_t offset, int32_t n, int inputs, int outputs ) const
   {
      alignas( 64 ) float a[3][BlockPixels];
      alignas( 64 ) float b[3][BlockPixels];
      float* from[3] = { a[0], a[1], a[2] };
      float* to[3] = { b[0], b[1], b[2] };
      for ( int j = 0; j < inputs; ++j )
         ReadCurve( *input[j], in[j] + offset, from[j], n );
      for ( const MatrixStage& m : matrices )
      {
         Matrix( m, from, to, n );
         std::swap( from, to );
      }
      for ( int i = 0; i < outputs; ++i )
         ReadCurve( *output[i], from[i], out[i] + offset, n );
   }
};

ICCProfileTransform::~ICCProfileTransform()
{
   if ( exact != nullptr )
      cmsDeleteTransform( exact );
}

std::unique_ptr<ICCProfileTransform> ICCProfileTransform::Create( ICCProfileHandle source, ICCProfileHandle target,
                                                                  uint32_t intent )
{
   QuietLCMSErrors();
   if ( source == nullptr || target == nullptr )
      return nullptr;
   if ( !( IsRGB( source ) || IsGray( source ) ) || !( IsRGB( target ) || IsGray( target ) ) )
      return nullptr;
   std::unique_ptr<ICCProfileTransform> t( new ICCProfileTransform );
   t->inputChannels = IsRGB( source ) ? 3 : 1;
   t->outputChannels = IsRGB( target ) ? 3 : 1;
   // LittleCMS's pipeline, unoptimised: the reference of the check and the way every other pipeline goes.
   t->exact = cmsCreateTransform( source, FloatFormat( t->inputChannels ), target, FloatFormat( t->outputChannels ),
                                  LCMSRenderingIntent( intent ), cmsFLAGS_NOOPTIMIZE | cmsFLAGS_NOCACHE );
   if ( t->exact == nullptr )
      return nullptr;

   cmsPipeline* pipeline = LinkedPipeline( source, target, t->inputChannels, t->outputChannels, intent );
   if ( pipeline == nullptr )
      return t;
   auto tables = std::make_unique<Tables>();
   const bool read = tables->Read( pipeline, t->inputChannels, t->outputChannels );
   cmsPipelineFree( pipeline );
   if ( !read )
      return t;
   t->tables = std::move( tables );
   t->tabulated = true;
   if ( !t->Verify() )
   {
      t->tables.reset();
      t->tabulated = false;
   }
   return t;
}

bool ICCProfileTransform::Verify() const
{
   // The tables and LittleCMS's pipeline must agree within half a 16-bit step on every probe.
   const std::vector<float> probes = ProbeColors( inputChannels );
   const int64_t n = int64_t( probes.size() ) / inputChannels;
   std::vector<float> expected( size_t( n * outputChannels ) );
   cmsDoTransform( exact, probes.data(), expected.data(), cmsUInt32Number( n ) );

   std::vector<float> planes( size_t( n * inputChannels ) ), results( size_t( n * outputChannels ) );
   const float* in[3] = {};
   float* out[3] = {};
   for ( int c = 0; c < inputChannels; ++c )
   {
      in[c] = planes.data() + c * n;
      for ( int64_t p = 0; p < n; ++p )
         planes[size_t( c * n + p )] = probes[size_t( p * inputChannels + c )];
   }
   for ( int c = 0; c < outputChannels; ++c )
      out[c] = results.data() + c * n;
   Apply( in, out, n );

   constexpr float tolerance = 0.5f / 65535;
   for ( int64_t p = 0; p < n; ++p )
      for ( int c = 0; c < outputChannels; ++c )
         if ( !( std::fabs( out[c][p] - Clamp01( expected[size_t( p * outputChannels + c )] ) ) <= tolerance ) )
            return false;
   return true;
}

bool ICCProfileTransform::Apply( const float* const* input, float* const* output, int64_t n ) const
{
   if ( tabulated )
   {
      for ( int64_t first = 0; first < n; first += BlockPixels )
         tables->Block( input, output, first, int32_t( std::min<int64_t>( BlockPixels, n - first ) ), inputChannels,
                        outputChannels );
      return true;
   }

   const uint64_t errors = LCMSErrorCount();
   std::vector<float> in( size_t( ExactBlockPixels * inputChannels ) ),
       out( size_t( ExactBlockPixels * outputChannels ) );
   for ( int64_t first = 0; first < n; first += ExactBlockPixels )
   {
      const int32_t m = int32_t( std::min<int64_t>( ExactBlockPixels, n - first ) );
      for ( int32_t i = 0; i < m; ++i )
         for ( int c = 0; c < inputChannels; ++c )
            in[size_t( i * inputChannels + c )] = Clamp01( input[c][first + i] );
      cmsDoTransform( exact, in.data(), out.data(), cmsUInt32Number( m ) );
      for ( int c = 0; c < outputChannels; ++c )
         for ( int32_t i = 0; i < m; ++i )
            output[c][first + i] = Clamp01( out[size_t( i * outputChannels + c )] );
   }
   return LCMSErrorCount() == errors;
}
