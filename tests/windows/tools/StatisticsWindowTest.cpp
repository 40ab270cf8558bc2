// The Statistics window driven offscreen: the values of known images in each data range, the columns of grey and
// colour images, and following the view through changes and deletion.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>

#include "windows/frames/ViewsListFrame.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/tools/StatisticsWindow.h"

namespace
{

class StatisticsWindowTest : public test::ImageWindowTest
{
protected:
   // A column of the window: its seven texts, mean to maximum.
   std::vector<std::string> Column( int c ) const
   {
      std::vector<std::string> texts;
      for ( int k = 0; k < TStatisticsWindow::NumberOfStatistics; ++k )
         texts.push_back( window.Value_Panel[k][c]->text().toStdString() );
      return texts;
   }
   // Two pixels, 0 and 1, in every channel: mean 0.5, median 1 (the upper middle), variance 0.5.
   TImageWindow* Pair( int32_t channels )
   {
      auto* image = new qor::Image( 2, 1, channels, channels == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
      for ( int32_t c = 0; c < channels; ++c )
      {
         image->Pixel( 0, 0, c ) = 0.0f;
         image->Pixel( 1, 0, c ) = 1.0f;
      }
      return Make( image );
   }

   TStatisticsWindow window;
};

TEST_F( StatisticsWindowTest, ValuesAreScaledToTheDataRange )
{
   TImageWindow* w = Pair( 1 );
   window.SelectView( w->mainView );
   EXPECT_EQ( Column( 0 ), ( std::vector<std::string>{ "0.5000000", "1.0000000", "0.7071068", "0.5000000",
                                                       "0.5000000", "0.0000000", "1.0000000" } ) );
   window.DataRange_ComboBox->setCurrentIndex( 1 );
   // The variance is in squared units: 0.5 x 255^2.
   EXPECT_EQ( Column( 0 ), ( std::vector<std::string>{ "127.50000", "255.00000", "180.31223", "127.50000",
                                                       "32512.50000", "0.00000", "255.00000" } ) );
   window.DataRange_ComboBox->setCurrentIndex( 3 );
   EXPECT_EQ( Column( 0 )[6], "65535.000" );
   window.DataRange_ComboBox->setCurrentIndex( 4 );
   EXPECT_EQ( Column( 0 )[6], "4294967295" );
   EXPECT_EQ( Column( 0 )[0], "2147483648" );
}

TEST_F( StatisticsWindowTest, GreyImagesFillTheirOneColumnAndNoViewNone )
{
   const QColor buttonFace = QPalette().color( QPalette::Button );
   EXPECT_EQ( window.HeaderCaption_Panel[1]->text(), "Green" );
   EXPECT_EQ( TStatisticsWindow::PanelColor( window.Header_Panel[2] ), QColor( 234, 234, 255 ) );
   for ( int c = 0; c < 3; ++c )
      EXPECT_EQ( Column( c ), std::vector<std::string>( 7 ) );
   EXPECT_EQ( TStatisticsWindow::PanelColor( window.Value_Panel[0][0] ), buttonFace );

   TImageWindow* grey = Pair( 1 );
   window.SelectView( grey->mainView );
   EXPECT_EQ( window.HeaderCaption_Panel[0]->text(), "Gray" );
   EXPECT_EQ( window.HeaderCaption_Panel[1]->text(), "" );
   EXPECT_EQ( TStatisticsWindow::PanelColor( window.Value_Panel[3][0] ), QColor( 213, 213, 213 ) );
   EXPECT_EQ( Column( 1 ), std::vector<std::string>( 7 ) );
   EXPECT_EQ( TStatisticsWindow::PanelColor( window.Header_Panel[1] ), buttonFace );

   TImageWindow* colour = Pair( 3 );
   window.SelectView( colour->mainView );
   EXPECT_EQ( Column( 2 )[0], "0.5000000" );
   EXPECT_EQ( TStatisticsWindow::PanelColor( window.Value_Panel[0][1] ), QColor( 213, 255, 213 ) );
}

TEST_F( StatisticsWindowTest, TheWindowFollowsItsView )
{
   TImageWindow* w = Pair( 1 );
   TImageWindow::Preview* preview = w->CreatePreview( "Preview01", 0, 0, 1, 1 );
   window.ViewCreated( *preview );
   QComboBox* list = window.ViewsList->ViewsList_ComboBox;
   const int entry = list->findText( QString::fromStdString( preview->FullIdentifier() ) );
   ASSERT_GE( entry, 0 );
   list->setCurrentIndex( entry );
   window.ViewsList->ViewsList_ComboBoxSelect();
   EXPECT_EQ( window.currentView, preview );
   EXPECT_NE( preview->Statistics(), nullptr );
   window.SelectView( w->mainView );
   EXPECT_EQ( list->currentText().toStdString(), w->mainView->FullIdentifier() );
   w->image->Pixel( 0, 0 ) = 1.0f;
   w->mainView->DiscardStatistics( false );
   window.ViewUpdated( *w->mainView );
   EXPECT_EQ( Column( 0 )[0], "1.0000000" );

   window.ViewDeleted( *w->mainView );
   EXPECT_EQ( window.currentView, nullptr );
   EXPECT_EQ( Column( 0 ), std::vector<std::string>( 7 ) );
}

} // namespace
