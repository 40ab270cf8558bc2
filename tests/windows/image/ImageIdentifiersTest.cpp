// Identifiers of images and previews: defaults, uniqueness, look-ups and the identifier macros.

#include <gtest/gtest.h>

#include "ImageWindowTestSupport.h"
#include "windows/image/ImageIdentifiers.h"

using test::ImageWindowTest;

TEST_F( ImageWindowTest, UniqueImageIdentifiersAppendTheFirstFreeNumber )
{
   EXPECT_EQ( DefaultImageIdentifier(), "Image01" );
   Make( new qor::Image( 2, 2 ) );
   Make( new qor::Image( 2, 2 ) );
   EXPECT_EQ( UniqueImageIdentifier( "Image01" ), "Image011" );
   EXPECT_EQ( UniqueImageIdentifier( "M31" ), "M31" );
   EXPECT_EQ( UniqueImageIdentifier( "" ), "Image03" );

   // The default is made unique too: a window named Image03 pushes the next default on.
   Make( new qor::Image( 2, 2 ), "Image04" );
   EXPECT_EQ( DefaultImageIdentifier(), "Image041" );

   CurrentPreferences.identifiers.imagePrefix = "Frame";
   EXPECT_EQ( DefaultImageIdentifier(), "Frame04" );
}

TEST_F( ImageWindowTest, MainViewsAreFoundByIdentifierAndByFilePath )
{
   TImageWindow* a = Make( new qor::Image( 2, 2 ), "A" );
   auto* b = Track( new TImageWindow( nullptr, false, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "/x/b.fit",
                                      "B", new qor::Image( 2, 2 ) ) );
   EXPECT_EQ( FindMainViewByIdentifier( "A" ), a->mainView );
   EXPECT_EQ( FindMainViewByIdentifier( "a" ), nullptr ); // exact comparison
   EXPECT_EQ( FindMainViewByIdentifier( "" ), nullptr );
   EXPECT_EQ( FindMainViewByFilePath( "/x/b.fit" ), b->mainView );
   EXPECT_EQ( FindMainViewByFilePath( "/x/B.fit" ), nullptr );
}

TEST_F( ImageWindowTest, ImageIdentifierMacrosExpand )
{
   EXPECT_EQ( ExpandIdentifierMacros( "  &imageId;_R ", "M31", false ), "M31_R" );
   EXPECT_EQ( ExpandIdentifierMacros( "result&uniqueId;", "", false ), "result" );
   EXPECT_EQ( ExpandIdentifierMacros( "a&other;b", "", false ), "ab" ); // unknown macros are dropped
   Make( new qor::Image( 2, 2 ), "result" );
   EXPECT_EQ( ExpandIdentifierMacros( "result&uniqueId;", "", false ), "result1" );
   Make( new qor::Image( 2, 2 ), "result1" );
   EXPECT_EQ( ExpandIdentifierMacros( "result&uniqueId;", "", false ), "result2" );
   EXPECT_EQ( ExpandIdentifierMacros( "&uniqueId;_x", "", false ), "_x" );

   // An existing image: the first one when nothing else is said.
   EXPECT_EQ( ExpandIdentifierMacros( "&uniqueId;", "", true ), "result" );
   // With text, the first image whose identifier begins with it: that identifier is the result, as it stands.
   EXPECT_EQ( ExpandIdentifierMacros( "res&uniqueId;", "", true ), "result" );
   EXPECT_EQ( ExpandIdentifierMacros( "result1&uniqueId;", "", true ), "result1" );
   // An identifier that contains a macro's text is inserted as it is, not expanded again.
   EXPECT_EQ( ExpandIdentifierMacros( "&imageId;", "a&imageId;", false ), "a&imageId;" );
}

TEST_F( ImageWindowTest, ImageIdentifierMacroErrors )
{
   const struct
   {
      const char* templ;
      bool wantExisting;
      const char* error;
   } cases[] = {
       { "&uniqueId;", false, "Invalid macro-expression in image identifier" },
       { "&uniqueId;", true, "Image not found in identifier macro-expansion" },
       { "abc&uniqueId", false, "Invalid macro-expression in image identifier" }, // no closing ";"
   };
   for ( const auto& c : cases )
   {
      try
      {
         ExpandIdentifierMacros( c.templ, "M31", c.wantExisting );
         ADD_FAILURE() << c.templ << " expanded";
      }
      catch ( const ProcessRefusal& e )
      {
         EXPECT_STREQ( e.what(), c.error ) << c.templ;
      }
   }
}

TEST_F( ImageWindowTest, PreviewIdentifiersAreUniqueWithinTheirWindow )
{
   TImageWindow* w = Make( new qor::Image( 50, 50 ), "M51" );
   TImageWindow* other = Make( new qor::Image( 50, 50 ) );
   other->CreatePreview( "Preview01", 0, 0, 5, 5 );
   EXPECT_EQ( w->DefaultPreviewIdentifier(), "Preview01" ); // the other window's previews do not count
   w->CreatePreview( "", 0, 0, 5, 5 );
   w->CreatePreview( "Core", 0, 0, 5, 5 );
   EXPECT_EQ( w->UniquePreviewIdentifier( "Core" ), "Core1" );
   EXPECT_EQ( w->UniquePreviewIdentifier( "" ), "Preview03" );
   EXPECT_EQ( w->FindPreviewByIdentifier( "Core" ), w->previews[1] );
   EXPECT_EQ( w->ExpandPreviewIdentifierMacros( "&imageId;_&uniqueId;", false ), "M51_" );
   EXPECT_EQ( w->ExpandPreviewIdentifierMacros( "Core&uniqueId;", false ), "Core1" );
   EXPECT_EQ( w->ExpandPreviewIdentifierMacros( "&uniqueId;", true ), "Preview01" );
   EXPECT_EQ( w->ExpandPreviewIdentifierMacros( "Co&uniqueId;", true ), "Core" );
   EXPECT_THROW(
       {
          try
          {
             w->ExpandPreviewIdentifierMacros( "&uniqueId;", false );
          }
          catch ( const ProcessRefusal& e )
          {
             EXPECT_STREQ( e.what(), "Invalid macro-expression in preview identifier" );
             throw;
          }
       },
       ProcessRefusal );

   // Deleting every preview starts the numbering again.
   w->DeleteAllPreviews();
   EXPECT_EQ( w->previewCounter, 0 );
   EXPECT_EQ( w->DefaultPreviewIdentifier(), "Preview01" );
}
