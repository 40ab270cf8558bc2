// Background extraction on a real image window: a session started and edited with the mouse (offscreen QTest events
// on the window's viewport), the dialog's controls, the model run from Generate, the overlay and the end of a
// session.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <cstring>
#include <random>

#include "classlib/Image.h"
#include "classlib/ImageTestSupport.h"
#include "platform/KeyTracker.h"
#include "process/DynamicBackgroundExtraction.h"
#include "process/Invert.h"
#include "process/ProcessContainer.h"
#include "windows/frames/SelectColorFrame.h"
#include "windows/image/Cursors.h"
#include "windows/image/DynamicBackgroundExtractionData.h"
#include "windows/image/ImageWindow.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/main/MainWindow.h"
#include "windows/main/MainWindowTestSupport.h"
#include "windows/processing/DynamicBackgroundExtractionDialog.h"

namespace
{

constexpr uint8_t DBEMode = 6;

// The sky the tests sample: a gentle gradient with a few bright stars.
double Sky( double x, double y )
{
   return 0.08 + 0.06 * x + 0.03 * y + 0.02 * x * y;
}

qor::Image* SkyImage( int32_t w, int32_t h, int32_t channels )
{
   auto* image = new qor::Image( w, h, channels, channels == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
   std::mt19937 rng( 11 );
   std::uniform_int_distribution<int> px( 0, w - 1 ), py( 0, h - 1 );
   std::vector<std::pair<int, int>> stars;
   for ( int k = 0; k < 25; ++k )
      stars.emplace_back( px( rng ), py( rng ) );
   for ( int32_t c = 0; c < channels; ++c )
      for ( int32_t y = 0; y < h; ++y )
         for ( int32_t x = 0; x < w; ++x )
         {
            double v = Sky( double( x ) / w, double( y ) / h ) * ( 1 + 0.1 * c );
            for ( const auto& [sx, sy] : stars )
               v += 0.7 * std::exp( -( ( x - sx ) * ( x - sx ) + ( y - sy ) * ( y - sy ) ) / 3.0 );
            image->Pixel( x, y, c ) = float( std::min( v, 1.0 ) );
         }
   return image;
}

std::vector<uint32_t> Bits( const qor::Image& image )
{
   std::vector<uint32_t> bits( size_t( image.NumberOfPixels() * image.NumberOfChannels() ) );
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
      std::memcpy( bits.data() + size_t( c * image.NumberOfPixels() ), image.PixelData( c ),
                   size_t( image.NumberOfPixels() ) * sizeof( float ) );
   return bits;
}

class DynamicBackgroundExtractionDialogTest : public test::ImageWindowProcessTest
{
protected:
   void SetUp() override
   {
      ImageWindowProcessTest::SetUp();
      platform::KeyTracker::Instance().ReleaseAll();
      SetImageWindowMode( DBEMode );
      // The dialog stays on top: away from the image windows, it covers none of the points the tests click.
      dialog.move( 3000, 3000 );
   }

   void TearDown() override
   {
      platform::KeyTracker::Instance().ReleaseAll();
      SetImageWindowMode( 0 );
      // Windows the runs opened.
      for ( TImageWindow::View* v : std::vector<TImageWindow::View*>( MainViewList ) )
         if ( std::none_of( windows.begin(), windows.end(), [&]( const QPointer<TImageWindow>& w ) { return w == v->Window(); } ) )
            Track( v->Window() );
      ImageWindowProcessTest::TearDown();
      EXPECT_EQ( dialog.data, nullptr );
      EXPECT_FALSE( dialog.isVisible() );
   }

   // A shown window of the sky with a client area of 400 x 300 at 1:1.
   TImageWindow* Shown( int32_t w, int32_t h, int32_t channels = 1, const std::string& id = "Sky" )
   {
      TImageWindow* window = Make( SkyImage( w, h, channels ), id );
      window->show();
      SetClientSize( *window, 400, 300 );
      EXPECT_TRUE( QTest::qWaitForWindowExposed( window ) );
      window->SetZoomAndCenter( 0, 0, 1 );
      return window;
   }

   static void Click( TImageWindow& w, QPoint at )
   {
      QTest::mousePress( w.viewport(), Qt::LeftButton, Qt::NoModifier, at );
      QTest::mouseRelease( w.viewport(), Qt::LeftButton, Qt::NoModifier, at );
   }

   static void Drag( TImageWindow& w, QPoint from, QPoint to )
   {
      QTest::mousePress( w.viewport(), Qt::LeftButton, Qt::NoModifier, from );
      QTest::mouseMove( w.viewport(), ( from + to ) / 2 );
      QTest::mouseMove( w.viewport(), to );
      QTest::mouseRelease( w.viewport(), Qt::LeftButton, Qt::NoModifier, to );
   }

   // The windows that are not the given one, newest last.
   static std::vector<TImageWindow*> Others( const TImageWindow* w )
   {
      std::vector<TImageWindow*> others;
      for ( TImageWindow::View* v : MainViewList )
         if ( v->Window() != w )
            others.push_back( v->Window() );
      return others;
   }

   TDynamicBackgroundExtractionDialog& dialog = DynamicBackgroundExtractionDialog();
};

} // namespace

TEST_F( DynamicBackgroundExtractionDialogTest, ASessionOnASkyGivesItsBackgroundModel )
{
   TImageWindow* w = Shown( 300, 200 );
   const std::vector<uint32_t> before = Bits( *w->image );

   // A click starts the session with one sample of the default radius there.
   Click( *w, At( *w, 50, 40 ) );
   ASSERT_NE( w->dbeData, nullptr );
   DynamicBackgroundExtractionData& data = *w->dbeData;
   EXPECT_TRUE( data.active );
   ASSERT_EQ( data.samples.size(), 1u );
   EXPECT_EQ( data.samples[0].anchorX, 50 );
   EXPECT_EQ( data.samples[0].anchorY, 40 );
   EXPECT_EQ( data.samples[0].radius, CurrentPreferences.dbeDefaults.radius );
   EXPECT_TRUE( dialog.isVisible() );
   EXPECT_EQ( dialog.data, &data );
   EXPECT_EQ( dialog.SampleIndex_Label->text(), "Total: 1" );
   EXPECT_EQ( dialog.SampleIndex_Edit->text(), "1" );
   EXPECT_EQ( dialog.AnchorX_Edit->text(), "50" );
   EXPECT_FALSE( dialog.Delete_Button->isEnabled() );
   EXPECT_EQ( dialog.RKValue_Label->text(), "K:" );
   EXPECT_FALSE( dialog.GValue_Panel->isEnabled() );
   EXPECT_EQ( dialog.GValue_Panel->text(), "" );
   EXPECT_NEAR( dialog.RKValue_Panel->text().toDouble(), Sky( 50.0 / 300, 40.0 / 200 ), 2e-3 );
   EXPECT_EQ( dialog.Tolerance_Edit->text(), "0.100" );
   EXPECT_EQ( dialog.Smoothing_Edit->text(), "0.025" );
   EXPECT_EQ( dialog.Subsample_ComboBox->currentIndex(), 1 );
   EXPECT_EQ( dialog.SampleColor_ColorBox->currentText(), "White" );
   EXPECT_EQ( dialog.CurrentColor_ColorBox->currentText(), "Red" );

   // One sample makes no model: the framework reports it and the session goes on.
   prompter.Expect( "At least six samples are required" );
   dialog.OK_SpeedButton->click();
   EXPECT_TRUE( Others( w ).empty() );
   EXPECT_EQ( w->dbeData.get(), &data );

   // The automatic grid, then Generate with smoothing 0 and no subsampling: the model follows the sky between
   // the stars, the target stays as it was, the dialog stays open.
   dialog.Auto_Edit->setText( "5" );
   RunEditExitHandler( dialog.Auto_Edit );
   dialog.Auto_Button->click();
   // Five intervals of 55.8 pixels across, three of 59.67 down: 6 x 4 samples.
   EXPECT_EQ( data.samples.size(), 6u * 4 );
   EXPECT_EQ( dialog.SampleIndex_Label->text(), "Total: 24" );
   dialog.Smoothing_Edit->setText( "0" );
   RunEditExitHandler( dialog.Smoothing_Edit );
   dialog.Subsample_ComboBox->setCurrentIndex( 0 );
   dialog.Subsample_ComboBox->activated( 0 );
   EXPECT_EQ( data.subsample, 1 );
   dialog.OK_SpeedButton->click();
   const std::vector<TImageWindow*> models = Others( w );
   ASSERT_EQ( models.size(), 1u );
   const TImageWindow& model = *models[0];
   EXPECT_EQ( model.mainView->Identifier(), "Sky_background" );
   ASSERT_EQ( model.image->Width(), 300 );
   ASSERT_EQ( model.image->Height(), 200 );
   EXPECT_EQ( model.modificationCount, 1 );
   double worst = 0;
   for ( int32_t y = 15; y < 185; y += 7 )
      for ( int32_t x = 15; x < 285; x += 7 )
         worst = std::max( worst, std::fabs( model.image->Pixel( x, y ) - Sky( x / 300.0, y / 200.0 ) ) );
   EXPECT_LT( worst, 2e-3 );
   EXPECT_EQ( Bits( *w->image ), before );
   EXPECT_TRUE( dialog.isVisible() );
   EXPECT_EQ( w->dbeData.get(), &data );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );

   // Done ends the session.
   dialog.Cancel_SpeedButton->click();
   EXPECT_FALSE( dialog.isVisible() );
   EXPECT_EQ( w->dbeData, nullptr );
}

// The two sessions one after the other, as a user works: the background of a sky modelled through the dialog and
// the mouse, then the model cropped with a Dynamic Crop session drawn on it and ended with Enter.
TEST_F( DynamicBackgroundExtractionDialogTest, ABackgroundModelOfASkyThenADynamicCropOfTheModel )
{
   TImageWindow* w = Shown( 300, 200 );
   Click( *w, At( *w, 50, 40 ) );
   ASSERT_NE( w->dbeData, nullptr );
   Drag( *w, At( *w, 50, 40 ), At( *w, 60, 50 ) ); // the sample dragged to where the user wants it
   EXPECT_EQ( w->dbeData->samples[0].anchorX, 60 );
   dialog.Auto_Button->click();
   dialog.Subsample_ComboBox->setCurrentIndex( 0 ); // a model of the image's own size
   dialog.Subsample_ComboBox->activated( 0 );
   dialog.OK_SpeedButton->click();
   dialog.Cancel_SpeedButton->click();
   ASSERT_EQ( w->dbeData, nullptr );
   const std::vector<TImageWindow*> models = Others( w );
   ASSERT_EQ( models.size(), 1u );
   TImageWindow& model = *models[0];
   ASSERT_EQ( model.image->Width(), 300 );
   for ( int32_t y = 20; y < 180; y += 20 )
      for ( int32_t x = 20; x < 280; x += 20 )
         EXPECT_NEAR( model.image->Pixel( x, y ), Sky( x / 300.0, y / 200.0 ), 5e-3 ) << x << "," << y;

   model.show();
   SetClientSize( model, 400, 300 );
   ASSERT_TRUE( QTest::qWaitForWindowExposed( &model ) );
   model.SetZoomAndCenter( 0, 0, 1 );
   const qor::Image background( *model.image );
   SetImageWindowMode( 5 );
   QTest::mousePress( model.viewport(), Qt::LeftButton, Qt::NoModifier, At( model, 40, 30 ) );
   QTest::mouseMove( model.viewport(), At( model, 100, 70 ) );
   QTest::mouseMove( model.viewport(), At( model, 159, 109 ) );
   QTest::mouseRelease( model.viewport(), Qt::LeftButton, Qt::NoModifier, At( model, 159, 109 ) );
   ASSERT_NE( model.dynamicCropData, nullptr );
   QTest::keyClick( &model, Qt::Key_Return );
   SetImageWindowMode( 0 );
   EXPECT_EQ( model.dynamicCropData, nullptr );
   qor::Image expected;
   expected.AssignRect( background, 40, 30, 120, 80 );
   EXPECT_TRUE( test::SamePixels( *model.image, expected ) );
   model.UndoRedo();
   EXPECT_TRUE( test::SamePixels( *model.image, background ) );
}

TEST_F( DynamicBackgroundExtractionDialogTest, SamplesAreAddedDraggedAndSelectedWithTheMouse )
{
   TImageWindow* w = Shown( 300, 200 );
   Click( *w, At( *w, 60, 60 ) );
   DynamicBackgroundExtractionData& data = *w->dbeData;

   // A click elsewhere adds a sample and makes it current; the first keeps its place.
   Click( *w, At( *w, 200, 120 ) );
   ASSERT_EQ( data.samples.size(), 2u );
   EXPECT_EQ( data.currentSample, 1 );
   EXPECT_EQ( dialog.SampleIndex_Label->text(), "Total: 2" );
   EXPECT_TRUE( dialog.Delete_Button->isEnabled() );

   // Over a sample the cursor says it can be grabbed; a drag moves it and measures it where it lands.
   const QPoint over = At( *w, 62, 58 );
   w->Image_PaintBoxMouseMove( Qt::NoButton, Qt::NoModifier, over.x() + w->ScrollX(), over.y() + w->ScrollY() );
   EXPECT_EQ( w->ShownCursorSlot(), CursorSelectObject );
   Drag( *w, At( *w, 62, 58 ), At( *w, 92, 78 ) );
   EXPECT_EQ( data.currentSample, 0 );
   EXPECT_EQ( data.samples[0].anchorX, 90 );
   EXPECT_EQ( data.samples[0].anchorY, 80 );
   EXPECT_EQ( dialog.AnchorX_Edit->text(), "90" );
   EXPECT_NEAR( data.samples[0].values[0], Sky( 90.0 / 300, 80.0 / 200 ), 2e-3 );

   // Dragged past the border, it stays inside.
   Drag( *w, At( *w, 90, 80 ), At( *w, 90, -50 ) );
   EXPECT_EQ( data.samples[0].anchorY, data.samples[0].radius );

   // With Ctrl held the press only selects.
   platform::KeyTracker::Instance().Press( Qt::Key_Control );
   Drag( *w, At( *w, 200, 120 ), At( *w, 230, 140 ) );
   platform::KeyTracker::Instance().Release( Qt::Key_Control );
   EXPECT_EQ( data.currentSample, 1 );
   EXPECT_EQ( data.samples[1].anchorX, 200 );

   // The centre lines: the vertical one is grabbed and dragged, the crossing moves the centre freely.
   EXPECT_EQ( data.symmetryCenterX, 150.0f );
   EXPECT_EQ( data.symmetryCenterY, 100.0f );
   Drag( *w, At( *w, 151, 20 ), At( *w, 171, 40 ) );
   EXPECT_EQ( data.symmetryCenterX, 170.0f );
   EXPECT_EQ( data.symmetryCenterY, 100.0f );
   Drag( *w, At( *w, 170, 100 ), At( *w, 160, 90 ) );
   EXPECT_EQ( data.symmetryCenterX, 160.0f );
   EXPECT_EQ( data.symmetryCenterY, 90.0f );
   EXPECT_EQ( dialog.SymmetryCenterX_Edit->text(), "160.00" );
   EXPECT_EQ( data.dragFlags, 0 );
   EXPECT_EQ( data.samples.size(), 2u );
}

TEST_F( DynamicBackgroundExtractionDialogTest, DeletingFollowsTheCurrentSample )
{
   TImageWindow* w = Shown( 300, 200 );
   Click( *w, At( *w, 40, 40 ) );
   DynamicBackgroundExtractionData& data = *w->dbeData;
   // One sample is never deleted; the Delete key of the mode still belongs to the session.
   EXPECT_TRUE( w->FormKeyDown( Qt::Key_Delete, Qt::NoModifier ) );
   dialog.DeleteCurrentSample();
   EXPECT_EQ( data.samples.size(), 1u );

   for ( int32_t x : { 100, 160, 220 } )
      Click( *w, At( *w, x, 40 ) );
   ASSERT_EQ( data.samples.size(), 4u );
   dialog.SampleIndex_Edit->setText( "2" );
   RunEditExitHandler( dialog.SampleIndex_Edit );
   EXPECT_EQ( data.currentSample, 1 );
   // The current sample deleted (by the key on the image): the one after it becomes current.
   EXPECT_TRUE( w->FormKeyDown( Qt::Key_Delete, Qt::NoModifier ) );
   ASSERT_EQ( data.samples.size(), 3u );
   EXPECT_EQ( data.currentSample, 1 );
   EXPECT_EQ( data.samples[1].anchorX, 160 );
   // The last one deleted while current: the one before it.
   dialog.SampleIndex_UpDown->stepUp();
   EXPECT_EQ( data.currentSample, 2 );
   dialog.Delete_Button->click();
   EXPECT_EQ( data.currentSample, 1 );
   // A sample before the current one: the same sample stays current.
   data.DeleteSample( 0 );
   EXPECT_EQ( data.currentSample, 0 );
   EXPECT_EQ( data.samples[0].anchorX, 160 );
   EXPECT_EQ( dialog.SampleIndex_Label->text(), "Total: 1" );
   EXPECT_FALSE( dialog.Delete_Button->isEnabled() );

   // An index out of range is refused and the edit shows the current one again.
   prompter.Expect( "out of range" );
   dialog.SampleIndex_Edit->setText( "0" );
   RunEditExitHandler( dialog.SampleIndex_Edit );
   EXPECT_TRUE( dialog.inputError );
   EXPECT_EQ( dialog.SampleIndex_Edit->text(), "1" );
}

TEST_F( DynamicBackgroundExtractionDialogTest, TheCurrentSampleIsEditedFromTheDialog )
{
   TImageWindow* w = Shown( 300, 200, 3 );
   Click( *w, At( *w, 80, 70 ) );
   DynamicBackgroundExtractionData& data = *w->dbeData;
   const qor::BackgroundSample& s = data.samples[0];
   EXPECT_EQ( dialog.RKValue_Label->text(), "R:" );
   EXPECT_TRUE( dialog.GValue_Panel->isEnabled() );
   EXPECT_FALSE( dialog.GValue_Panel->text().isEmpty() );

   dialog.AnchorX_Edit->setText( "120" );
   RunEditExitHandler( dialog.AnchorX_Edit );
   dialog.Radius_Edit->setText( "5" );
   RunEditExitHandler( dialog.Radius_Edit );
   EXPECT_EQ( s.anchorX, 120 );
   EXPECT_EQ( s.radius, 5 );
   EXPECT_EQ( s.mask.size(), 121u );
   EXPECT_EQ( dialog.PixelCount_Panel->text().toInt(), s.pixelCount );

   // Axial on a sample whose count is out of range takes the preference's count; the count follows its box.
   data.samples[0].axialCount = 0;
   dialog.AxialSymmetry_CheckBox->click();
   EXPECT_EQ( s.symmetries, qor::BackgroundSample::AxialSymmetry );
   EXPECT_EQ( s.axialCount, 6 );
   EXPECT_EQ( dialog.AxialSymmetryCount_Edit->text(), "6" );
   EXPECT_TRUE( dialog.AxialSymmetryCount_Edit->isEnabled() );
   dialog.AxialSymmetryCount_UpDown->stepUp();
   EXPECT_EQ( s.axialCount, 7 );
   dialog.HorizontalSymmetry_CheckBox->click();
   EXPECT_EQ( s.symmetries, qor::BackgroundSample::AxialSymmetry | qor::BackgroundSample::HorizontalSymmetry );
   dialog.ClearSymmetries_Button->click();
   EXPECT_EQ( s.symmetries, 0 );
   EXPECT_FALSE( dialog.AxialSymmetry_CheckBox->isChecked() );
   EXPECT_FALSE( dialog.AxialSymmetryCount_Edit->isEnabled() );

   // A fixed sample shows the colour frame in place of the mask and takes the frame's colour.
   dialog.FixedValue_CheckBox->click();
   EXPECT_TRUE( s.fixed );
   EXPECT_TRUE( s.mask.empty() );
   EXPECT_FALSE( dialog.Mask_Panel->isVisible() );
   EXPECT_TRUE( dialog.SelectColor_Frame->isVisible() );
   EXPECT_FALSE( dialog.SelectColor_Frame->grayOnly );
   dialog.SelectColor_Frame->color = { 0.25f, 0.5f, 0.75f };
   dialog.SelectColor_Frame->ColorChanged( dialog.SelectColor_Frame );
   EXPECT_EQ( s.values[1], 0.5f );
   EXPECT_EQ( dialog.GValue_Panel->text(), "0.5000" );
   // Released, it is measured again.
   dialog.FixedValue_CheckBox->click();
   EXPECT_FALSE( s.fixed );
   EXPECT_EQ( s.mask.size(), 121u );
   EXPECT_TRUE( dialog.Mask_Panel->isVisible() );

   // The tolerance measures every sample again; the centre of symmetry is typed or reset.
   dialog.Tolerance_Edit->setText( "0" );
   RunEditExitHandler( dialog.Tolerance_Edit );
   EXPECT_EQ( data.tolerance, 0.0f );
   EXPECT_LT( s.pixelCount, 121 );
   // The mask box shows the accepted pixels white and the rejected ones black, stretched over the box.
   const QImage mask = dialog.Mask_Panel->findChild<QWidget*>( "Mask_PaintBox" )->grab().toImage();
   int white = 0, black = 0;
   for ( int y = 0; y < mask.height(); ++y )
      for ( int x = 0; x < mask.width(); ++x )
         ( mask.pixelColor( x, y ) == QColor( Qt::white ) ? white : black ) += 1;
   EXPECT_GT( white, 0 );
   EXPECT_GT( black, white );
   dialog.SymmetryCenterX_Edit->setText( "12.5" );
   RunEditExitHandler( dialog.SymmetryCenterX_Edit );
   EXPECT_EQ( data.symmetryCenterX, 12.5f );
   dialog.ResetSymmetryCenterX_Button->click();
   EXPECT_EQ( data.symmetryCenterX, 150.0f );

   dialog.Order_ComboBox->setCurrentIndex( 2 );
   dialog.Order_ComboBox->activated( 2 );
   dialog.CurrentColor_ColorBox->setCurrentIndex( 12 );
   dialog.CurrentColor_ColorBox->activated( 12 );
   EXPECT_EQ( data.continuityOrder, 4 );
   EXPECT_EQ( data.currentSampleColor, QColor( Qt::blue ) );
}

TEST_F( DynamicBackgroundExtractionDialogTest, InstancesCarryTheEditAndRebuildIt )
{
   TImageWindow* w = Shown( 300, 200, 3 );
   Click( *w, At( *w, 60, 50 ) );
   DynamicBackgroundExtractionData& data = *w->dbeData;
   data.ChangeSample( 0, []( qor::BackgroundSample& s ) { s.symmetries = qor::BackgroundSample::VerticalSymmetry; } );
   Click( *w, At( *w, 200, 150 ) );
   data.ChangeSample( 1, []( qor::BackgroundSample& s ) {
      s.symmetries = qor::BackgroundSample::AxialSymmetry;
      s.axialCount = 4;
   } );

   const std::unique_ptr<Process> instance = dialog.NewInstance();
   const auto& p = dynamic_cast<const DynamicBackgroundExtraction&>( *instance ).Params();
   EXPECT_EQ( p.numberOfChannels, 3 );
   EXPECT_EQ( p.numberOfSamples, 2 + 4 );
   ASSERT_EQ( p.interfaceSamples.size(), 2u );
   EXPECT_FLOAT_EQ( p.interfaceSamples[0].x, 60.0f / 300 );
   EXPECT_FLOAT_EQ( p.interfaceSamples[0].r, 10.0f / 300 );
   EXPECT_EQ( p.interfaceSamples[1].symmetries, 8 );
   EXPECT_EQ( p.interfaceSamples[1].nA, 4 );
   // The vertical copy of the first sample mirrors its centroid about the centre row.
   EXPECT_FLOAT_EQ( p.y[1], 1.0f - p.y[0] );
   EXPECT_FLOAT_EQ( p.f[2][1], p.f[2][0] );

   // An instance dropped on the dialog replaces the edit; an instance without samples starts one at the corner.
   DynamicBackgroundExtraction other;
   other.Params().tolerance = 0.3f;
   other.Params().symmetryCenterX = 0.25f;
   DynamicBackgroundExtraction::SampleData far;
   far.x = 2.0f; // beyond the image: clamped into it
   far.y = 0.5f;
   far.r = 0.1f;
   far.symmetries = 8; // with the axial count of an old stream
   other.Params().interfaceSamples = { far, far };
   dialog.ImportInstance( other );
   ASSERT_EQ( data.samples.size(), 2u );
   EXPECT_EQ( data.tolerance, 0.3f );
   EXPECT_EQ( data.symmetryCenterX, 75.0f );
   EXPECT_EQ( data.samples[0].radius, 30 );
   EXPECT_EQ( data.samples[0].anchorX, 300 - 31 );
   EXPECT_EQ( dialog.Tolerance_Edit->text(), "0.300" );
   const std::unique_ptr<Process> again = dialog.NewInstance();
   EXPECT_EQ( dynamic_cast<const DynamicBackgroundExtraction&>( *again ).Params().numberOfSamples, 2 );

   dialog.ImportInstance( DynamicBackgroundExtraction() );
   ASSERT_EQ( data.samples.size(), 1u );
   EXPECT_EQ( data.samples[0].anchorX, 10 );
   EXPECT_EQ( data.samples[0].anchorY, 10 );
}

TEST_F( DynamicBackgroundExtractionDialogTest, OtherWindowsAndProcessesRespectTheSession )
{
   TImageWindow* w = Shown( 300, 200 );
   TImageWindow* other = Shown( 200, 100, 1, "Other" );
   Click( *w, At( *w, 60, 50 ) );
   ASSERT_NE( w->dbeData, nullptr );

   // A second session elsewhere is refused.
   prompter.Expect( "There is a Dynamic Background Extraction session already active" );
   Click( *other, At( *other, 30, 30 ) );
   EXPECT_EQ( other->dbeData, nullptr );
   EXPECT_EQ( dialog.data, w->dbeData.get() );

   // An instance of the process from elsewhere may not run while the dialog drives the edit.
   const std::unique_ptr<Process> foreign = dialog.NewInstance();
   EXPECT_FALSE( foreign->CanExecuteOn( *w->mainView ) );
   EXPECT_TRUE( foreign->CanExecuteOn( *other->mainView ) );

   // Another process asks first; No keeps the session, Yes ends it.
   Invert invert;
   prompter.Expect( "Cancel current Dynamic Background Extraction session?", platform::Answer::No );
   EXPECT_FALSE( invert.LaunchOn( *w->mainView ) );
   EXPECT_NE( w->dbeData, nullptr );
   prompter.Expect( "Cancel current Dynamic Background Extraction session?", platform::Answer::Yes );
   EXPECT_TRUE( invert.LaunchOn( *w->mainView ) );
   EXPECT_EQ( w->dbeData, nullptr );
   EXPECT_FALSE( dialog.isVisible() );

   // Closing the dialog asks; No keeps the session.
   Click( *other, At( *other, 30, 30 ) );
   ASSERT_NE( other->dbeData, nullptr );
   prompter.Expect( "Cancel Dynamic Background Extraction?", platform::Answer::No );
   dialog.close();
   EXPECT_NE( other->dbeData, nullptr );
   prompter.Expect( "Cancel Dynamic Background Extraction?", platform::Answer::Yes );
   dialog.close();
   EXPECT_EQ( other->dbeData, nullptr );
}

TEST_F( DynamicBackgroundExtractionDialogTest, TheOverlayIsDrawnAndOnlyChangedMarksAreRepainted )
{
   TImageWindow* w = Shown( 300, 200 );
   Click( *w, At( *w, 60, 50 ) );
   Click( *w, At( *w, 200, 150 ) );
   DynamicBackgroundExtractionData& data = *w->dbeData;
   data.ChangeSample( 1, []( qor::BackgroundSample& s ) { s.symmetries = qor::BackgroundSample::DiagonalSymmetry; } );

   // Drawn on a bitmap of the paint box: the current sample in red, the other in white, the centre lines, and the
   // current sample's line to its mirrored position.
   QImage canvas( w->PaintBoxSize(), QImage::Format_RGB32 );
   canvas.fill( Qt::black );
   {
      QPainter painter( &canvas );
      data.DrawOverlay( painter );
   }
   auto at = [&]( int32_t x, int32_t y ) { return canvas.pixelColor( x + w->imageOffsetX, y + w->imageOffsetY ); };
   EXPECT_EQ( at( 50, 45 ), QColor( Qt::white ) );  // top edge of the first box
   EXPECT_EQ( at( 190, 145 ), QColor( Qt::red ) );  // corner of the current box
   EXPECT_EQ( at( 150, 10 ), QColor( Qt::white ) ); // vertical centre line
   EXPECT_EQ( at( 10, 100 ), QColor( Qt::white ) ); // horizontal centre line
   // A quarter of the way from the centroid to its diagonal mirror (300 - x, 200 - y).
   const float cx = data.samples[1].centerX, cy = data.samples[1].centerY;
   const int32_t qx = int32_t( std::lround( cx + ( 300 - 2 * cx ) / 4 ) );
   const int32_t qy = int32_t( std::lround( cy + ( 200 - 2 * cy ) / 4 ) );
   bool onLine = false;
   for ( int32_t dy = -1; dy <= 1; ++dy )
      for ( int32_t dx = -1; dx <= 1; ++dx )
         onLine = onLine || at( qx + dx, qy + dy ) == QColor( Qt::red );
   EXPECT_TRUE( onLine );

   // The window draws the same over the image.
   const QImage shot = w->viewport()->grab().toImage();
   EXPECT_EQ( shot.pixelColor( At( *w, 190, 145 ) ), QColor( Qt::red ) );
   EXPECT_EQ( shot.pixelColor( At( *w, 50, 45 ) ), QColor( Qt::white ) );

   // Moving a sample repaints the two places of its marks only.
   QRegion painted;
   struct Recorder : QObject
   {
      QRegion* region;
      bool eventFilter( QObject*, QEvent* event ) override
      {
         if ( event->type() == QEvent::Paint )
            *region += static_cast<QPaintEvent*>( event )->region();
         return false;
      }
   } recorder;
   recorder.region = &painted;
   QCoreApplication::processEvents();
   w->viewport()->installEventFilter( &recorder );
   data.MoveSample( 0, 70, 60 );
   QCoreApplication::processEvents();
   w->viewport()->removeEventFilter( &recorder );
   const QRect bounds = painted.boundingRect();
   EXPECT_FALSE( painted.isEmpty() );
   EXPECT_LT( bounds.width(), 60 );
   EXPECT_LT( bounds.height(), 60 );
   EXPECT_TRUE( bounds.contains( At( *w, 60, 50 ) ) );
   EXPECT_TRUE( bounds.contains( At( *w, 70, 60 ) ) );

   // Nothing is drawn over a preview.
   w->SelectView( w->CreatePreview( "", 0, 0, 50, 50 ) );
   canvas.fill( Qt::black );
   {
      QPainter painter( &canvas );
      data.DrawOverlay( painter );
   }
   EXPECT_EQ( canvas.pixelColor( 150 + w->imageOffsetX, 10 ), QColor( Qt::black ) );
}

// ---- With the main window: the mode action, its idle rule and the launch from an instance -------------------------

namespace
{

class DynamicBackgroundExtractionMainWindowTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      main = test::ShownMainWindow();
      ASSERT_NE( main, nullptr );
   }

   void TearDown() override
   {
      test::DiscardAllImageWindows();
      main.reset();
      CurrentImageWindowMode = 0;
      test::ScriptedUiTest::TearDown();
   }

   TImageWindow* Open( const std::string& id )
   {
      TImageWindow* window = CreateImageWindow( main.get(), SkyImage( 120, 90, 1 ), id );
      window->Frame()->show();
      main->Desktop()->setActiveSubWindow( window->SubWindow() );
      return window;
   }

   std::unique_ptr<TMainWindow> main;
};

} // namespace

TEST_F( DynamicBackgroundExtractionMainWindowTest, TheModeActionFollowsTheSessionAndAnInstanceLaunchesOne )
{
   TImageWindow* a = Open( "A" );
   TImageWindow* b = Open( "B" );
   DynamicBackgroundExtraction prototype;
   main->ApplicationEvents1Idle();
   EXPECT_TRUE( main->DynamicBackgroundExtractionMode_Action->isEnabled() );
   EXPECT_TRUE( prototype.IsInterfaceAvailable() );
   EXPECT_EQ( prototype.Action(), main->DynamicBackgroundExtractionMode_Action );

   // An instance launched on the active window chooses the mode and starts an edit from its samples.
   DynamicBackgroundExtraction instance;
   DynamicBackgroundExtraction::SampleData s;
   s.x = 0.5f;
   s.y = 0.5f;
   s.r = 0.05f;
   instance.Params().interfaceSamples = { s };
   main->Desktop()->setActiveSubWindow( a->SubWindow() );
   instance.LaunchInterface();
   EXPECT_EQ( CurrentImageWindowMode, DBEMode );
   ASSERT_NE( a->dbeData, nullptr );
   ASSERT_EQ( a->dbeData->samples.size(), 1u );
   EXPECT_EQ( a->dbeData->samples[0].anchorX, 60 );
   EXPECT_EQ( a->dbeData->samples[0].radius, 6 );
   EXPECT_TRUE( DynamicBackgroundExtractionDialog().isVisible() );

   // The mode stays available on the edited window, not on another while the dialog serves this edit.
   main->ApplicationEvents1Idle();
   EXPECT_TRUE( main->DynamicBackgroundExtractionMode_Action->isEnabled() );
   main->Desktop()->setActiveSubWindow( b->SubWindow() );
   main->ApplicationEvents1Idle();
   EXPECT_FALSE( main->DynamicBackgroundExtractionMode_Action->isEnabled() );
   EXPECT_FALSE( prototype.IsInterfaceAvailable() );

   DynamicBackgroundExtractionDialog().Cancel_SpeedButton->click();
   EXPECT_EQ( a->dbeData, nullptr );
   main->ApplicationEvents1Idle();
   EXPECT_TRUE( main->DynamicBackgroundExtractionMode_Action->isEnabled() );
}
