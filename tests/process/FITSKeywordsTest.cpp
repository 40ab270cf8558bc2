// The user keyword sets: their stream (reserved names dropped, texts trimmed, every count and length checked against
// the file), their module files, the text form and the text listing, and the run that gives an image the set.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "formats/FITSOptions.h"
#include "process/FITSKeywords.h"
#include "support/ToolkitError.h"
#include "support/Utils.h"

namespace
{

class KeywordView : public kit::FakeView
{
public:
   KeywordView() : kit::FakeView( "Image01" ) {}
   FITSOptions* FITSOptionsRecord() const override { return options; }
   void Modified( bool ) override { ++modifications; }
   FITSOptions* options = nullptr;
   int modifications = 0;
};

FITSKeywordList ReadStream( const std::string& path )
{
   FITSKeywordList keywords;
   qor::File file;
   file.OpenForReading( path );
   ReadFITSKeywords( file, keywords );
   return keywords;
}

// A line of the text listing read back: the name, " = " and the value (a quoted FITS string ends at its closing
// quote: a doubled quote is part of it), then " //" and the comment.
FITSHeaderKeyword ParseListingLine( const std::string& line )
{
   FITSHeaderKeyword k;
   size_t i = line.find( " = " );
   if ( line.rfind( " //", 0 ) == 0 || i == std::string::npos )
   {
      k.comment = line.substr( 3 );
      return k;
   }
   k.name = line.substr( 0, i );
   i += 3;
   size_t end = i;
   if ( end < line.size() && line[end] == '\'' )
   {
      for ( ++end; end < line.size(); ++end )
         if ( line[end] == '\'' )
         {
            if ( end + 1 < line.size() && line[end + 1] == '\'' )
               ++end;
            else
               break;
         }
      ++end;
   }
   else
      end = std::min( line.find( " //", i ), line.size() );
   k.value = line.substr( i, end - i );
   if ( line.compare( end, 3, " //" ) == 0 )
      k.comment = line.substr( end + 3 );
   return k;
}

} // namespace

TEST( FITSKeywordsTest, StreamDropsReservedNamesAfterTrimmingAndTrimsTheRest )
{
   test::TempDir dir;
   const std::string path = dir.File( "set" );
   // As another program might have written it: a reserved name with a trailing blank is still the reserved name
   // once trimmed, and would sit beside the file's own structural keyword; "naxis" is reserved whatever its case.
   kit::WriteBytes( path, kit::Bytes()
                              .Value<int32_t>( 4 )
                              .String( " FILTER " ).String( " 'Red' " ).String( "" )
                              .String( "naxis" ).String( "2" ).String( "" )
                              .String( "SIMPLE " ).String( "T" ).String( "" )
                              .String( "OBJECT" ).String( "'M 42'" ).String( " nebula " )
                              .data );
   const FITSKeywordList read = ReadStream( path );
   ASSERT_EQ( read.size(), 2u );
   EXPECT_EQ( read[0], FITSHeaderKeyword( "FILTER", "'Red'", "" ) );
   EXPECT_EQ( read[1], FITSHeaderKeyword( "OBJECT", "'M 42'", "nebula" ) );

   // Writing counts and writes only the non-reserved keywords, strings as they are.
   FITSKeywordList list = { { "SIMPLE", "T", "" }, { "EXPTIME", "30", "s" }, { "bitpix", "16", "" } };
   {
      qor::File file;
      file.CreateForWriting( path );
      WriteFITSKeywords( file, list );
   }
   EXPECT_EQ( kit::FileBytes( path ),
              kit::Bytes().Value<int32_t>( 1 ).String( "EXPTIME" ).String( "30" ).String( "s" ).data );
}

TEST( FITSKeywordsTest, DamagedStreamsFailWithTheFilesErrorKeepingWhatWasRead )
{
   struct Case
   {
      const char* what;
      std::vector<uint8_t> bytes;
      size_t keptKeywords;
   };
   const Case cases[] = {
      { "a negative count", kit::Bytes().Value<int32_t>( -1 ).data, 0 },
      { "a count beyond the file", kit::Bytes().Value<int32_t>( 0x7FFFFFFF ).String( "A" ).data, 0 },
      { "a length beyond the file", kit::Bytes().Value<int32_t>( 1 ).Value<int32_t>( 1 << 30 ).Text( "xxxxxxxx" ).data,
        0 },
      { "a negative length", kit::Bytes().Value<int32_t>( 1 ).Value<int32_t>( -5 ).Text( "xxxxxxxx" ).data, 0 },
   };
   test::TempDir dir;
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      const std::string path = dir.File( "damaged" );
      kit::WriteBytes( path, c.bytes );
      FITSKeywordList keywords;
      qor::File file;
      file.OpenForReading( path );
      EXPECT_THROW( ReadFITSKeywords( file, keywords ), qor::File::Exception );
      EXPECT_EQ( keywords.size(), c.keptKeywords );
   }

   // Two keywords announced, one there: the one read stays.
   const std::string path = dir.File( "short" );
   kit::WriteBytes( path, kit::Bytes().Value<int32_t>( 2 ).String( "A" ).String( "1" ).String( "" ).Value<int32_t>( 1 )
                              .Text( "B" ).Value<int32_t>( 1 ).Text( "2" ).data );
   FITSKeywordList keywords;
   qor::File file;
   file.OpenForReading( path );
   EXPECT_THROW( ReadFITSKeywords( file, keywords ), qor::File::Exception );
   ASSERT_EQ( keywords.size(), 1u );
   EXPECT_EQ( keywords[0].name, "A" );
}

TEST( FITSKeywordsTest, ModuleFilesHoldTheHeaderAndTheStreamAndRefuseOtherKinds )
{
   test::TempDir dir;
   const std::string path = dir.File( "set.lf-hkm" );
   FITSKeywordList written = { { "NAXIS", "2", "" }, { "OBSERVER", "'E. Hubble'", "who" } };
   {
      FITSKeywordsModule module( written );
      module.Write( path );
   }
   const std::vector<uint8_t> bytes = kit::FileBytes( path );
   ASSERT_EQ( bytes.size(), 40u + 4 + 4 + 8 + 4 + 11 + 4 + 3 );
   EXPECT_EQ( std::vector<uint8_t>( bytes.begin() + 8, bytes.begin() + 12 ),
              ( std::vector<uint8_t>{ 0x9C, 0x73, 0x5A, 0x5A } ) );
   EXPECT_EQ( std::vector<uint8_t>( bytes.begin() + 40, bytes.end() ),
              kit::Bytes().Value<int32_t>( 1 ).String( "OBSERVER" ).String( "'E. Hubble'" ).String( "who" ).data );

   FITSKeywordList read = { { "KEPT", "1", "" } };
   FITSKeywordsModule module( read );
   module.Read( path );
   ASSERT_EQ( read.size(), 2u ) << "reading appends";
   EXPECT_EQ( read[1], written[1] );

   class OtherModule : public Module
   {
   public:
      uint32_t ModuleType() const override { return 0x5A5A089E; }
   } other;
   other.Write( dir.File( "other" ) );
   EXPECT_THROW( module.Read( dir.File( "other" ) ), Module::ModuleAuthenticationFailed );
}

TEST( FITSKeywordsTest, ARunReplacesTheUserKeywordsAndKeepsTheStructuralOnes )
{
   FITSOptions options;
   for ( const FITSHeaderKeyword& k : FITSKeywordList{
            { "SIMPLE", "T", "" }, { "OBJECT", "'M 31'", "" }, { "BITPIX", "16", "" }, { "FILTER", "'R'", "" } } )
      options.keywords.Add( new FITSHeaderKeyword( k ) );
   KeywordView view;
   view.options = &options;

   FITSKeywords process;
   EXPECT_FALSE( process.CanExecuteOn( kit::FakeView( "Image01->Preview01", true ) ) );
   EXPECT_EQ( process.UndoFlags( view ), Process::UndoFITSKeywords );
   EXPECT_FALSE( process.IsMaskable( view, nullptr ) );
   process.Values().keywords = { { "EXPTIME", "120", "seconds" }, { "", "", "free text" } };
   process.DoExecuteOn( view );
   std::vector<std::string> names;
   for ( const FITSHeaderKeyword* k : options.keywords )
      names.push_back( k->name );
   EXPECT_EQ( names, ( std::vector<std::string>{ "SIMPLE", "BITPIX", "EXPTIME", "" } ) );
   EXPECT_EQ( view.modifications, 1 );

   // An empty set removes every user keyword.
   FITSKeywords().DoExecuteOn( view );
   EXPECT_EQ( options.keywords.Length(), 2u );
}

TEST( FITSKeywordsTest, TextFormListsEveryKeywordOrOnlyTheCount )
{
   FITSKeywords process;
   process.Values().keywords = { { "FILTER", "'Red'", "" }, { "EXPTIME", "30", "s" } };
   EXPECT_EQ( process.Values().ToText( 0 ),
              "keywords = {\n{ \"FILTER\", \"'Red'\", \"\" },\n{ \"EXPTIME\", \"30\", \"s\" }\n}" );
   EXPECT_EQ( process.Values().ToText( -1 ), "keywords = {\ncount=2...\n}" );
   EXPECT_EQ( process.ToText().substr( 0, 13 ), "FITSKeywords " );

   // Clones and assignments never carry reserved names.
   FITSKeywords::Parameters withReserved;
   withReserved.keywords = { { "NAXIS1", "5", "" }, { "FILTER", "'Red'", "" } };
   process.Values().Assign( withReserved );
   ASSERT_EQ( process.Values().keywords.size(), 1u );
   EXPECT_EQ( process.Clone()->ToText(), process.ToText() );
}

TEST( FITSKeywordsTest, TextListingWritesValuesExactlyAndReadsBackTheSameKeywords )
{
   const FITSKeywordList keywords = {
      { "SIMPLE", "T", "" },
      { "FILTER", "'Red'", "" },
      { "OBSERVER", "'O''Brien // at the scope'", "" },
      { "URL", "'http://example.org'", "see //here" },
      { "EXPTIME", "1.5E+01", "s" },
      { "", "", "x" },
   };
   test::TempDir dir;
   const std::string path = dir.File( "list.txt" );
   ExportFITSKeywordsText( path, keywords );
   std::ifstream in( path, std::ios::binary );
   std::stringstream all;
   all << in.rdbuf();
   const std::string text = all.str();
   EXPECT_EQ( text, "// FITS Header Keywords Collection\r\n// Generated by " + ProgramTitle() +
                       "\r\n\r\nFILTER = 'Red'\r\nOBSERVER = 'O''Brien // at the scope'\r\n"
                       "URL = 'http://example.org' //see //here\r\nEXPTIME = 1.5E+01 //s\r\n //x\r\n" );

   std::vector<FITSHeaderKeyword> back;
   std::istringstream lines( text );
   std::string line;
   for ( int i = 0; std::getline( lines, line ); ++i )
      if ( i >= 3 )
         back.push_back( ParseListingLine( line.substr( 0, line.size() - 1 ) ) );
   EXPECT_EQ( back, FITSKeywordList( keywords.begin() + 1, keywords.end() ) );

   // A line break would split an entry: refused, and the file there stays as it was.
   EXPECT_THROW( ExportFITSKeywordsText( path, { { "NOTE", "'a'", "two\nlines" } } ), ToolkitError );
   std::ifstream again( path, std::ios::binary );
   std::stringstream kept;
   kept << again.rdbuf();
   EXPECT_EQ( kept.str(), text );
}
