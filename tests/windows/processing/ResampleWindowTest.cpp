// The Resample window driven offscreen: every unit follows an entry, the aspect ratio and the limits, memory sizes,
// the process mode, and the instances it builds and imports.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "process/Resample.h"
#include "windows/frames/InterpolationParametersFrame.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/ResampleWindow.h"

namespace
{

class ResampleWindowTest : public test::ImageWindowProcessTest
{
protected:
   // Types into an edit and leaves it through its exit handler; true when the entry was accepted.
   static bool Type( TResampleWindow& window, QLineEdit* edit, const QString& text )
   {
      window.inputError = false;
      edit->setText( text );
      RunEditExitHandler( edit );
      return !window.inputError;
   }
   TImageWindow* Target( TResampleWindow& window, int32_t w, int32_t h, int32_t channels = 1 )
   {
      TImageWindow* image = Make( new qor::Image( w, h, channels, channels == 1 ? qor::ColorSpace::Gray
                                                                                : qor::ColorSpace::RGB ) );
      window.SelectView( image->mainView );
      return image;
   }
};

TEST_F( ResampleWindowTest, TheAspectRatioAndTheLimitsFollowTheTarget )
{
   TResampleWindow window;
   Target( window, 3000, 2000 );
   EXPECT_TRUE( Type( window, window.WidthInPixels_Edit, "1500" ) );
   EXPECT_EQ( window.HeightInPixels_Edit->text(), "1000" );
   EXPECT_EQ( window.WidthPercent_Edit->text(), "50.000" );
   EXPECT_EQ( window.HeightPercent_Edit->text(), "50.000" );
   EXPECT_EQ( std::make_tuple( window.minWidth, window.maxWidth, window.minHeight, window.maxHeight ),
              std::make_tuple( 2, 32000, 1, 21333 ) );
   prompter.Expect( "Numerical value out of range" );
   EXPECT_FALSE( Type( window, window.HeightInPixels_Edit, "21334" ) );
   EXPECT_EQ( window.HeightInPixels_Edit->text(), "1000" );

   window.PreserveAspectRatio_CheckBox->click();
   EXPECT_TRUE( Type( window, window.HeightInPixels_Edit, "32000" ) );
   EXPECT_EQ( window.WidthInPixels_Edit->text(), "1500" );
}

TEST_F( ResampleWindowTest, UnitsConvertBothWaysWithoutMovingThePixels )
{
   TResampleWindow window;
   Target( window, 1000, 1000 );
   EXPECT_TRUE( Type( window, window.WidthInPixels_Edit, "720" ) );
   EXPECT_EQ( window.WidthInCm_Edit->text(), "25.400" );
   EXPECT_EQ( window.WidthInInches_Edit->text(), "10.000" );
   window.PixelsPerCm_RadioButton->click();
   EXPECT_EQ( window.Resolution_Edit->text(), "28.346" );
   EXPECT_EQ( window.WidthInCm_Edit->text(), "25.400" );
   EXPECT_EQ( window.WidthInInches_Edit->text(), "10.000" );

   // Round trips px -> cm -> px and px -> inch -> px keep the pixels at any resolution, the shown values being
   // rounded to three decimals.
   struct Case
   {
      const char* resolution;
      int pixels;
   };
   for ( const Case& c : { Case{ "72", 997 }, Case{ "3000", 12345 }, Case{ "10000", 31999 } } )
      for ( QLineEdit* edit : { window.WidthInCm_Edit, window.WidthInInches_Edit, window.WidthPercent_Edit } )
      {
         SCOPED_TRACE( std::string( c.resolution ) + " " + edit->objectName().toStdString() );
         ASSERT_TRUE( Type( window, window.Resolution_Edit, c.resolution ) );
         ASSERT_TRUE( Type( window, window.WidthInPixels_Edit, QString::number( c.pixels ) ) );
         const QString shown = edit->text();
         ASSERT_TRUE( Type( window, edit, shown ) );
         EXPECT_EQ( window.width, c.pixels );
         // Typing a value in the unit gives the pixels the instance reproduces.
         ASSERT_TRUE( Type( window, edit, QString( "%1" ).arg( shown.toDouble() * 0.5, 0, 'f', 3 ) ) );
         window.ResampleMode_ComboBox->setCurrentIndex( edit == window.WidthInInches_Edit ? Resample::absoluteInches
                                                                                          : Resample::absoluteCentimeters );
         window.ResampleMode_ComboBoxSelect();
         int32_t w = 1000, h = 1000;
         static_cast<Resample&>( *window.NewInstance() ).CalculateNewSize( w, h, 72, false );
         EXPECT_EQ( std::make_pair( w, h ), std::make_pair( window.width, window.height ) );
      }
}

TEST_F( ResampleWindowTest, MemorySizesFallBackToSmallerUnitsAndSetTheSize )
{
   TResampleWindow window;
   Target( window, 100, 100 );
   EXPECT_EQ( window._8BitOriginalSize_Panel->text(), "0.010" );
   Target( window, 10, 10 );
   EXPECT_TRUE( window.KB_RadioButton->isChecked() );
   EXPECT_EQ( window._32BitOriginalSize_Panel->text(), "0.40" );
   EXPECT_EQ( window._16BitOriginalSize_Panel->text(), "0.20" );
   EXPECT_EQ( window._8BitOriginalSize_Panel->text(), "0.10" );

   Target( window, 3000, 2000, 3 );
   window.MB_RadioButton->click();
   EXPECT_TRUE( Type( window, window._32BitResultSize_Edit, "12" ) );
   EXPECT_EQ( std::make_pair( window.width, window.height ), std::make_pair( 1254, 836 ) );
}

TEST_F( ResampleWindowTest, ModesAndInstances )
{
   TResampleWindow window;
   TImageWindow* image = Target( window, 3000, 2000 );
   EXPECT_FALSE( window.AbsMode_ComboBox->isEnabled() );
   window.ResampleMode_ComboBox->setCurrentIndex( Resample::absolutePixels );
   window.ResampleMode_ComboBoxSelect();
   EXPECT_TRUE( window.AbsMode_ComboBox->isEnabled() );
   EXPECT_EQ( window.AbsMode_ComboBox->currentText(), "Force width and height" );
   window.ResampleMode_ComboBox->setCurrentIndex( Resample::forceSize );
   window.ResampleMode_ComboBoxSelect();
   EXPECT_FALSE( window.AbsMode_ComboBox->isEnabled() );
   EXPECT_EQ( window.AbsMode_ComboBox->currentIndex(), -1 );

   // Without touching the resolution the instance keeps the image's.
   ASSERT_TRUE( Type( window, window.WidthInPixels_Edit, "1500" ) );
   EXPECT_EQ( window.NewInstance()->ToText(),
              "Resample mode=\"forceSize\",\nnumberOfPixels=1500000,\ninterpolation={algorithm=\"bicubicInterpolation\"}" );
   window.ForceResolution_CheckBox->click();
   EXPECT_NE( window.NewInstance()->ToText().find( "resolution=72.000" ), std::string::npos );

   Resample imported;
   imported.Params().mode = Resample::absoluteInches;
   imported.Params().absoluteMode = Resample::forceHeight;
   imported.Params().ySize = 10;
   imported.Params().resolution = 150;
   imported.Params().interpolation = InterpolationParameters( 0, 9 );
   window.ImportInstance( imported );
   EXPECT_EQ( window.AbsMode_ComboBox->currentIndex(), Resample::forceHeight );
   EXPECT_EQ( std::make_pair( window.width, window.height ), std::make_pair( 2250, 1500 ) );
   EXPECT_EQ( window.Resolution_Edit->text(), "150.000" );
   EXPECT_EQ( window.InterpolationParameters_Frame->BlockSize_ComboBox->currentText(), "9" );
   EXPECT_TRUE( window.InterpolationParameters_Frame->BlockSize_ComboBox->isEnabled() );
   EXPECT_TRUE( imported.IsInterface( &window ) );

   // The window's own resample drops its target; the sizes shown stay.
   image->mainView->selectingWindows.Add( &window );
   window.Apply();
   EXPECT_EQ( image->image->Height(), 1500 );
   EXPECT_EQ( window.CurrentView(), nullptr );
   EXPECT_EQ( window.sourceHeight, 2000 );
   EXPECT_EQ( image->resolution, 150 );
}

TEST_F( ResampleWindowTest, TheInterpolationFrameEnablesTheBlockSizeForTheSplineOnly )
{
   TInterpolationParameters_Frame frame;
   EXPECT_EQ( frame.InterpolationAlgorithm_ComboBox->currentText(), "Bicubic Interpolation" );
   EXPECT_FALSE( frame.BlockSize_ComboBox->isEnabled() );
   EXPECT_EQ( frame.BlockSize_ComboBox->currentText(), "5" );
   frame.InterpolationAlgorithm_ComboBox->setCurrentIndex( 0 );
   frame.InterpolationAlgorithm_ComboBoxSelect();
   EXPECT_TRUE( frame.BlockSize_Label->isEnabled() );
   frame.BlockSize_ComboBox->setCurrentIndex( 2 );
   frame.BlockSize_ComboBoxSelect();
   frame.InterpolationAlgorithm_ComboBox->setCurrentIndex( 2 );
   frame.InterpolationAlgorithm_ComboBoxSelect();
   EXPECT_FALSE( frame.BlockSize_ComboBox->isEnabled() );
   EXPECT_EQ( frame.blockSize, 7 );
   EXPECT_EQ( frame.algorithm, 2 );
}

} // namespace
