// The box-filter windows (median, minimum/maximum) driven offscreen: Preview and Apply run the filter their controls
// show, on the previews and on the images selected for the window.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

#include <functional>
#include <memory>
#include <ostream>

#include "classlib/ImageTestSupport.h"
#include "classlib/MinMaxKernel.h"
#include "process/ProcessContainer.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/MedianFilterWindow.h"
#include "windows/processing/MinMaxFiltersWindow.h"

namespace
{

struct BoxFilterCase
{
   const char* name;
   int32_t channels;
   // The window, its controls set.
   std::function<std::unique_ptr<TBoxFilterWindow>()> window;
   // What the controls set does to an image.
   std::function<void( qor::Image& )> filter;
};

const BoxFilterCase boxFilterCases[] = {
   { "MedianOf7x7OnGrey", 1,
     []
     {
        auto window = std::make_unique<TMedianFilterWindow>();
        window->show();
        window->BoxSize_ComboBox->setCurrentIndex( 2 );
        return std::unique_ptr<TBoxFilterWindow>( std::move( window ) );
     },
     []( qor::Image& image ) { qor::ApplyMedianFilter( image, 7, 1.0f, false, false ); } },
   { "CircularMaximumOf3x3OnRGB", 3,
     []
     {
        auto window = std::make_unique<TMinMaxFiltersWindow>();
        window->show();
        window->BoxSize_ComboBox->setCurrentIndex( 0 );
        window->Maximum_RadioButton->click();
        window->CircularKernel_CheckBox->click();
        return std::unique_ptr<TBoxFilterWindow>( std::move( window ) );
     },
     []( qor::Image& image ) { qor::ApplyMinMaxKernel( image, 3, 1.0f, false, true ); } },
};

void PrintTo( const BoxFilterCase& c, std::ostream* os )
{
   *os << c.name;
}

class BoxFilterWindowTest : public test::ImageWindowProcessTest, public ::testing::WithParamInterface<BoxFilterCase>
{
};

TEST_P( BoxFilterWindowTest, PreviewAndApplyRunTheFilterShown )
{
   const BoxFilterCase& c = GetParam();
   TImageWindow* w = Make( RandomImage( 20, 14, c.channels, c.channels == 3 ? qor::ColorSpace::RGB
                                                                            : qor::ColorSpace::Gray ) );
   TImageWindow::Preview* preview = w->CreatePreview( "P1", 2, 3, 9, 7 );
   qor::Image expectedImage( *w->image );
   c.filter( expectedImage );
   qor::Image expectedPreview( preview->GetImage() );
   c.filter( expectedPreview );

   std::unique_ptr<TBoxFilterWindow> window = c.window();
   preview->selectingWindows.Add( window.get() );
   w->mainView->selectingWindows.Add( window.get() );
   window->findChild<QAbstractButton*>( "Preview_Button" )->click();
   EXPECT_TRUE( test::SamePixels( preview->GetImage(), expectedPreview ) );
   window->findChild<QAbstractButton*>( "Apply_Button" )->click();
   EXPECT_TRUE( test::SamePixels( *w->image, expectedImage ) );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );
   EXPECT_TRUE( w->mainView->IsModified() );
}

INSTANTIATE_TEST_SUITE_P( Windows, BoxFilterWindowTest, ::testing::ValuesIn( boxFilterCases ),
                          []( const ::testing::TestParamInfo<BoxFilterCase>& info ) { return info.param.name; } );

} // namespace
