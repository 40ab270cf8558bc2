// The ReadoutOptions process: its 21-byte stream, its text form, the values a stream may not bring in, and a
// global run.

#include <gtest/gtest.h>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "classlib/Exception.h"
#include "process/ReadoutOptions.h"

namespace
{

std::vector<uint8_t> Stream( const ReadoutOptions::Parameters& p, const test::TempDir& dir )
{
   const std::string path = dir.File( "p" );
   {
      qor::File file;
      file.CreateForWriting( path );
      p.Write( file, 1.0f );
   }
   return kit::FileBytes( path );
}

void Read( ReadoutOptions::Parameters& p, const std::vector<uint8_t>& bytes, const test::TempDir& dir )
{
   const std::string path = dir.File( "r" );
   kit::WriteBytes( path, bytes );
   qor::File file;
   file.OpenForReading( path );
   p.Read( file, 1.0f );
}

std::vector<uint8_t> Record( int32_t data, int32_t mode, int32_t probe, uint8_t real, int32_t precision, uint32_t max )
{
   return kit::Bytes().Value( data ).Value( mode ).Value( probe ).Value( real ).Value( precision ).Value( max ).data;
}

TEST( ReadoutOptionsProcess, StreamsAs21BytesAndPrintsItsFiveLines )
{
   test::TempDir dir;
   ReadoutOptions::Parameters p;
   EXPECT_EQ( Stream( p, dir ), Record( 0, 0, 1, 1, 4, 255 ) );
   EXPECT_EQ( p.ToText( 0 ), "data=\"RGBK\",\nmode=\"mean\",\nprobeSize=1,\nrange=\"real\",\nprecision=4" );

   p.options = { 5, 3, 15, false, 2, 4294967295u };
   EXPECT_EQ( Stream( p, dir ), Record( 5, 3, 15, 0, 2, 4294967295u ) );
   EXPECT_EQ( p.ToText( 0 ),
              "data=\"CIELch\",\nmode=\"maximum\",\nprobeSize=15,\nrange=\"integer\",\nmaxValue=4294967295" );

   // Only the low bytes of data and mode count.
   ReadoutOptions::Parameters q;
   Read( q, Record( 0x0302, 0x7F01, 9, 1, 6, 1023 ), dir );
   EXPECT_EQ( q.options, ( ReadoutOptionsData{ 2, 1, 9, true, 6, 1023 } ) );
}

TEST( ReadoutOptionsProcess, AStreamWithValuesNoReadoutCanShowIsRefusedAndChangesNothing )
{
   test::TempDir dir;
   const std::vector<std::vector<uint8_t>> bad = {
      Record( 6, 0, 1, 1, 4, 255 ),  Record( 0, 4, 1, 1, 4, 255 ),  Record( 0, 0, 4, 1, 4, 255 ),
      Record( 0, 0, 17, 1, 4, 255 ), Record( 0, 0, -1, 1, 4, 255 ), Record( 0, 0, 1, 1, 0, 255 ),
      Record( 0, 0, 1, 1, 1000000, 255 ),
   };
   for ( const std::vector<uint8_t>& bytes : bad )
   {
      ReadoutOptions::Parameters p;
      p.options.data = 3;
      EXPECT_THROW( Read( p, bytes, dir ), qor::Exception );
      EXPECT_EQ( p.options.data, 3 );
   }
}

TEST( ReadoutOptionsProcess, AGlobalRunMakesItsOptionsTheOnesInForce )
{
   const ReadoutOptionsData before = CurrentReadoutOptions();
   ReadoutOptions process( ReadoutOptionsData{ 4, 2, 7, false, 3, 65535 } );
   EXPECT_EQ( process.Category(), "Global" );
   EXPECT_TRUE( process.CanExecuteGlobal() );
   process.ExecuteGlobal();
   EXPECT_EQ( CurrentReadoutOptions(), ( ReadoutOptionsData{ 4, 2, 7, false, 3, 65535 } ) );
   ApplyReadoutOptions( before );
}

} // namespace
