#include "process/InterpolationParameters.h"

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Interpolation.h"

static_assert( int32_t( InterpolationParameters::BicubicSpline ) == qor::Interpolation::BicubicSpline &&
                   int32_t( InterpolationParameters::Bicubic ) == qor::Interpolation::Bicubic &&
                   int32_t( InterpolationParameters::Bilinear ) == qor::Interpolation::Bilinear &&
                   int32_t( InterpolationParameters::BicubicBSpline ) == qor::Interpolation::BicubicBSpline,
               "the stored algorithm numbers are the class library's interpolation codes" );

namespace
{

struct AlgorithmTexts
{
   const char* identifier;
   const char* name;
};

const AlgorithmTexts Texts[InterpolationParameters::NumberOfAlgorithms] = {
    { "bicubicSplineInterpolation", "Bicubic Spline Interpolation" },
    { "bicubicInterpolation", "Bicubic Interpolation" },
    { "bilinearInterpolation", "Bilinear Interpolation" },
    { "bicubicBSplineInterpolation", "Bicubic B-Spline Interpolation" },
};

qor::GenericException InvalidAlgorithm( int32_t algorithm )
{
   return qor::GenericException( "Invalid interpolation algorithm: " + std::to_string( algorithm ) );
}

} // namespace

std::unique_ptr<Process::Parameters> InterpolationParameters::Clone() const
{
   return std::make_unique<InterpolationParameters>( *this );
}

void InterpolationParameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const InterpolationParameters&>( source );
}

void InterpolationParameters::Read( qor::File& file, float )
{
   // A damaged stream could hold any algorithm number; it would index the tables above and reach the image
   // operations, so it is refused before anything changes.
   int32_t a = file.ReadValue<int32_t>();
   int32_t b = file.ReadValue<int32_t>();
   if ( !IsValidAlgorithm( a ) )
      throw InvalidAlgorithm( a );
   algorithm = a;
   blockSize = b;
}

void InterpolationParameters::Write( qor::File& file, float ) const
{
   file.WriteValue( algorithm );
   file.WriteValue( blockSize );
}

std::string InterpolationParameters::ToText( int32_t ) const
{
   // An unknown algorithm (set by code, never read) is printed as its number rather than looked up.
   std::string text = "algorithm=";
   text += IsValidAlgorithm( algorithm ) ? '"' + AlgorithmIdentifier( algorithm ) + '"' : std::to_string( algorithm );
   if ( algorithm == BicubicSpline )
      text += ", blockSize=" + std::to_string( blockSize );
   return text;
}

std::string InterpolationParameters::AlgorithmIdentifier( int32_t algorithm )
{
   return IsValidAlgorithm( algorithm ) ? Texts[algorithm].identifier : std::string();
}

std::string InterpolationParameters::AlgorithmName( int32_t algorithm )
{
   return IsValidAlgorithm( algorithm ) ? Texts[algorithm].name : std::string();
}

int32_t InterpolationParameters::InterpolationCode() const
{
   if ( !IsValidAlgorithm( algorithm ) )
      throw InvalidAlgorithm( algorithm );
   return algorithm;
}
