// The ImageIdentifier process: its stream and text, the identifier a run gives an image (macros, uniqueness, the
// image's own identifier, refused identifiers), and a rename run through the framework, undone and redone.

#include <gtest/gtest.h>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "classlib/ImageTestSupport.h"
#include "process/ImageIdentifier.h"
#include "process/ProcessContainer.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/NotificationRecorder.h"

namespace
{

class ImageIdentifierTest : public test::ImageWindowProcessTest
{
};

TEST_F( ImageIdentifierTest, TheIdentifierStreamsAsLengthAndCharacters )
{
   test::TempDir dir;
   auto stream = [&]( const std::string& id )
   { return kit::ParameterBytes( *ImageIdentifier( id ).parameters, dir.File( "p" ) ); };
   EXPECT_EQ( stream( "M42" ), kit::Bytes().Value( int32_t( 3 ) ).Text( "M42" ).data );
   EXPECT_EQ( stream( "" ), kit::Bytes().Value( int32_t( 0 ) ).data );
   EXPECT_EQ( ImageIdentifier( "M42" ).ToText(), "ImageIdentifier id=\"M42\"" );

   // A length beyond the stream is refused before anything is allocated, and the identifier stays.
   const std::string path = dir.File( "r" );
   kit::WriteBytes( path, kit::Bytes().Value( int32_t( 1 << 30 ) ).Text( "M" ).data );
   ImageIdentifier read( "Keep" );
   qor::File file;
   file.OpenForReading( path );
   EXPECT_ANY_THROW( read.parameters->Read( file, 1.0f ) );
   EXPECT_EQ( read.WantedId(), "Keep" );
}

TEST_F( ImageIdentifierTest, ARunGivesTheExpandedIdentifierMadeUniqueAmongTheOpenImages )
{
   Make( new qor::Image( 8, 8 ), "M31" );
   Make( new qor::Image( 8, 8 ), "M42" );
   Make( new qor::Image( 8, 8 ), "M421" );
   struct Case
   {
      const char* wanted;
      const char* result;
   };
   for ( const Case& c : { Case{ "M31", "M31" },          // its own: nothing to do
                           Case{ "M42", "M422" },         // taken, and so is M421
                           Case{ "&imageId;_b", "M31_b" }, // the current identifier
                           Case{ "Neb&uniqueId;", "Neb" },
                           Case{ " Horse ", "Horse" } } )
      EXPECT_EQ( ImageIdentifier::NewIdentifier( c.wanted, "M31" ), c.result ) << c.wanted;
   // An empty identifier gives a default one.
   EXPECT_EQ( ImageIdentifier::NewIdentifier( "", "M31" ), "Image04" );

   for ( const char* refused : { "4M31", "M 31", "&imageId", "&uniqueId;" } )
      EXPECT_ANY_THROW( ImageIdentifier::NewIdentifier( refused, "M31" ) ) << refused;
}

TEST_F( ImageIdentifierTest, ARenameRunIsRecordedAndUndoneThroughTheSwapFile )
{
   TImageWindow* w = Make( RandomImage( 16, 12, 1, qor::ColorSpace::Gray ), "M31" );
   Make( new qor::Image( 8, 8 ), "Horsehead" );
   const qor::Image original( *w->image );
   test::NotificationRecorder recorder( { "renamed" } );

   // The image's own identifier changes nothing and tells nobody, though the run is recorded.
   ImageIdentifier same( "M31" );
   EXPECT_TRUE( same.LaunchOn( *w->mainView ) );
   EXPECT_TRUE( recorder.events.empty() );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );

   ImageIdentifier rename( "Horsehead" );
   EXPECT_TRUE( rename.LaunchOn( *w->mainView ) );
   EXPECT_EQ( w->mainView->Identifier(), "Horsehead1" );
   EXPECT_EQ( recorder.events, std::vector<std::string>{ "renamed:Horsehead1" } );
   EXPECT_EQ( w->mainView->History().instances.Length(), 2u );
   EXPECT_EQ( w->modificationCount, 0 ) << "a new name is no change of the image's data";

   w->UndoRedo();
   EXPECT_EQ( w->mainView->Identifier(), "M31" );
   EXPECT_TRUE( w->redoAvailable );
   w->UndoRedo();
   EXPECT_EQ( w->mainView->Identifier(), "Horsehead1" );
   EXPECT_TRUE( test::SamePixels( *w->image, original ) );

   // A refused identifier is reported and leaves the image as it was.
   prompter.Expect( "Identifiers must begin with an alphabetic or underscore character." );
   EXPECT_FALSE( ImageIdentifier( "9lives" ).LaunchOn( *w->mainView ) );
   EXPECT_EQ( w->mainView->Identifier(), "Horsehead1" );
}

TEST_F( ImageIdentifierTest, NeverRunsOnAPreviewNorThroughAMask )
{
   TImageWindow* w = Make( new qor::Image( 32, 32 ), "M31" );
   TImageWindow::Preview* p = w->CreatePreview( "", 0, 0, 16, 16 );
   ImageIdentifier rename( "X" );
   EXPECT_FALSE( rename.CanExecuteOn( *p ) );
   EXPECT_TRUE( rename.CanExecuteOn( *w->mainView ) );
   EXPECT_FALSE( rename.IsMaskable( *w->mainView, nullptr ) );
   EXPECT_EQ( rename.UndoFlags( *w->mainView ), uint32_t( Process::UndoMainViewId ) );
   EXPECT_EQ( rename.Category(), "Image" );
}

} // namespace
