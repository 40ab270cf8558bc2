// The embed-ICC-profile check box of the file-options dialogs offers the profile a save of the window would write.

#include <gtest/gtest.h>

#include <QCheckBox>

#include <memory>
#include <vector>

#include "ICCTestProfiles.h"
#include "classlib/Image.h"
#include "platform/ColorManagementSettings.h"
#include "platform/ICCProfile.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/image/ImageWindow_ICM.h"

namespace
{

using Bytes = std::vector<uint8_t>;

class EmbedCheckBoxTest : public test::ImageWindowTest
{
protected:
   void SetUp() override
   {
      test::ImageWindowTest::SetUp();
      savedRGB = std::move( ColorManagementSettings.defaultRGBProfileData );
      savedGray = std::move( ColorManagementSettings.defaultGrayProfileData );
   }

   void TearDown() override
   {
      ColorManagementSettings.defaultRGBProfileData = std::move( savedRGB );
      ColorManagementSettings.defaultGrayProfileData = std::move( savedGray );
      ColorManagementSettings.DefaultProfileEmbedding = true;
      test::ImageWindowTest::TearDown();
   }

   std::unique_ptr<std::vector<uint8_t>> savedRGB, savedGray;
};

} // namespace

TEST_F( EmbedCheckBoxTest, TheBoxOffersTheProfileThatWouldBeEmbedded )
{
   const Bytes defaultGray = test::SaveProfile( test::MakeGrayProfile( "Default grey" ) );
   const Bytes srgb = test::SaveProfile( cmsCreate_sRGBProfile() );
   enum Kind
   {
      None,
      RGB,
      Grey
   };
   struct Case
   {
      const char* what;
      Kind own;
      bool grayImage;
      bool defaultRGB;
      Kind defaultGray;
      bool embedding;
      bool enabled;
      bool checked;
      const char* hint;
   } cases[] = {
       { "own profile", RGB, false, false, Grey, true, true, true, "sRGB built-in" },
       { "own profile, no default embedding", RGB, false, true, None, false, true, false, "sRGB built-in" },
       { "own grey profile of a grey image", Grey, true, false, None, true, true, true, "Default grey" },
       { "default RGB", None, false, true, Grey, true, true, true, "sRGB built-in" },
       { "default grey", None, true, true, Grey, true, true, true, "Default grey" },
       { "default grey, no default embedding", None, true, false, Grey, false, true, false, "Default grey" },
       { "grey image, RGB default only", None, true, true, None, true, false, false, "" },
       // A grey image gets a grey profile or none.
       { "grey image, RGB grey default", None, true, true, RGB, true, false, false, "" },
       { "grey image, own RGB profile", RGB, true, true, Grey, true, false, false, "" },
       { "none", None, false, false, Grey, true, false, false, "" },
   };
   auto block = [&]( Kind k ) { return k == None ? nullptr : std::make_unique<Bytes>( k == RGB ? srgb : defaultGray ); };
   for ( const Case& c : cases )
   {
      TImageWindow* w = Make(
          new qor::Image( 4, 4, c.grayImage ? 1 : 3, c.grayImage ? qor::ColorSpace::Gray : qor::ColorSpace::RGB ) );
      w->iccProfile = block( c.own );
      ColorManagementSettings.defaultRGBProfileData = block( c.defaultRGB ? RGB : None );
      ColorManagementSettings.defaultGrayProfileData = block( c.defaultGray );
      ColorManagementSettings.DefaultProfileEmbedding = c.embedding;

      QCheckBox box;
      box.setEnabled( !c.enabled );
      box.setChecked( !c.checked );
      box.setToolTip( "stale" );
      SetupEmbedICCProfileCheckBox( &box, w );
      EXPECT_EQ( box.isEnabled(), c.enabled ) << c.what;
      EXPECT_EQ( box.isChecked(), c.checked ) << c.what;
      EXPECT_EQ( box.toolTip().toStdString(), c.hint ) << c.what;
      EXPECT_EQ( ICCProfileDataToEmbed( *w ) != nullptr, c.enabled ) << c.what;
   }
}
