// The median filter window driven offscreen: the hybrid and circular options exclude each other and the hybrid option
// follows the box size (BoxFilterWindowTest runs the filter shown).

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>

#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/MedianFilterWindow.h"

namespace
{

class MedianFilterWindowTest : public test::ImageWindowProcessTest
{
};

TEST_F( MedianFilterWindowTest, HybridAndCircularExcludeEachOtherAndHybridNeedsABoxAboveThree )
{
   TMedianFilterWindow window;
   window.show();
   EXPECT_EQ( window.windowTitle(), "Median Filter" );
   EXPECT_TRUE( window.HybridFilter_CheckBox->isEnabled() );

   window.HybridFilter_CheckBox->click();
   window.CircularKernel_CheckBox->click();
   EXPECT_FALSE( window.HybridFilter_CheckBox->isChecked() );
   EXPECT_FALSE( window.parameters.hybridFilter );
   window.HybridFilter_CheckBox->click();
   EXPECT_FALSE( window.CircularKernel_CheckBox->isChecked() );
   EXPECT_FALSE( window.parameters.circularKernel );

   // Box size 3 disables the hybrid box but keeps its mark and the parameter.
   window.BoxSize_ComboBox->setCurrentIndex( 0 );
   EXPECT_FALSE( window.HybridFilter_CheckBox->isEnabled() );
   EXPECT_TRUE( window.HybridFilter_CheckBox->isChecked() );
   EXPECT_EQ( window.NewInstance()->ToText(), "MedianFilter boxSize=3,\nhybridFilter=1" );
   window.BoxSize_ComboBox->setCurrentIndex( 2 );
   EXPECT_TRUE( window.HybridFilter_CheckBox->isEnabled() );

   // An instance with both flags shows only the circular box checked.
   MedianFilter both;
   static_cast<MedianFilter::Parameters&>( *both.parameters ).hybridFilter = true;
   static_cast<MedianFilter::Parameters&>( *both.parameters ).circularKernel = true;
   window.ImportInstance( both );
   EXPECT_TRUE( window.CircularKernel_CheckBox->isChecked() );
   EXPECT_FALSE( window.HybridFilter_CheckBox->isChecked() );
   EXPECT_EQ( window.NewInstance()->ToText(), "MedianFilter boxSize=5,\ncircularKernel=1" );
   EXPECT_TRUE( both.IsInterface( &window ) );
}

} // namespace
