// The FITS option record and its header keywords.

#include <gtest/gtest.h>

#include "formats/FITSOptions.h"

TEST( FITSHeaderKeywordTest, TextsLoseLeadingAndTrailingBlanksAndControlCharacters )
{
   FITSHeaderKeyword k( "  OBJECT\t", "\x01 'M31 '  \r\n", " name of the object \x7F" );
   EXPECT_EQ( k.name, "OBJECT" );
   EXPECT_EQ( k.value, "'M31 '" ); // blanks inside a string value stay
   EXPECT_EQ( k.comment, "name of the object" );
   EXPECT_EQ( FITSHeaderKeyword( " \t ", "", "\n" ), FITSHeaderKeyword() );
}

TEST( FITSOptionsTest, CopiesOwnTheirOwnKeywords )
{
   FITSOptions a;
   EXPECT_EQ( a.bitsPerSample, 16 );
   EXPECT_TRUE( a.unsignedSamples );
   EXPECT_FALSE( a.floatingPoint );
   EXPECT_EQ( a.resolution, 72 );
   EXPECT_TRUE( a.embedICCProfile );
   a.keywords.Add( new FITSHeaderKeyword( "TELESCOP", "'T1'", "" ) );

   FITSOptions b( a );
   ASSERT_EQ( b.keywords.Length(), 1u );
   EXPECT_NE( *b.keywords.Begin(), *a.keywords.Begin() );
   EXPECT_EQ( **b.keywords.Begin(), **a.keywords.Begin() );

   a.ClearKeywords();
   EXPECT_EQ( ( *b.keywords.Begin() )->name, "TELESCOP" );
   a = b;
   a = a; // self-assignment keeps the keywords
   ASSERT_EQ( a.keywords.Length(), 1u );
   EXPECT_EQ( ( *a.keywords.Begin() )->value, "'T1'" );
}
