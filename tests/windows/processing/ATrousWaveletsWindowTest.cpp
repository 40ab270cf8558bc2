// The wavelets window, its filter editor and the filter manager driven offscreen: the default filter set, the layer
// list and its controls, applying, kernel editing, and the library edits of the manager.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

#include "TestDirs.h"
#include "classlib/ImageTestSupport.h"
#include "windows/dialogs/FilterManagerDialog.h"
#include "windows/frames/FilterEditorFrame.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/ATrousWaveletsWindow.h"

namespace
{

class ATrousWaveletsWindowTest : public test::ImageWindowProcessTest
{
protected:
   void SetUp() override
   {
      test::ImageWindowProcessTest::SetUp();
      TATrousWaveletsWindow::defaultFilterSetFolder = folder.Path().string();
   }
   void TearDown() override
   {
      TATrousWaveletsWindow::defaultFilterSetFolder.clear();
      test::ImageWindowProcessTest::TearDown();
   }

   static void Type( QLineEdit* edit, const QString& text )
   {
      edit->setFocus();
      edit->setText( text );
      QTest::keyClick( edit, Qt::Key_Return );
   }

   static QStringList Row( const TATrousWaveletsWindow& window, int index )
   {
      const QTreeWidgetItem* item = window.Layers_ListView->topLevelItem( index );
      return { item->text( 0 ), item->text( 1 ), item->text( 2 ) };
   }

   static std::vector<std::string> Names( const KernelFilterSetModule& set )
   {
      std::vector<std::string> names;
      for ( const auto& f : set.filters )
         names.push_back( f->name );
      return names;
   }

   test::TempDir folder;
};

TEST_F( ATrousWaveletsWindowTest, FirstStartWritesTheBuiltInKernelsAndShowsTheDefault )
{
   TATrousWaveletsWindow window;
   const std::string path = TATrousWaveletsWindow::DefaultFilterSetPath();
   ASSERT_TRUE( std::filesystem::exists( path ) );
   KernelFilterSetModule stored;
   stored.Read( path );
   EXPECT_EQ( Names( stored ), ( std::vector<std::string>{ "5x5 B3-Spline", "5x5 Linear Interpolation",
                                                           "3x3 Linear Interpolation", "3x3 Small-Scale" } ) );
   EXPECT_EQ( stored.filters[0]->coefficients[7], 0.0938f );
   EXPECT_EQ( stored.filters[1]->coefficients[1], 0.0312f );
   EXPECT_EQ( stored.filters[3]->coefficients[4], 10.0f );
   EXPECT_TRUE( stored.filters[2]->readOnly );
   EXPECT_FALSE( stored.filters[3]->readOnly );

   EXPECT_EQ( window.FilterEditor->FilterNames_ComboBox->currentText(), "3x3 Linear Interpolation" );
   EXPECT_EQ( window.FilterEditor->FilterSize_Panel->text(), "3x3" );
   EXPECT_EQ( window.FilterEditor->FilterWeight_Panel->text(), "1.0000" );
   EXPECT_EQ( window.NewInstance()->ToText(), ATrousWaveletsTransform().ToText() );

   // A second start reads the file as it is now.
   stored.filters.erase( stored.filters.begin() );
   stored.Write( path );
   TATrousWaveletsWindow again;
   EXPECT_EQ( Names( again.FilterEditor->module ).size(), 3u );
   EXPECT_EQ( again.FilterEditor->FilterNames_ComboBox->count(), 4 );
}

TEST_F( ATrousWaveletsWindowTest, TheLayerListAndItsControls )
{
   TATrousWaveletsWindow window;
   window.show();
   ASSERT_EQ( window.Layers_ListView->topLevelItemCount(), 5 );
   EXPECT_EQ( Row( window, 0 ), ( QStringList{ "1", "1", "" } ) );
   EXPECT_EQ( Row( window, 3 ), ( QStringList{ "4", "4", "" } ) );
   EXPECT_EQ( Row( window, 4 ), ( QStringList{ "R", "-", "" } ) );
   EXPECT_EQ( window.WeightingCaption_Panel->text(), "  Detail Layer 1/4" );

   // Layer 1's weighting, noise reduction and deringing, written into its row.
   Type( window.Bias.edit, "0.5" );
   Type( window.NRAmount.edit, "0.5" );
   EXPECT_TRUE( window.NRIterations_ComboBox->isEnabled() );
   window.NRIterations_ComboBox->setCurrentIndex( 1 );
   window.NRIterations_ComboBox->activated( 1 );
   EXPECT_FALSE( window.DRThreshold.edit->isEnabled() );
   window.DRAmount.trackBar->setValue( 100 );
   EXPECT_EQ( window.DRAmount.edit->text(), "1.00" );
   EXPECT_TRUE( window.DRThreshold.edit->isEnabled() );
   EXPECT_EQ( Row( window, 0 )[2], "+0.500, S:(0.50,2,5), D:(1.00,0.050)" );
   prompter.Expect( "out of range" );
   Type( window.Bias.edit, "11" );
   EXPECT_TRUE( window.inputError );
   EXPECT_EQ( window.Bias.edit->text(), "+0.500" );

   // The residual: bias only.
   window.Layers_ListView->setCurrentItem( window.Layers_ListView->topLevelItem( 4 ) );
   EXPECT_EQ( window.currentLayer, 4 );
   EXPECT_EQ( window.WeightingCaption_Panel->text(), "  Residual Layer" );
   EXPECT_TRUE( window.Bias.edit->isEnabled() );
   EXPECT_FALSE( window.NRAmount.edit->isEnabled() );
   EXPECT_FALSE( window.DRAmount.edit->isEnabled() );

   // Scales.
   window.Dyadic_RadioButton->click();
   EXPECT_EQ( window.parameters.scaleDelta, 0 );
   EXPECT_EQ( Row( window, 3 )[1], "8" );
   EXPECT_FALSE( window.Linear_Edit->isEnabled() );
   window.Linear_RadioButton->click();
   prompter.Expect( "out of range" );
   Type( window.Linear_Edit, "20" );
   EXPECT_EQ( window.Linear_Edit->text(), "1" );
   Type( window.Linear_Edit, "3.7" );
   EXPECT_EQ( window.parameters.scaleDelta, 3 );
   EXPECT_EQ( Row( window, 2 )[1], "7" );

   // The layer count keeps the records by index.
   window.LayerCount_ComboBox->setCurrentIndex( 5 );
   window.LayerCount_ComboBox->activated( 5 );
   ASSERT_EQ( window.parameters.layers.size(), 7u );
   EXPECT_EQ( window.parameters.layers[0].bias, 0.5f );
   EXPECT_EQ( window.currentLayer, 0 );
   EXPECT_EQ( window.Layers_ListView->topLevelItemCount(), 7 );

   // Preview mode leaves one layer enabled, following the selection; leaving it enables every layer.
   window.Layers_ListView->setCurrentItem( window.Layers_ListView->topLevelItem( 2 ) );
   window.PreviewLayers_CheckBox->click();
   for ( size_t i = 0; i < 7; ++i )
      EXPECT_EQ( window.parameters.layers[i].enabled, i == 2 );
   EXPECT_EQ( Row( window, 2 )[2], "<* Preview *>" );
   EXPECT_TRUE( window.PreviewGamma_TrackBar->isEnabled() );
   window.Layers_ListView->setCurrentItem( window.Layers_ListView->topLevelItem( 5 ) );
   for ( size_t i = 0; i < 7; ++i )
      EXPECT_EQ( window.parameters.layers[i].enabled, i == 5 );
   window.PreviewGamma_TrackBar->setValue( 25 );
   EXPECT_EQ( window.parameters.previewGamma, 2.5f );
   EXPECT_EQ( window.PreviewGamma_TrackBar->toolTip(), "Preview Gamma = 2.5" );
   window.PreviewLayers_CheckBox->click();
   for ( const auto& r : window.parameters.layers )
      EXPECT_TRUE( r.enabled );

   // An imported noise threshold is kept as it is, not as the track bar's step.
   ATrousWaveletsTransform::Parameters p;
   p.noiseThresholdAmount = 0.5f;
   p.noiseThreshold = 2.25f;
   window.ImportInstance( ATrousWaveletsTransform( p ) );
   EXPECT_EQ( window.NTThreshold.edit->text(), "2.25" );
   EXPECT_TRUE( window.NTThreshold.edit->isEnabled() );
   EXPECT_EQ( window.NewInstance()->ToText(), ATrousWaveletsTransform( p ).ToText() );
   EXPECT_TRUE( ATrousWaveletsTransform().IsInterface( &window ) );
}

TEST_F( ATrousWaveletsWindowTest, ApplyRunsTheTransformShown )
{
   TATrousWaveletsWindow window;
   window.show();
   window.FilterEditor->SelectFilter( "5x5 B3-Spline" );
   window.Layers_ListView->itemDoubleClicked( window.Layers_ListView->topLevelItem( 0 ), 0 );
   EXPECT_FALSE( window.parameters.layers[0].enabled );
   Type( window.NTAmount.edit, "0.8" );

   TImageWindow* w = Make( RandomImage( 24, 20, 1, qor::ColorSpace::Gray ) );
   qor::Image expected( *w->image );
   {
      std::unique_ptr<Process> instance = window.NewInstance();
      auto& params = static_cast<ATrousWaveletsTransform&>( *instance ).Params();
      EXPECT_EQ( params.scalingFunctionKernelSize, 5 );
      EXPECT_FALSE( params.layers[0].enabled );
      EXPECT_EQ( params.noiseThresholdAmount, 0.8f );
      struct Plain : ProcessView
      {
         qor::Image* image;
         bool IsPreview() const override { return false; }
         std::string FullId() const override { return "x"; }
         qor::Image* TargetImage() const override { return image; }
      } plain;
      plain.image = &expected;
      instance->DoExecuteOn( plain );
   }
   w->mainView->selectingWindows.Add( &window );
   window.findChild<QAbstractButton*>( "Apply_Button" )->click();
   EXPECT_TRUE( test::SamePixels( *w->image, expected ) );
}

TEST_F( ATrousWaveletsWindowTest, TheKernelEditor )
{
   TATrousWaveletsWindow window;
   window.show();
   TFilterEditorFrame& editor = *window.FilterEditor;
   window.Pages_PageControl->setCurrentIndex( 1 );
   window.activateWindow();
   ASSERT_TRUE( QTest::qWaitForWindowActive( &window ) );

   // Typing into a cell: formats, rounding, the modified mark and its removal.
   Type( editor.Cell( 1, 1 ), "2" );
   EXPECT_EQ( editor.Cell( 1, 1 )->text(), "2" );
   EXPECT_EQ( editor.FilterNames_ComboBox->currentText(), "<* Modified *> 3x3 Linear Interpolation" );
   Type( editor.Cell( 1, 1 ), "0.25" );
   EXPECT_EQ( editor.FilterNames_ComboBox->currentText(), "3x3 Linear Interpolation" );
   Type( editor.Cell( 0, 0 ), "0.123456" );
   EXPECT_EQ( editor.Cell( 0, 0 )->text(), "0.1235" );
   EXPECT_EQ( editor.filter.coefficients[0], 0.1235f );
   Type( editor.Cell( 0, 0 ), "0" );
   EXPECT_EQ( editor.Cell( 0, 0 )->text(), "" );
   prompter.Expect( "out of range" );
   Type( editor.Cell( 0, 1 ), "101" );
   EXPECT_TRUE( window.inputError );
   EXPECT_EQ( editor.Cell( 0, 1 )->text(), "0.1250" );

   // Size arrows: within the window's limits the grid is rebuilt empty.
   editor.FilterSize_UpDownClick( false );
   EXPECT_EQ( editor.filter.size, 3 );
   editor.FilterSize_UpDownClick( true );
   EXPECT_EQ( editor.filter.size, 5 );
   EXPECT_EQ( editor.FilterNames_ComboBox->currentIndex(), 0 );
   EXPECT_EQ( editor.FilterSize_Panel->text(), "5x5" );

   // Symmetric from the upper-right quadrant, offset (1 : -1).
   std::vector<float> counting( 25 );
   for ( int i = 0; i < 25; ++i )
      counting[size_t( i )] = float( i + 1 );
   editor.SetFilter( 5, counting );
   editor.Cell( 1, 3 )->setFocus();
   EXPECT_EQ( editor.Position_Panel->text(), "1 : -1" );
   editor.Symmetric_Button->click();
   const std::vector<float> expected = { 5,  4,  3, 4,  5,  //
                                         10, 9,  8, 9,  10, //
                                         15, 14, 13, 14, 15, //
                                         10, 9,  8, 9,  10, //
                                         5,  4,  3, 4,  5 };
   EXPECT_EQ( editor.filter.coefficients, expected );

   // Normalize: positive kernels end with weight 1; an all-zero kernel stays.
   editor.Normalize_Button->click();
   EXPECT_EQ( editor.FilterWeight_Panel->text(), "1.0000" );
   editor.AllZero_Button->click();
   editor.Normalize_Button->click();
   EXPECT_EQ( editor.FilterWeight_Panel->text(), "0.0000" );
   editor.AllMinusOne_Button->click();
   EXPECT_EQ( editor.Cell( 2, 2 )->text(), "-1" );

   // An imported kernel that the library holds selects it; another selects the new filter.
   editor.SetFilter( 3, ATrousWaveletsTransform::Parameters::DefaultKernel() );
   EXPECT_EQ( editor.FilterNames_ComboBox->currentText(), "3x3 Linear Interpolation" );
   editor.SetFilter( 3, std::vector<float>( 9, 0.5f ) );
   EXPECT_EQ( editor.FilterNames_ComboBox->currentIndex(), 0 );

   // A file that is not a module: the error is shown, the library stays.
   const std::string bad = folder.File( "bad.lf-fsm" );
   std::ofstream( bad ) << "not a module";
   prompter.Expect( "File is not a valid QOR module" );
   editor.LoadFilterSetModule( bad );
   EXPECT_EQ( editor.module.filters.size(), 4u );
}

TEST_F( ATrousWaveletsWindowTest, TheFilterManager )
{
   TATrousWaveletsWindow window;
   window.show();
   TFilterEditorFrame& editor = *window.FilterEditor;
   const std::string path = TATrousWaveletsWindow::DefaultFilterSetPath();

   // A new filter: only "Add", named "New Filter", then "New Filter (1)"; the change is written to the file.
   editor.SetFilter( 3, std::vector<float>( 9, 1.0f ) );
   for ( int round = 0; round < 2; ++round )
      dialogs.Expect( "FilterManagerDialog",
                      [&]( QDialog& d )
                      {
                         auto& m = static_cast<TFilterManagerDialog&>( d );
                         EXPECT_EQ( m.CurrentFilterCaption_Panel->text(), "  Current Filter - new filter" );
                         EXPECT_FALSE( m.Replace_RadioButton->isEnabled() );
                         EXPECT_FALSE( m.Remove_RadioButton->isEnabled() );
                         return QDialog::Accepted;
                      } );
   editor.Manage_ButtonClick();
   editor.NewFilter();
   editor.Manage_ButtonClick();
   EXPECT_EQ( Names( editor.module ).back(), "New Filter (1)" );
   EXPECT_EQ( editor.FilterNames_ComboBox->currentText(), "New Filter (1)" );
   KernelFilterSetModule stored;
   stored.Read( path );
   EXPECT_EQ( Names( stored ), Names( editor.module ) );

   // A read-only filter: adding under its own name gives " (1)".
   editor.SelectFilter( "5x5 B3-Spline" );
   dialogs.Expect( "FilterManagerDialog",
                   [&]( QDialog& d )
                   {
                      auto& m = static_cast<TFilterManagerDialog&>( d );
                      EXPECT_EQ( m.CurrentFilterCaption_Panel->text(),
                                 "  Current Filter - read-only filter, cannot change source" );
                      EXPECT_EQ( m.NewName_Edit->text(), "5x5 B3-Spline" );
                      m.MakeChangesPermanent_CheckBox->setChecked( false );
                      return QDialog::Accepted;
                   } );
   editor.Manage_ButtonClick();
   EXPECT_EQ( Names( editor.module ).back(), "5x5 B3-Spline (1)" );

   // A writable filter: an empty new name adds a copy; Remove deletes the selected one and clears the kernel.
   dialogs.Expect( "FilterManagerDialog",
                   [&]( QDialog& d )
                   {
                      auto& m = static_cast<TFilterManagerDialog&>( d );
                      EXPECT_TRUE( m.Replace_RadioButton->isEnabled() );
                      m.NewName_Edit->clear();
                      return QDialog::Accepted;
                   } );
   editor.Manage_ButtonClick();
   EXPECT_EQ( Names( editor.module ).back(), "Copy of 5x5 B3-Spline (1)" );
   const size_t count = editor.module.filters.size();
   dialogs.Expect( "FilterManagerDialog",
                   [&]( QDialog& d )
                   {
                      auto& m = static_cast<TFilterManagerDialog&>( d );
                      m.Remove_RadioButton->click();
                      EXPECT_FALSE( m.NewName_Edit->isEnabled() );
                      return QDialog::Accepted;
                   } );
   editor.Manage_ButtonClick();
   EXPECT_EQ( editor.module.filters.size(), count - 1 );
   EXPECT_EQ( editor.FilterNames_ComboBox->currentIndex(), 0 );
   EXPECT_EQ( editor.filter.Weight(), 0.0 );

   // Loading from the dialog locks it: only "Done" is left, and closing applies nothing.
   KernelFilterSetModule other;
   other.filters.push_back( std::make_unique<KernelFilter>( "Only", 3, std::vector<float>( 9, 2.0f ) ) );
   const std::string otherPath = folder.File( "other.lf-fsm" );
   other.Write( otherPath );
   files.Expect( platform::FileDialogs::Kind::OpenFile, QStringList{ QString::fromStdString( folder.File( "other" ) ) } );
   dialogs.Expect( "FilterManagerDialog",
                   [&]( QDialog& d )
                   {
                      auto& m = static_cast<TFilterManagerDialog&>( d );
                      m.LoadFilterSetModule_Button->click();
                      EXPECT_FALSE( m.OK_Button->isEnabled() );
                      EXPECT_FALSE( m.Add_RadioButton->isEnabled() );
                      EXPECT_EQ( m.Cancel_Button->text(), "Done" );
                      m.Cancel_Button->click();
                      return QDialog::Rejected;
                   } );
   editor.Manage_ButtonClick();
   EXPECT_EQ( Names( editor.module ), std::vector<std::string>{ "Only" } );
   EXPECT_EQ( editor.module.FilePath(), otherPath );
}

} // namespace
