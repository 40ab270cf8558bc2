#include "process/KernelFilter.h"

#include <cmath>
#include <cstring>

KernelFilter::KernelFilter( std::string name, int32_t size, std::vector<float> coefficients, bool readOnly )
   : name( std::move( name ) ), size( size ), coefficients( std::move( coefficients ) ), readOnly( readOnly )
{
}

void KernelFilter::Fill( float value )
{
   for ( float& c : coefficients )
      c = value;
}

double KernelFilter::Weight() const
{
   double sum = 0;
   for ( float c : coefficients )
      sum += c;
   return sum;
}

double KernelFilter::AbsoluteWeight() const
{
   double sum = 0;
   for ( float c : coefficients )
      sum += std::abs( double( c ) );
   return sum;
}

void KernelFilter::Normalize()
{
   const double w = AbsoluteWeight();
   if ( w == 0 )
      return;
   for ( float& c : coefficients )
      c = float( c / w );
}

void KernelFilter::Read( qor::File& file )
{
   const int32_t length = file.ReadValue<int32_t>();
   // What must still follow the name: the size and the flag byte.
   if ( length < 0 || int64_t( length ) > file.BytesLeft() - 5 )
      throw InvalidData( file.Path() );
   std::string newName( size_t( length ), '\0' );
   if ( length != 0 )
      file.Read( newName.data(), length );

   const int32_t n = file.ReadValue<int32_t>();
   if ( n < 0 || n > MaxSize || ( n != 0 && n % 2 == 0 ) || int64_t( n ) * n * 4 > file.BytesLeft() - 1 )
      throw InvalidData( file.Path() );
   std::vector<float> newCoefficients( size_t( n ) * size_t( n ) );
   if ( n != 0 )
      file.Read( newCoefficients.data(), int64_t( newCoefficients.size() * sizeof( float ) ) );
   for ( float c : newCoefficients )
      if ( !std::isfinite( c ) )
         throw InvalidData( file.Path() );

   const bool flag = file.ReadValue<uint8_t>() != 0;
   name = std::move( newName );
   size = n;
   coefficients = std::move( newCoefficients );
   readOnly = flag;
}

void KernelFilter::Write( qor::File& file ) const
{
   file.WriteValue( int32_t( name.size() ) );
   if ( !name.empty() )
      file.Write( name.data(), int64_t( name.size() ) );
   file.WriteValue( size );
   if ( size != 0 )
      file.Write( coefficients.data(), int64_t( coefficients.size() * sizeof( float ) ) );
   file.WriteValue( uint8_t( readOnly ? 1 : 0 ) );
}

bool KernelFilter::SameKernel( int32_t n, const std::vector<float>& c ) const
{
   return n == size && c.size() == coefficients.size() &&
          ( c.empty() || std::memcmp( c.data(), coefficients.data(), c.size() * sizeof( float ) ) == 0 );
}
