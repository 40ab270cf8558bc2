// Kernel filters and their library files: exact body bytes, round trips, and damaged bodies refused before
// anything is allocated from them.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "TestDirs.h"
#include "process/KernelFilterSetModule.h"

namespace
{

std::vector<uint8_t> FileBytes( const std::string& path )
{
   std::ifstream in( path, std::ios::binary );
   return { std::istreambuf_iterator<char>( in ), std::istreambuf_iterator<char>() };
}

void WriteBytes( const std::string& path, const std::vector<uint8_t>& bytes )
{
   std::ofstream out( path, std::ios::binary | std::ios::trunc );
   out.write( reinterpret_cast<const char*>( bytes.data() ), std::streamsize( bytes.size() ) );
}

template <typename T>
void Put( std::vector<uint8_t>& bytes, T value )
{
   uint8_t raw[sizeof( T )];
   std::memcpy( raw, &value, sizeof( T ) );
   bytes.insert( bytes.end(), raw, raw + sizeof( T ) );
}

void FillSample( KernelFilterSetModule& set )
{
   set.filters.push_back( std::make_unique<KernelFilter>( "Box", 3, std::vector<float>( 9, 1.0f ), true ) );
   set.filters.push_back( std::make_unique<KernelFilter>( "", 0, std::vector<float>() ) );
   set.filters.push_back( std::make_unique<KernelFilter>( "One", 1, std::vector<float>{ -2.5f } ) );
}

} // namespace

TEST( KernelFilterTest, WeightsAndNormalize )
{
   KernelFilter f( "k", 3, { 1, -1, 2, 0, 0, 0, 0, 0, 0 } );
   EXPECT_DOUBLE_EQ( f.Weight(), 2 );
   EXPECT_DOUBLE_EQ( f.AbsoluteWeight(), 4 );
   f.Normalize();
   EXPECT_EQ( f.coefficients, ( std::vector<float>{ 0.25f, -0.25f, 0.5f, 0, 0, 0, 0, 0, 0 } ) );
   EXPECT_DOUBLE_EQ( f.Weight(), 0.5 );

   // Zero weight: nothing is divided, no NaN appears.
   KernelFilter zero( "z", 3, std::vector<float>( 9, 0.0f ) );
   zero.Normalize();
   EXPECT_EQ( zero.coefficients, std::vector<float>( 9, 0.0f ) );
   KernelFilter balanced( "b", 1, { 0.0f } );
   balanced.Fill( -1 );
   EXPECT_EQ( balanced.coefficients, std::vector<float>{ -1.0f } );
}

TEST( KernelFilterSetModuleTest, BodyBytesAndRoundTrip )
{
   test::TempDir dir;
   const std::string path = dir.File( "set.lf-fsm" );
   KernelFilterSetModule set;
   FillSample( set );
   set.Write( path );

   std::vector<uint8_t> body;
   Put<int32_t>( body, 3 );
   Put<int32_t>( body, 3 );
   body.insert( body.end(), { 'B', 'o', 'x' } );
   Put<int32_t>( body, 3 );
   for ( int i = 0; i < 9; ++i )
      Put<float>( body, 1.0f );
   body.push_back( 1 );
   Put<int32_t>( body, 0 );
   Put<int32_t>( body, 0 );
   body.push_back( 0 );
   Put<int32_t>( body, 3 );
   body.insert( body.end(), { 'O', 'n', 'e' } );
   Put<int32_t>( body, 1 );
   Put<float>( body, -2.5f );
   body.push_back( 0 );

   const std::vector<uint8_t> bytes = FileBytes( path );
   ASSERT_EQ( bytes.size(), 40 + body.size() );
   uint32_t type;
   std::memcpy( &type, bytes.data() + 8, 4 );
   EXPECT_EQ( type, 0x5A5A07BEu );
   EXPECT_EQ( std::vector<uint8_t>( bytes.begin() + 40, bytes.end() ), body );

   // A flag byte of 2 reads as read-only and is written back as 1; reading replaces what the set held.
   std::vector<uint8_t> edited = bytes;
   edited[40 + 4 + 4 + 3 + 4 + 36] = 2;
   WriteBytes( path, edited );
   KernelFilterSetModule read;
   read.filters.push_back( std::make_unique<KernelFilter>( "old", 1, std::vector<float>{ 1 } ) );
   read.Read( path );
   ASSERT_EQ( read.filters.size(), 3u );
   EXPECT_EQ( read.filters[0]->name, "Box" );
   EXPECT_TRUE( read.filters[0]->readOnly );
   EXPECT_TRUE( read.filters[0]->SameKernel( *set.filters[0] ) );
   EXPECT_EQ( read.filters[1]->name, "" );
   EXPECT_EQ( read.filters[1]->size, 0 );
   EXPECT_TRUE( read.filters[1]->coefficients.empty() );
   EXPECT_EQ( read.filters[2]->coefficients, std::vector<float>{ -2.5f } );
   EXPECT_EQ( read.Find( "One" ), read.filters[2].get() );
   read.Write( path );
   const std::vector<uint8_t> rewritten = FileBytes( path );
   EXPECT_EQ( std::vector<uint8_t>( rewritten.begin() + 40, rewritten.end() ), body );

   KernelFilterSetModule empty;
   empty.Write( path );
   EXPECT_EQ( FileBytes( path ).size(), 44u );
   read.Read( path );
   EXPECT_TRUE( read.filters.empty() );
}

TEST( KernelFilterSetModuleTest, DamagedBodiesAreRefused )
{
   test::TempDir dir;
   const std::string path = dir.File( "set.lf-fsm" );
   {
      KernelFilterSetModule sample;
      FillSample( sample );
      sample.Write( path );
   }
   const std::vector<uint8_t> good = FileBytes( path );
   const size_t count = 40, nameLength = 44, size = 51, coefficient = 55, secondSize = 96;

   struct Case
   {
      const char* what;
      size_t offset;
      int32_t value;
      bool truncate;
   };
   const float nan = std::numeric_limits<float>::quiet_NaN();
   int32_t nanBits;
   std::memcpy( &nanBits, &nan, 4 );
   const Case cases[] = {
      { "negative count", count, -1, false },
      { "count beyond the file", count, 0x7fffffff, false },
      { "one record too many", count, 4, false },
      { "negative name length", nameLength, -3, false },
      { "name longer than the file", nameLength, 0x7ffffff0, false },
      { "negative size", size, -3, false },
      { "even size", size, 2, false },
      { "size above the maximum", size, 257, false },
      { "size whose square overflows", size, 65537, false },
      { "coefficients beyond the file", secondSize, 5, false },
      { "coefficient not a number", coefficient, nanBits, false },
      { "file cut in a record", 0, 0, true },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      std::vector<uint8_t> bytes = good;
      if ( c.truncate )
         bytes.resize( bytes.size() - 2 );
      else
         std::memcpy( bytes.data() + c.offset, &c.value, 4 );
      WriteBytes( path, bytes );
      KernelFilterSetModule set;
      EXPECT_THROW( set.Read( path ), qor::File::Exception );
      EXPECT_TRUE( set.filters.empty() );
      EXPECT_TRUE( set.FilePath().empty() );
   }
}
