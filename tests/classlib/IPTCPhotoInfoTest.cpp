#include "IPTCPhotoInfo.h"

#include "File.h"
#include "TestDirs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

using qor::File;
using qor::IPTCPhotoInfo;

namespace
{

using Bytes = std::vector<uint8_t>;
using NamedValues = std::vector<std::pair<std::string, std::string>>;

const Bytes VersionDataset = { 0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x04 };

Bytes Concat( std::initializer_list<Bytes> parts )
{
   Bytes out;
   for ( const Bytes& p : parts )
      out.insert( out.end(), p.begin(), p.end() );
   return out;
}

Bytes Text( const std::string& s )
{
   return Bytes( s.begin(), s.end() );
}

// A standard dataset: 1C, record, dataset, two-byte big-endian length, data.
Bytes Dataset( int record, int dataset, const std::string& data )
{
   Bytes out( 5 + data.size() );
   out[0] = 0x1C;
   out[1] = uint8_t( record );
   out[2] = uint8_t( dataset );
   out[3] = uint8_t( data.size() >> 8 );
   out[4] = uint8_t( data.size() );
   std::copy( data.begin(), data.end(), out.begin() + 5 );
   return out;
}

Bytes Zeros( size_t n )
{
   return Bytes( n, 0 );
}

// Builds an object whose list runs in the order given.
IPTCPhotoInfo Make( const NamedValues& values )
{
   IPTCPhotoInfo info;
   for ( auto it = values.rbegin(); it != values.rend(); ++it )
   {
      const IPTCPhotoInfo::ItemDescription* d = IPTCPhotoInfo::DescriptionByName( it->first );
      EXPECT_NE( d, nullptr ) << it->first;
      info.Add( { d, it->second } );
   }
   return info;
}

// The items in list order.
NamedValues Contents( const IPTCPhotoInfo& info )
{
   NamedValues out;
   for ( const IPTCPhotoInfo::Item& item : info.Items() )
      out.emplace_back( item.description->name, item.value );
   return out;
}

Bytes Encoded( const IPTCPhotoInfo& info )
{
   Bytes block;
   int32_t size = info.Encode( block );
   EXPECT_EQ( size_t( size ), block.size() );
   return block;
}

IPTCPhotoInfo Decoded( const Bytes& block )
{
   IPTCPhotoInfo info;
   info.Decode( block.data(), int64_t( block.size() ) );
   return info;
}

const NamedValues Sample = { { "City", "Madrid" }, { "Keywords", "a;b" } };

} // namespace

// ----------------------------------------------------------------------------------------------------------------

TEST( IPTCPhotoInfoRegistry, HoldsEachOfTheThirtyOneDatasetsOnce )
{
   const auto& all = IPTCPhotoInfo::Descriptions();
   ASSERT_EQ( all.size(), 31u );
   EXPECT_EQ( all.front().name, "CaptionWriter" );
   EXPECT_EQ( all.back().name, "ObjectName" );

   std::set<std::string> names;
   std::set<int32_t> datasets;
   std::set<int32_t> repeatable;
   for ( const auto& d : all )
   {
      names.insert( d.name );
      datasets.insert( d.dataset );
      if ( d.repeatable )
         repeatable.insert( d.dataset );
      EXPECT_EQ( IPTCPhotoInfo::DescriptionByName( d.name ), &d );
      EXPECT_EQ( IPTCPhotoInfo::DescriptionByDataset( d.dataset ), &d );
   }
   EXPECT_EQ( names.size(), 31u );
   EXPECT_EQ( datasets.size(), 31u );
   EXPECT_EQ( repeatable, ( std::set<int32_t>{ 20, 25, 26, 27, 80, 85, 118 } ) );

   struct Row
   {
      const char* name;
      int32_t dataset;
      int32_t maximumLength;
      IPTCPhotoInfo::ItemKind kind;
   };
   using K = IPTCPhotoInfo::ItemKind;
   for ( const Row& r : { Row{ "ObjectName", 5, 64, K::Text }, Row{ "Urgency", 10, 1, K::Text },
                          Row{ "DateCreated", 55, 8, K::Date }, Row{ "TimeCreated", 60, 11, K::Time },
                          Row{ "DigitalCreationTime", 63, 11, K::Time }, Row{ "CountryCode", 100, 3, K::Text },
                          Row{ "Caption", 120, 2000, K::Text }, Row{ "CaptionWriter", 122, 32, K::Text } } )
   {
      const auto* d = IPTCPhotoInfo::DescriptionByName( r.name );
      ASSERT_NE( d, nullptr ) << r.name;
      EXPECT_EQ( d->dataset, r.dataset ) << r.name;
      EXPECT_EQ( d->maximumLength, r.maximumLength ) << r.name;
      EXPECT_EQ( d->kind, r.kind ) << r.name;
   }
}

TEST( IPTCPhotoInfoRegistry, LooksNamesUpExactly )
{
   for ( const char* name : { "city", "City ", " City", "Cit", "" } )
      EXPECT_EQ( IPTCPhotoInfo::DescriptionByName( name ), nullptr ) << '"' << name << '"';
   for ( int32_t dataset : { 0, 1, 121, 200, -90, 90 + 256 } )
      EXPECT_EQ( IPTCPhotoInfo::DescriptionByDataset( dataset ), nullptr ) << dataset;
}

// ----------------------------------------------------------------------------------------------------------------

TEST( IPTCPhotoInfoItems, SetJoinsRepeatableDataAndAppendsToOthers )
{
   IPTCPhotoInfo info;
   const auto* keywords = IPTCPhotoInfo::DescriptionByName( "Keywords" );
   const auto* city = IPTCPhotoInfo::DescriptionByName( "City" );
   for ( const char* k : { "a", "b", "c" } )
      info.Set( keywords, k, 1 );
   info.Set( city, "X", 1 );
   info.Set( city, "Y", 1 );
   EXPECT_EQ( Contents( info ), ( NamedValues{ { "City", "XY" }, { "Keywords", "a;b;c" } } ) );
   EXPECT_EQ( info.Count(), 2 );
   EXPECT_EQ( info.FindValue( "Keywords" ), "a;b;c" );
   EXPECT_EQ( info.FindValue( "keywords" ), std::nullopt );
   EXPECT_EQ( info.FindValue( "Caption" ), std::nullopt );

   EXPECT_THROW( info.Set( nullptr, "z", 1 ), IPTCPhotoInfo::Exception );
   EXPECT_THROW( info.Add( { nullptr, "z" } ), IPTCPhotoInfo::Exception );
   EXPECT_EQ( info.Count(), 2 );
}

TEST( IPTCPhotoInfoItems, AddKeepsOneItemPerDatasetInFront )
{
   IPTCPhotoInfo info = Make( { { "City", "Madrid" }, { "Keywords", "a" }, { "Caption", "c" } } );
   info.Add( { IPTCPhotoInfo::DescriptionByName( "Keywords" ), "b" } );
   EXPECT_EQ( Contents( info ), ( NamedValues{ { "Keywords", "b" }, { "City", "Madrid" }, { "Caption", "c" } } ) );
}

TEST( IPTCPhotoInfoItems, AssignReversesTheListAndLeavesItselfAlone )
{
   const NamedValues three = { { "City", "Madrid" }, { "Keywords", "a;b" }, { "Caption", "c" } };
   IPTCPhotoInfo source = Make( three );
   IPTCPhotoInfo target = Make( { { "Headline", "old" } } );
   target.Assign( source );
   EXPECT_EQ( Contents( target ), NamedValues( three.rbegin(), three.rend() ) );

   source.Assign( source );
   EXPECT_EQ( Contents( source ), three );

   IPTCPhotoInfo copy = source; // a C++ copy keeps the order
   EXPECT_EQ( Contents( copy ), three );

   source.Clear();
   EXPECT_TRUE( source.IsEmpty() );
   EXPECT_EQ( Contents( copy ), three );
}

// ----------------------------------------------------------------------------------------------------------------

TEST( IPTCPhotoInfoEncode, SingleCityGivesTheExactBlock )
{
   IPTCPhotoInfo info = Make( { { "City", "Madrid" } } );
   EXPECT_EQ( info.Items().front().EncodedSize(), 11 );
   EXPECT_EQ( Encoded( info ),
              Concat( { VersionDataset, { 0x1C, 0x02, 0x5A, 0x00, 0x06 }, Text( "Madrid" ), Zeros( 2 ) } ) );
}

TEST( IPTCPhotoInfoEncode, RepeatableValueIsCutTrimmedAndPaddedFromTheUntrimmedEstimate )
{
   IPTCPhotoInfo info = Make( { { "Keywords", "M31; galaxy;;  Andromeda " } } );
   EXPECT_EQ( info.Items().front().EncodedSize(), 42 );
   Bytes block = Encoded( info );
   EXPECT_EQ( block, Concat( { VersionDataset, Dataset( 2, 25, "M31" ), Dataset( 2, 25, "galaxy" ),
                               Dataset( 2, 25, "Andromeda" ), Zeros( 12 ) } ) );
   EXPECT_EQ( block.size(), 52u );
}

TEST( IPTCPhotoInfoEncode, EstimateCountsEmptyElementsButNotAnEmptyTail )
{
   struct Case
   {
      const char* name;
      const char* value;
      int64_t estimate;
   };
   for ( const Case& c : { Case{ "Keywords", "", 0 }, Case{ "Keywords", "a;", 6 }, Case{ "Keywords", ";", 5 },
                           Case{ "Keywords", ";;b", 5 + 5 + 6 }, Case{ "Keywords", " a ", 8 },
                           Case{ "City", "", 0 }, Case{ "City", "a;b", 8 }, Case{ "City", "   ", 8 } } )
   {
      IPTCPhotoInfo info = Make( { { c.name, c.value } } );
      EXPECT_EQ( info.Items().front().EncodedSize(), c.estimate ) << c.name << " '" << c.value << "'";
   }
}

TEST( IPTCPhotoInfoEncode, NothingToWriteGivesNoBlock )
{
   Bytes block = { 1, 2, 3 };
   EXPECT_EQ( IPTCPhotoInfo().Encode( block ), 0 );
   EXPECT_TRUE( block.empty() );

   block = { 1, 2, 3 };
   EXPECT_EQ( Make( { { "City", "" }, { "Keywords", "" } } ).Encode( block ), 0 );
   EXPECT_TRUE( block.empty() );
}

TEST( IPTCPhotoInfoEncode, BlanksOnlyYieldNoDataset )
{
   // Estimate 5 + 3 = 8, so 15 bytes rounded up to 16: the version dataset and nine zeros.
   EXPECT_EQ( Encoded( Make( { { "City", "   " } } ) ), Concat( { VersionDataset, Zeros( 9 ) } ) );
   // Only 0x20 is a blank: a tab stays in the data.
   EXPECT_EQ( Encoded( Make( { { "City", "\tX " } } ) ),
              Concat( { VersionDataset, Dataset( 2, 90, "\tX" ), Zeros( 2 ) } ) );
}

TEST( IPTCPhotoInfoEncode, SizeIsRoundedUpToAMultipleOfFourWithZeros )
{
   for ( size_t length = 1; length <= 8; ++length )
   {
      Bytes block = Encoded( Make( { { "City", std::string( length, 'x' ) } } ) );
      size_t used = 7 + 5 + length;
      ASSERT_EQ( block.size(), ( used + 3 ) / 4 * 4 ) << length;
      EXPECT_EQ( Bytes( block.begin() + used, block.end() ), Zeros( block.size() - used ) ) << length;
   }
}

TEST( IPTCPhotoInfoEncode, DatasetsFollowTheListAndDecodingKeepsTheirOrder )
{
   const NamedValues values = { { "Keywords", "a;b" }, { "City", "Madrid" } };
   Bytes block = Encoded( Make( values ) );
   EXPECT_EQ( block, Concat( { VersionDataset, Dataset( 2, 25, "a" ), Dataset( 2, 25, "b" ),
                               Dataset( 2, 90, "Madrid" ), Zeros( 2 ) } ) );
   EXPECT_EQ( Contents( Decoded( block ) ), values );
}

TEST( IPTCPhotoInfoEncode, LongPiecesUseTheExtendedLengthForm )
{
   // 32767 still fits the two-byte field; from 32768 on its top bit would announce an extended length.
   const std::string fits( 0x7FFF, 'f' ), extended( 40000, 'e' ), huge( 70000, 'h' );
   Bytes block = Encoded( Make( { { "Caption", fits } } ) );
   EXPECT_EQ( Bytes( block.begin() + 7, block.begin() + 12 ), ( Bytes{ 0x1C, 0x02, 0x78, 0x7F, 0xFF } ) );

   block = Encoded( Make( { { "Caption", extended } } ) );
   EXPECT_EQ( Bytes( block.begin() + 7, block.begin() + 16 ),
              ( Bytes{ 0x1C, 0x02, 0x78, 0x80, 0x04, 0x00, 0x00, 0x9C, 0x40 } ) );

   for ( const std::string& value : { fits, extended, huge } )
   {
      const NamedValues values = { { "Caption", value }, { "Keywords", "a;" + value + ";b" } };
      EXPECT_EQ( Contents( Decoded( Encoded( Make( values ) ) ) ), values );
   }
}

TEST( IPTCPhotoInfoEncode, RefusesInformationBeyondTheMaximumBlock )
{
   IPTCPhotoInfo info = Make( { { "Caption", std::string( IPTCPhotoInfo::MaxBlockSize, 'x' ) } } );
   Bytes block = { 1 };
   try
   {
      info.Encode( block );
      FAIL() << "no exception";
   }
   catch ( const IPTCPhotoInfo::Exception& e )
   {
      EXPECT_EQ( e.Message().rfind( "IPTC:\nIPTC information too large", 0 ), 0u ) << e.Message();
   }
   EXPECT_TRUE( block.empty() );
}

// ----------------------------------------------------------------------------------------------------------------

TEST( IPTCPhotoInfoDecode, JoinsRepeatedDatasets )
{
   IPTCPhotoInfo info = Decoded( Concat( { VersionDataset, Dataset( 2, 25, "a" ), Dataset( 2, 90, "X" ),
                                           Dataset( 2, 25, "b" ), Dataset( 2, 90, "Y" ) } ) );
   EXPECT_EQ( Contents( info ), ( NamedValues{ { "Keywords", "a;b" }, { "City", "XY" } } ) );
}

TEST( IPTCPhotoInfoDecode, SkipsStrayBytesUnknownDatasetsAndOtherRecords )
{
   Bytes block = Concat( { { 0x00, 0xFF, 0x1B }, VersionDataset,
                           Dataset( 1, 90, "\x1B%G" ), // envelope character set, not a city
                           Dataset( 2, 200, "zz" ), { 0x33 }, Dataset( 2, 5, "Title" ), Dataset( 3, 25, "k" ),
                           Zeros( 3 ) } );
   EXPECT_EQ( Contents( Decoded( block ) ), ( NamedValues{ { "ObjectName", "Title" } } ) );
}

TEST( IPTCPhotoInfoDecode, ReadsExtendedLengthsOfOneToFourBytes )
{
   Bytes block = Concat( { VersionDataset, { 0x1C, 0x02, 0x78, 0x80, 0x01, 0x03 }, Text( "abc" ),
                           { 0x1C, 0x02, 0x05, 0x80, 0x04, 0x00, 0x00, 0x00, 0x02 }, Text( "T1" ) } );
   EXPECT_EQ( Contents( Decoded( block ) ), ( NamedValues{ { "Caption", "abc" }, { "ObjectName", "T1" } } ) );
}

TEST( IPTCPhotoInfoDecode, EmptyBlockClears )
{
   IPTCPhotoInfo info = Make( Sample );
   info.Decode( nullptr, 0 );
   EXPECT_TRUE( info.IsEmpty() );
}

TEST( IPTCPhotoInfoDecode, RoundTripsEveryDataset )
{
   NamedValues values;
   for ( const auto& d : IPTCPhotoInfo::Descriptions() )
      values.emplace_back( d.name, d.repeatable ? d.name + ";second;third" : "value of " + d.name );
   IPTCPhotoInfo info = Make( values );
   IPTCPhotoInfo back = Decoded( Encoded( info ) );
   EXPECT_EQ( Contents( back ), values );
   EXPECT_EQ( Encoded( back ), Encoded( info ) );
}

TEST( IPTCPhotoInfoDecode, RoundTripDropsBlanksAndEmptyElements )
{
   IPTCPhotoInfo info = Make( { { "Keywords", " M31 ; galaxy;;  " }, { "City", "  Madrid " } } );
   EXPECT_EQ( Contents( Decoded( Encoded( info ) ) ),
              ( NamedValues{ { "Keywords", "M31;galaxy" }, { "City", "Madrid" } } ) );
}

TEST( IPTCPhotoInfoDecode, DecodedInformationEncodesToABlockThatDecodesToItAgain )
{
   // Data that Encode would not write as they stand: blanks around elements, empty datasets, several elements in
   // one repeatable dataset, a dataset met twice. Decoded, the values are what Encode writes, so the next block
   // lists the same datasets in the same order with no more padding than it needs, and never changes again.
   struct Case
   {
      const char* what;
      Bytes block;
      NamedValues decoded;
   };
   const std::vector<Case> cases = {
      { "blanks and empty elements",
        Concat( { VersionDataset, Dataset( 2, 25, " a " ), Dataset( 2, 25, "" ), Dataset( 2, 90, "  Madrid" ),
                  Dataset( 2, 25, "b ; ;c" ) } ),
        { { "Keywords", "a;b;c" }, { "City", "Madrid" } } },
      { "empty and blank items",
        Concat( { VersionDataset, Dataset( 2, 5, "" ), Dataset( 2, 120, "   " ), Dataset( 2, 20, ";" ),
                  Dataset( 2, 90, "X" ) } ),
        { { "City", "X" } } },
      { "a dataset met twice", Concat( { VersionDataset, Dataset( 2, 90, "X " ), Dataset( 2, 5, "T" ), Dataset( 2, 90, " Y" ) } ),
        { { "City", "X  Y" }, { "ObjectName", "T" } } },
      { "nothing left", Concat( { VersionDataset, Dataset( 2, 25, " " ), Zeros( 3 ) } ), {} },
   };
   for ( const Case& c : cases )
   {
      IPTCPhotoInfo once = Decoded( c.block );
      EXPECT_EQ( Contents( once ), c.decoded ) << c.what;
      const Bytes first = Encoded( once );
      int64_t used = 0;
      for ( const IPTCPhotoInfo::Item& item : once.Items() )
         used += item.EncodedSize();
      EXPECT_EQ( first.size(), used == 0 ? 0u : size_t( 7 + used + 3 ) / 4 * 4 ) << c.what;
      IPTCPhotoInfo twice = Decoded( first );
      EXPECT_EQ( Contents( twice ), c.decoded ) << c.what;
      EXPECT_EQ( Encoded( twice ), first ) << c.what;
   }
}

TEST( IPTCPhotoInfoDecode, MalformedBlocksThrowAndKeepTheItems )
{
   struct Case
   {
      const char* what;
      Bytes block;
   };
   const std::vector<Case> cases = {
      { "marker at the end", Concat( { VersionDataset, { 0x1C } } ) },
      { "header cut in the length", Concat( { VersionDataset, { 0x1C, 0x02, 0x19, 0x00 } } ) },
      { "data past the end", Concat( { VersionDataset, { 0x1C, 0x02, 0x19, 0x00, 0x05 }, Text( "ab" ) } ) },
      { "data one byte short", Concat( { { 0x1C, 0x02, 0x5A, 0x00, 0x03 }, Text( "ab" ) } ) },
      { "unknown dataset past the end", { 0x1C, 0x02, 0xC8, 0xFF, 0xFF, 0x00 } },
      { "good dataset then a cut one", Concat( { Dataset( 2, 25, "k" ), { 0x1C, 0x02, 0x19 } } ) },
      { "extended length of zero bytes", Concat( { { 0x1C, 0x02, 0x78, 0x80, 0x00 }, Text( "abc" ) } ) },
      { "extended length of five bytes", Concat( { { 0x1C, 0x02, 0x78, 0x80, 0x05, 0, 0, 0, 0, 1 }, Text( "a" ) } ) },
      { "extended length cut", { 0x1C, 0x02, 0x78, 0x80, 0x04, 0x00, 0x00 } },
      { "extended length past the end", Concat( { { 0x1C, 0x02, 0x78, 0x80, 0x04, 0, 0, 1, 0 }, Text( "x" ) } ) },
      { "extended length of 4 GiB", { 0x1C, 0x02, 0x78, 0x80, 0x04, 0xFF, 0xFF, 0xFF, 0xFF } },
   };
   for ( const Case& c : cases )
   {
      IPTCPhotoInfo info = Make( Sample );
      try
      {
         info.Decode( c.block.data(), int64_t( c.block.size() ) );
         ADD_FAILURE() << c.what << ": no exception";
      }
      catch ( const IPTCPhotoInfo::Exception& e )
      {
         EXPECT_EQ( e.Message().rfind( "IPTC:\nInvalid IIM block: ", 0 ), 0u ) << c.what << ": " << e.Message();
      }
      EXPECT_EQ( Contents( info ), Sample ) << c.what;
   }

   IPTCPhotoInfo info = Make( Sample );
   EXPECT_THROW( info.Decode( VersionDataset.data(), -1 ), IPTCPhotoInfo::Exception );
   EXPECT_THROW( info.Decode( nullptr, 4 ), IPTCPhotoInfo::Exception );
   EXPECT_EQ( Contents( info ), Sample );
}

TEST( IPTCPhotoInfoDecode, EveryTruncationOfABlockDecodesWholeDatasetsOrThrows )
{
   const Bytes block = Encoded( Make( { { "City", "Madrid" } } ) ); // 7 + 11 + 2 zeros
   for ( size_t n = 0; n <= block.size(); ++n )
   {
      IPTCPhotoInfo info = Make( { { "Caption", "before" } } );
      const bool complete = n == 0 || n == 7 || n >= 18;
      if ( complete )
      {
         info.Decode( block.data(), int64_t( n ) );
         EXPECT_EQ( Contents( info ), ( n < 18 ? NamedValues() : NamedValues{ { "City", "Madrid" } } ) ) << n;
      }
      else
      {
         EXPECT_THROW( info.Decode( block.data(), int64_t( n ) ), IPTCPhotoInfo::Exception ) << n;
         EXPECT_EQ( Contents( info ), ( NamedValues{ { "Caption", "before" } } ) ) << n;
      }
   }
}

TEST( IPTCPhotoInfoDecode, GarbageNeverReadsPastTheEndOrHalfDecodes )
{
   // Blocks rich in 0x1C, 0x02, 0x80 and real dataset numbers, so that most of them reach the length checks.
   std::mt19937 random( 1234 );
   const uint8_t alphabet[] = { 0x1C, 0x1C, 0x02, 0x02, 0x00, 0x80, 0x04, 0x19, 0x5A, 0x78, 0x01, 0xFF };
   int threw = 0, decoded = 0;
   for ( int round = 0; round < 20000; ++round )
   {
      // Heap copies of exactly the block's size, so that a sanitizer build sees any read past its end.
      const size_t size = random() % 40;
      std::unique_ptr<uint8_t[]> block( new uint8_t[size] );
      for ( size_t i = 0; i < size; ++i )
         block[i] = random() % 4 == 0 ? uint8_t( random() ) : alphabet[random() % std::size( alphabet )];

      IPTCPhotoInfo info = Make( Sample );
      try
      {
         info.Decode( block.get(), int64_t( size ) );
         ++decoded;
      }
      catch ( const IPTCPhotoInfo::Exception& )
      {
         ++threw;
         ASSERT_EQ( Contents( info ), Sample ) << "round " << round;
      }
   }
   EXPECT_GT( threw, 1000 );
   EXPECT_GT( decoded, 1000 );
}

// ----------------------------------------------------------------------------------------------------------------

class IPTCPhotoInfoStream : public ::testing::Test
{
protected:
   test::TempDir dir;
   std::string path = dir.File( "iptc.bin" );

   Bytes FileBytes() const
   {
      std::ifstream in( path, std::ios::binary );
      return Bytes( std::istreambuf_iterator<char>( in ), std::istreambuf_iterator<char>() );
   }

   void WriteBytes( const Bytes& bytes ) const
   {
      std::ofstream out( path, std::ios::binary | std::ios::trunc );
      out.write( reinterpret_cast<const char*>( bytes.data() ), std::streamsize( bytes.size() ) );
   }

   static Bytes Int32( int32_t v )
   {
      return { uint8_t( v ), uint8_t( v >> 8 ), uint8_t( v >> 16 ), uint8_t( uint32_t( v ) >> 24 ) };
   }
};

TEST_F( IPTCPhotoInfoStream, WritesTheSizeThenTheBlockAndReadsThemBack )
{
   IPTCPhotoInfo first = Make( Sample );
   IPTCPhotoInfo second = Make( { { "Caption", "M31" } } );
   {
      File f;
      f.CreateForWriting( path );
      first.Write( f );
      IPTCPhotoInfo().Write( f );
      second.Write( f );
   }
   const Bytes block = Encoded( first );
   const Bytes secondBlock = Encoded( second );
   EXPECT_EQ( FileBytes(), Concat( { Int32( int32_t( block.size() ) ), block, Int32( 0 ),
                                     Int32( int32_t( secondBlock.size() ) ), secondBlock } ) );

   File f;
   f.OpenForReading( path );
   IPTCPhotoInfo a, b = Make( Sample ), c;
   a.Read( f );
   b.Read( f );
   c.Read( f );
   EXPECT_EQ( f.BytesLeft(), 0 );
   EXPECT_EQ( Contents( a ), Sample );
   EXPECT_TRUE( b.IsEmpty() );
   EXPECT_EQ( Contents( c ), ( NamedValues{ { "Caption", "M31" } } ) );
}

TEST_F( IPTCPhotoInfoStream, WriteOfTooMuchInformationWritesNothing )
{
   File f;
   f.CreateForWriting( path );
   IPTCPhotoInfo info = Make( { { "Caption", std::string( IPTCPhotoInfo::MaxBlockSize, 'x' ) } } );
   EXPECT_THROW( info.Write( f ), IPTCPhotoInfo::Exception );
   f.Close();
   EXPECT_EQ( std::filesystem::file_size( path ), 0u );
}

TEST_F( IPTCPhotoInfoStream, HostileSizesThrowBeforeAllocatingAndKeepTheItems )
{
   const Bytes block = Encoded( Make( { { "City", "Madrid" } } ) );
   enum class Fails
   {
      Data,
      File
   };
   struct Case
   {
      const char* what;
      Bytes bytes;
      Fails fails;
   };
   const std::vector<Case> cases = {
      { "size cut", { 0x14, 0x00 }, Fails::File },
      { "negative size", Concat( { Int32( -1 ), block } ), Fails::Data },
      { "most negative size", Concat( { Int32( INT_MIN ), block } ), Fails::Data },
      { "size above the maximum", Concat( { Int32( IPTCPhotoInfo::MaxBlockSize + 1 ), block } ), Fails::Data },
      { "size of 2 GiB", Concat( { Int32( INT_MAX ), block } ), Fails::Data },
      { "size past the end of the file", Concat( { Int32( int32_t( block.size() ) + 1 ), block } ), Fails::File },
      { "malformed block", Concat( { Int32( 8 ), { 0, 0, 0, 0x1C, 0x02, 0x5A, 0x00, 0x09 } } ), Fails::Data },
   };
   for ( const Case& c : cases )
   {
      WriteBytes( c.bytes );
      File f;
      f.OpenForReading( path );
      IPTCPhotoInfo info = Make( Sample );
      if ( c.fails == Fails::Data )
         EXPECT_THROW( info.Read( f ), IPTCPhotoInfo::Exception ) << c.what;
      else
         EXPECT_THROW( info.Read( f ), File::UnexpectedEndOfFile ) << c.what;
      EXPECT_EQ( Contents( info ), Sample ) << c.what;
   }
}
