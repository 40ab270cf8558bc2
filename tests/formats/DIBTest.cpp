// The device-independent bitmap reader: known bitmaps built byte by byte, and malformed ones that must be refused
// without reading past the block.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "classlib/ColorSpace.h"
#include "classlib/Exception.h"
#include "classlib/Image.h"
#include "formats/DIB.h"

namespace
{

using Bytes = std::vector<uint8_t>;
using Entry = std::array<uint8_t, 4>; // blue, green, red, reserved

void Put16( Bytes& b, size_t at, uint16_t v )
{
   b[at] = uint8_t( v );
   b[at + 1] = uint8_t( v >> 8 );
}

void Put32( Bytes& b, size_t at, uint32_t v )
{
   for ( int i = 0; i < 4; ++i )
      b[at + size_t( i )] = uint8_t( v >> ( 8 * i ) );
}

// A packed DIB. `rows` are the pixel bytes of each row in storage order, without padding (added here).
struct DIB
{
   int32_t width = 1;
   int32_t height = 1;
   uint16_t bitCount = 24;
   uint32_t compression = 0;
   std::vector<Entry> palette;
   int64_t colorsUsed = -1; // -1: the palette's size
   std::vector<uint32_t> masks; // after a 40-byte header, or inside a longer one
   uint32_t headerSize = 40;
   uint16_t planes = 1;
   std::vector<Bytes> rows;

   Bytes Build() const
   {
      Bytes b( headerSize, 0 );
      Put32( b, 0, headerSize );
      Put32( b, 4, uint32_t( width ) );
      Put32( b, 8, uint32_t( height ) );
      Put16( b, 12, planes );
      Put16( b, 14, bitCount );
      Put32( b, 16, compression );
      Put32( b, 32, uint32_t( colorsUsed >= 0 ? colorsUsed : int64_t( palette.size() ) ) );
      for ( size_t i = 0; i < masks.size(); ++i )
         if ( headerSize > 40 )
            Put32( b, 40 + 4 * i, masks[i] );
         else
         {
            b.resize( b.size() + 4 );
            Put32( b, b.size() - 4, masks[i] );
         }
      for ( const Entry& e : palette )
         b.insert( b.end(), e.begin(), e.end() );
      for ( const Bytes& r : rows )
      {
         b.insert( b.end(), r.begin(), r.end() );
         b.resize( b.size() + ( 4 - r.size() % 4 ) % 4, 0 );
      }
      return b;
   }
};

qor::Image Load( const Bytes& b )
{
   qor::Image image;
   LoadImageFromDIB( image, b.data(), b.size() );
   return image;
}

float Level( int v )
{
   return float( v / 255.0 );
}

std::vector<Entry> GreyRamp()
{
   std::vector<Entry> p;
   for ( int i = 0; i < 256; ++i )
      p.push_back( { uint8_t( i ), uint8_t( i ), uint8_t( i ), 0 } );
   return p;
}

// A valid 24-bit DIB 3 pixels wide (rows of 9 bytes padded to 12), 2 rows, bottom-up.
DIB Colour3x2()
{
   DIB d;
   d.width = 3;
   d.height = 2;
   d.rows = { { 1, 2, 3, 4, 5, 6, 7, 8, 9 },            // bottom row
              { 10, 20, 30, 40, 50, 60, 70, 80, 90 } }; // top row
   return d;
}

} // namespace

TEST( DIBTest, AGreyRampPaletteGivesOneGreyChannelAndBottomUpRowsComeOutUpright )
{
   DIB d;
   d.width = 2;
   d.height = 2;
   d.bitCount = 8;
   d.palette = GreyRamp();
   d.colorsUsed = 0; // 0 means all 256
   d.rows = { { 0, 255 }, { 17, 128 } };
   qor::Image image = Load( d.Build() );
   ASSERT_EQ( image.NumberOfChannels(), 1 );
   EXPECT_EQ( image.GetColorSpace(), qor::ColorSpace::Gray );
   EXPECT_EQ( image.Pixel( 0, 0 ), Level( 17 ) );
   EXPECT_EQ( image.Pixel( 1, 0 ), Level( 128 ) );
   EXPECT_EQ( image.Pixel( 0, 1 ), 0.0f );
   EXPECT_EQ( image.Pixel( 1, 1 ), 1.0f );
}

TEST( DIBTest, AGreyPaletteThatIsNotARampGivesThePalettesLevels )
{
   DIB d;
   d.width = 3;
   d.height = -1; // top-down
   d.bitCount = 8;
   d.palette = { { 0x80, 0x80, 0x80, 0 }, { 0xFF, 0xFF, 0xFF, 0 } };
   d.rows = { { 1, 0, 1 } };
   qor::Image image = Load( d.Build() );
   ASSERT_EQ( image.NumberOfChannels(), 1 );
   EXPECT_EQ( image.Pixel( 0, 0 ), 1.0f );
   EXPECT_EQ( image.Pixel( 1, 0 ), Level( 0x80 ) );
}

TEST( DIBTest, AColourPaletteGivesThreeChannels )
{
   DIB d;
   d.width = 2;
   d.height = 1;
   d.bitCount = 8;
   d.palette = { { 10, 20, 30, 0 }, { 0, 0, 255, 0 } };
   d.rows = { { 0, 1 } };
   qor::Image image = Load( d.Build() );
   ASSERT_EQ( image.NumberOfChannels(), 3 );
   EXPECT_EQ( image.GetColorSpace(), qor::ColorSpace::RGB );
   EXPECT_EQ( image.Pixel( 0, 0, 0 ), Level( 30 ) );
   EXPECT_EQ( image.Pixel( 0, 0, 1 ), Level( 20 ) );
   EXPECT_EQ( image.Pixel( 0, 0, 2 ), Level( 10 ) );
   EXPECT_EQ( image.Pixel( 1, 0, 0 ), 1.0f );
   EXPECT_EQ( image.Pixel( 1, 0, 2 ), 0.0f );
}

TEST( DIBTest, TwentyFourBitRowsAreReadWithTheirPaddingInBothOrientations )
{
   DIB d = Colour3x2();
   qor::Image bottomUp = Load( d.Build() );
   ASSERT_EQ( bottomUp.Width(), 3 );
   ASSERT_EQ( bottomUp.Height(), 2 );
   // Top row (stored second): pixels (10,20,30), (40,50,60), (70,80,90) as blue, green, red.
   EXPECT_EQ( bottomUp.Pixel( 0, 0, 0 ), Level( 30 ) );
   EXPECT_EQ( bottomUp.Pixel( 0, 0, 2 ), Level( 10 ) );
   EXPECT_EQ( bottomUp.Pixel( 2, 0, 1 ), Level( 80 ) );
   EXPECT_EQ( bottomUp.Pixel( 2, 1, 0 ), Level( 9 ) );
   EXPECT_EQ( bottomUp.Pixel( 1, 1, 2 ), Level( 4 ) );

   d.height = -2; // the same bytes read top-down
   qor::Image topDown = Load( d.Build() );
   EXPECT_EQ( topDown.Pixel( 2, 0, 0 ), Level( 9 ) );
   EXPECT_EQ( topDown.Pixel( 0, 1, 0 ), Level( 30 ) );
}

TEST( DIBTest, ThirtyTwoBitPixelsFollowTheirChannelMasks )
{
   // BI_RGB: blue, green, red, unused.
   DIB plain;
   plain.width = 1;
   plain.bitCount = 32;
   plain.rows = { { 1, 2, 3, 99 } };
   qor::Image a = Load( plain.Build() );
   EXPECT_EQ( a.Pixel( 0, 0, 0 ), Level( 3 ) );
   EXPECT_EQ( a.Pixel( 0, 0, 2 ), Level( 1 ) );

   // BI_BITFIELDS with red in the lowest byte, after a short header and inside a long one.
   for ( uint32_t headerSize : { 40u, 124u } )
   {
      DIB masked = plain;
      masked.compression = 3;
      masked.headerSize = headerSize;
      masked.masks = { 0x000000FF, 0x0000FF00, 0x00FF0000 };
      qor::Image b = Load( masked.Build() );
      EXPECT_EQ( b.Pixel( 0, 0, 0 ), Level( 1 ) ) << headerSize;
      EXPECT_EQ( b.Pixel( 0, 0, 1 ), Level( 2 ) ) << headerSize;
      EXPECT_EQ( b.Pixel( 0, 0, 2 ), Level( 3 ) ) << headerSize;
   }

   // Ten-bit channels are scaled by their own full scale.
   DIB wide = plain;
   wide.compression = 3;
   wide.masks = { 0x3FF00000, 0x000FFC00, 0x000003FF };
   const uint32_t pixel = ( 1023u << 20 ) | ( 0u << 10 ) | 511u;
   wide.rows = { { uint8_t( pixel ), uint8_t( pixel >> 8 ), uint8_t( pixel >> 16 ), uint8_t( pixel >> 24 ) } };
   qor::Image c = Load( wide.Build() );
   EXPECT_EQ( c.Pixel( 0, 0, 0 ), 1.0f );
   EXPECT_EQ( c.Pixel( 0, 0, 1 ), 0.0f );
   EXPECT_EQ( c.Pixel( 0, 0, 2 ), float( 511.0 / 1023.0 ) );
}

TEST( DIBTest, ABMPFileIsReadFromWhereItsHeaderPutsThePixels )
{
   const Bytes dib = Colour3x2().Build();
   Bytes file( BMPFileHeaderSize, 0 );
   file[0] = 'B';
   file[1] = 'M';
   Put32( file, 2, uint32_t( BMPFileHeaderSize + 8 + dib.size() ) );
   Put32( file, 10, uint32_t( BMPFileHeaderSize + DIBInfoHeaderSize + 8 ) ); // an 8-byte gap before the pixels
   file.insert( file.end(), dib.begin(), dib.begin() + DIBInfoHeaderSize );
   file.insert( file.end(), 8, 0xEE );
   file.insert( file.end(), dib.begin() + DIBInfoHeaderSize, dib.end() );

   qor::Image image;
   LoadImageFromBMPData( image, file.data(), file.size() );
   EXPECT_EQ( image.Pixel( 0, 0, 0 ), Level( 30 ) );
   EXPECT_EQ( image.Pixel( 2, 1, 0 ), Level( 9 ) );

   file[0] = 'X';
   EXPECT_THROW( LoadImageFromBMPData( image, file.data(), file.size() ), qor::GenericException );
}

TEST( DIBTest, MalformedBitmapsAreRefusedAndLeaveTheImageAsItWas )
{
   DIB paletted;
   paletted.width = 2;
   paletted.height = 1;
   paletted.bitCount = 8;
   paletted.palette = { { 0, 0, 0, 0 }, { 9, 9, 9, 0 } };
   paletted.rows = { { 0, 1 } };

   struct Case
   {
      const char* what;
      Bytes bytes;
   };
   std::vector<Case> cases;
   auto add = [&]( const char* what, DIB d ) { cases.push_back( { what, d.Build() } ); };
   auto edit = [&]( const char* what, const DIB& base, auto change )
   {
      DIB d = base;
      change( d );
      add( what, d );
   };
   const DIB colour = Colour3x2();
   edit( "two planes", colour, []( DIB& d ) { d.planes = 2; } );
   edit( "16 bits", colour, []( DIB& d ) { d.bitCount = 16; } );
   edit( "RLE compression", paletted, []( DIB& d ) { d.compression = 1; } );
   edit( "zero width", colour, []( DIB& d ) { d.width = 0; } );
   edit( "negative width", colour, []( DIB& d ) { d.width = -3; } );
   edit( "zero height", colour, []( DIB& d ) { d.height = 0; } );
   edit( "lowest height", colour, []( DIB& d ) { d.height = INT32_MIN; } );
   edit( "rows missing", colour, []( DIB& d ) { d.height = 3; } );
   edit( "huge size", colour, []( DIB& d ) { d.width = 0x40000000; } );
   edit( "index outside the palette", paletted, []( DIB& d ) { d.rows = { { 0, 2 } }; } );
   edit( "palette over 256", paletted, []( DIB& d ) { d.colorsUsed = 300; } );
   edit( "palette longer than the block", paletted, []( DIB& d ) { d.colorsUsed = 200; } );
   edit( "masks on 24 bits", colour, []( DIB& d ) { d.compression = 3; } );
   DIB masked;
   masked.bitCount = 32;
   masked.compression = 3;
   masked.rows = { { 1, 2, 3, 4 } };
   edit( "a zero mask", masked, []( DIB& d ) { d.masks = { 0xFF, 0, 0xFF0000 }; } );
   edit( "a mask with a hole", masked, []( DIB& d ) { d.masks = { 0xF0F, 0xF000, 0xFF0000 }; } );
   edit( "masks missing", masked, []( DIB& ) {} );
   Bytes overlong = colour.Build();
   Put32( overlong, 0, uint32_t( overlong.size() + 1 ) );
   cases.push_back( { "header longer than the block", overlong } );
   Bytes shortHeader = colour.Build();
   Put32( shortHeader, 0, 12 ); // the old core header is not read
   cases.push_back( { "core header", shortHeader } );

   Bytes truncated = colour.Build();
   truncated.resize( truncated.size() - 4 ); // the last row's padding may go, not its pixels
   cases.push_back( { "last row cut", truncated } );
   Bytes headerCut = colour.Build();
   headerCut.resize( 39 );
   cases.push_back( { "header cut", headerCut } );

   for ( const Case& c : cases )
   {
      qor::Image image( 4, 4, 1 );
      image.Fill( 0, 0.25f );
      try
      {
         LoadImageFromDIB( image, c.bytes.data(), c.bytes.size() );
         ADD_FAILURE() << c.what << ": accepted";
      }
      catch ( const qor::GenericException& x )
      {
         EXPECT_EQ( x.Message(), "Invalid or unsupported DIB format" ) << c.what;
      }
      EXPECT_EQ( image.Width(), 4 ) << c.what;
      EXPECT_EQ( image.Pixel( 3, 3 ), 0.25f ) << c.what;
   }

   // Padding of the last row is not required.
   Bytes unpadded = colour.Build();
   unpadded.resize( unpadded.size() - 3 );
   EXPECT_NO_THROW( Load( unpadded ) );
}

// Random damage to valid bitmaps: every block is either read or refused with the reader's error, never read past
// its end (run under the sanitizers to see the latter).
TEST( DIBTest, DamagedBitmapsNeverEscapeTheirBlock )
{
   std::vector<Bytes> seeds;
   seeds.push_back( Colour3x2().Build() );
   DIB ramp;
   ramp.width = 5;
   ramp.height = -3;
   ramp.bitCount = 8;
   ramp.palette = GreyRamp();
   ramp.rows = { { 1, 2, 3, 4, 5 }, { 6, 7, 8, 9, 10 }, { 11, 12, 13, 14, 15 } };
   seeds.push_back( ramp.Build() );
   DIB masked;
   masked.width = 2;
   masked.bitCount = 32;
   masked.compression = 3;
   masked.masks = { 0xFF0000, 0xFF00, 0xFF };
   masked.rows = { { 1, 2, 3, 4, 5, 6, 7, 8 } };
   seeds.push_back( masked.Build() );

   std::mt19937 random( 1234 );
   int32_t read = 0;
   for ( int32_t round = 0; round < 3000; ++round )
   {
      Bytes b = seeds[size_t( round ) % seeds.size()];
      const int32_t edits = 1 + int32_t( random() % 4 );
      for ( int32_t e = 0; e < edits; ++e )
         b[random() % b.size()] = uint8_t( random() );
      if ( random() % 4 == 0 )
         b.resize( random() % b.size() );
      // An exact-size copy, so that a read past the end is a read outside the allocation.
      std::unique_ptr<uint8_t[]> block( new uint8_t[b.size() + 1] );
      std::memcpy( block.get(), b.data(), b.size() );
      qor::Image image;
      try
      {
         LoadImageFromDIB( image, block.get(), b.size() );
         ++read;
         EXPECT_FALSE( image.IsEmpty() );
      }
      catch ( const qor::GenericException& )
      {
      }
      catch ( const std::bad_alloc& )
      {
      }
   }
   EXPECT_GT( read, 0 );
}

TEST( DIBTest, AnAbortLeavesTheImageAsItWas )
{
   qor::Image image( 2, 2, 1 );
   image.Fill( 0, 0.5f );
   image.Status().SetCallback( []( void*, int32_t, qor::StatusCallback& ) -> int32_t { return 1; }, nullptr );
   const Bytes b = Colour3x2().Build();
   EXPECT_THROW( LoadImageFromDIB( image, b.data(), b.size() ), qor::Image::AbortProcessEvent );
   image.Status().SetCallback( nullptr, nullptr );
   EXPECT_EQ( image.Width(), 2 );
   EXPECT_EQ( image.Pixel( 1, 1 ), 0.5f );
}
