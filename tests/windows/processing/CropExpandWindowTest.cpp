// The Crop/Expand window driven offscreen: sizes and margins typed, the anchors chosen and derived, their glyphs.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "process/CropExpand.h"
#include "windows/frames/SelectColorFrame.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/CropExpandWindow.h"

namespace
{

class CropExpandWindowTest : public test::ImageWindowProcessTest
{
protected:
   static bool Type( TCropExpandWindow& window, QLineEdit* edit, const QString& text )
   {
      window.inputError = false;
      edit->setText( text );
      RunEditExitHandler( edit );
      return !window.inputError;
   }
   static std::pair<int32_t, int32_t> Horizontal( const TCropExpandWindow& w ) { return { w.leftMargin, w.rightMargin }; }
};

TEST_F( CropExpandWindowTest, ATypedSizeSplitsIntoMargins )
{
   TCropExpandWindow window; // 100 x 100 without a target
   struct Case
   {
      int32_t left, right;
      const char* width;
      int32_t newLeft, newRight;
   };
   for ( const Case& c : { Case{ 0, 0, "110", 5, 5 }, Case{ 0, 0, "111", 5, 6 }, Case{ 0, 0, "99", -1, 0 },
                           Case{ 0, 0, "90", -5, -5 }, Case{ 0, 20, "90", 0, -10 }, Case{ 7, 0, "100", 0, 0 } } )
   {
      window.leftMargin = c.left;
      window.rightMargin = c.right;
      ASSERT_TRUE( Type( window, window.Width_Edit, c.width ) );
      EXPECT_EQ( Horizontal( window ), std::make_pair( c.newLeft, c.newRight ) ) << c.width;
   }
   window.leftMargin = window.rightMargin = 0;
   EXPECT_TRUE( Type( window, window.Left_Edit, "-99" ) );
   EXPECT_TRUE( Type( window, window.Left_Edit, "31900" ) );
   prompter.Expect( "Numerical value out of range" );
   EXPECT_FALSE( Type( window, window.Left_Edit, "31901" ) );
   EXPECT_EQ( window.Left_Edit->text(), "31900" );
}

TEST_F( CropExpandWindowTest, AnchorsRearrangeTheMarginsAndShowArrows )
{
   TCropExpandWindow window;
   window.Anchor_SpeedButtons[0]->click(); // TL
   EXPECT_EQ( Horizontal( window ), std::make_pair( 0, 1 ) );
   EXPECT_EQ( window.bottomMargin, 1 );
   EXPECT_EQ( window.Width_Edit->text(), "101" );
   EXPECT_TRUE( window.Anchor_SpeedButtons[0]->isChecked() );
   EXPECT_EQ( window.GlyphOf( 1 ), TCropExpandWindow::Right );
   EXPECT_EQ( window.GlyphOf( 3 ), TCropExpandWindow::Down );
   EXPECT_EQ( window.GlyphOf( 4 ), TCropExpandWindow::DownRight );
   EXPECT_EQ( window.GlyphOf( 8 ), TCropExpandWindow::None );
   window.rightMargin = -3;
   EXPECT_EQ( window.GlyphOf( 1 ), TCropExpandWindow::Left );

   window.leftMargin = 0;
   window.rightMargin = 5;
   window.Anchor_SpeedButtons[4]->click(); // MM
   EXPECT_EQ( Horizontal( window ), std::make_pair( 2, 2 ) );
   for ( int32_t i : { 0, 2, 6, 8 } )
      EXPECT_NE( window.GlyphOf( i ), TCropExpandWindow::None );
}

TEST_F( CropExpandWindowTest, TheTargetGivesTheSizesAndResetsImpossibleMargins )
{
   TCropExpandWindow window;
   window.leftMargin = -30;
   window.rightMargin = -30;
   TImageWindow* narrow = Make( new qor::Image( 50, 40, 1 ) );
   window.SelectView( narrow->mainView );
   EXPECT_EQ( Horizontal( window ), std::make_pair( 0, 0 ) );
   EXPECT_TRUE( window.FillColor_Frame->grayOnly );
   EXPECT_EQ( window.OriginalInfo_Panel->text(), "Original: 50x40, 0.008 MB" );

   CropExpand imported;
   imported.Params().leftMargin = -10;
   imported.Params().bottomMargin = 4;
   window.ImportInstance( imported );
   EXPECT_EQ( window.ResultInfo_Panel->text(), "40x44, 32-bits memory size: 0.007 MB" );
   EXPECT_TRUE( window.Anchor_SpeedButtons[2]->isChecked() ) << "left shrinks, bottom grows: top-right stays";
   EXPECT_EQ( window.NewInstance()->ToText(), imported.ToText() );
}

} // namespace
