// The Pixel Math window driven offscreen (the source list, its items and their links, the result and destination
// controls, instances), PixelMathTransform run on image windows (replace with undo, a new image that leaves the
// target and its undo data alone, masking, the broken-link question), and its main-window action.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "classlib/ImageTestSupport.h"
#include "classlib/PixelMath.h"
#include "process/PixelMathTransform.h"
#include "process/ProcessContainer.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/PixelMathWindow.h"

namespace
{

using P = qor::PixelMathOperator;
using SourceItem = PixelMathTransform::SourceItem;

std::vector<uint32_t> Bits( const qor::Image& image )
{
   std::vector<uint32_t> bits;
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
   {
      const size_t at = bits.size();
      bits.resize( at + size_t( image.NumberOfPixels() ) );
      std::memcpy( bits.data() + at, image.PixelData( c ), size_t( image.NumberOfPixels() ) * sizeof( float ) );
   }
   return bits;
}

class PixelMathWindowTest : public test::ImageWindowProcessTest
{
protected:
   void SetUp() override
   {
      test::ImageWindowProcessTest::SetUp();
      window = std::make_unique<TPixelMathWindow>();
      window->show();
   }
   void TearDown() override
   {
      window.reset();
      test::ImageWindowProcessTest::TearDown();
   }

   TImageWindow* Open( const std::string& id, int32_t channels, int32_t width = 12, int32_t height = 8,
                       uint32_t seed = 7 )
   {
      return Make(
          RandomImage( width, height, channels, channels == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB, seed ),
          id );
   }

   QStringList Row( int32_t row ) const
   {
      QStringList cells;
      const QAbstractItemModel* model = window->Source_ListView->model();
      for ( int32_t column = 0; column < model->columnCount(); ++column )
         cells << model->index( row, column ).data().toString();
      return cells;
   }

   int32_t RowCount() const { return window->Source_ListView->model()->rowCount(); }

   // Chooses an entry of the views list as the user does.
   void ChooseOperand( const QString& text )
   {
      QComboBox* list = window->ViewsList->ViewsList_ComboBox;
      const int index = list->findText( text );
      ASSERT_GE( index, 0 ) << text.toStdString();
      list->setCurrentIndex( index );
      list->activated( index );
   }

   void ChooseOperator( int32_t op )
   {
      window->Operator_ComboBox->setCurrentIndex( op );
      window->Operator_ComboBox->activated( op );
   }

   void ClickRow( int32_t row )
   {
      const QModelIndex index = window->Source_ListView->model()->index( row, 0 );
      const QRect rect = window->Source_ListView->visualRect( index );
      QTest::mouseClick( window->Source_ListView->viewport(), Qt::LeftButton, {}, rect.center() );
   }

   // An instance with one constant operand, clipping its result, writing a new image.
   static PixelMathTransform NewImageOfConstants( int32_t op, float r, float g = 1, float b = 1 )
   {
      PixelMathTransform p;
      SourceItem item;
      item.op = int8_t( op );
      item.channelFactors.factors[0] = r;
      item.channelFactors.factors[1] = g;
      item.channelFactors.factors[2] = b;
      p.Values().sources.push_back( item );
      p.Values().result.rescale = false;
      p.Values().destination = PixelMathTransform::CreateNew;
      return p;
   }

   static void Type( QLineEdit* edit, const QString& text )
   {
      edit->setFocus();
      edit->setText( text );
      QTest::keyClick( edit, Qt::Key_Return );
   }

   std::unique_ptr<TPixelMathWindow> window;
};

} // namespace

// ---- The source list ----------------------------------------------------------------------------------------------

TEST_F( PixelMathWindowTest, TheTargetRowCannotBeMovedDeletedOrGivenAnOperand )
{
   ASSERT_EQ( RowCount(), 1 );
   EXPECT_EQ( Row( 0 ), ( QStringList{ "0", "", "<* target *>", "+1.000000", "+1.000000", "+1.000000", "" } ) );
   EXPECT_FALSE( window->Operator_ComboBox->isEnabled() );
   EXPECT_FALSE( window->ViewsList->isEnabled() );
   EXPECT_FALSE( window->Delete_Button->isEnabled() );
   EXPECT_FALSE( window->Up_SpeedButton->isEnabled() );
   EXPECT_FALSE( window->Down_SpeedButton->isEnabled() );
   EXPECT_TRUE( window->SrcInvert_CheckBox->isEnabled() );
   EXPECT_EQ( window->SrcR_Label->text(), "R/K:" );
   EXPECT_EQ( window->Operator_ComboBox->count(), 14 );
   EXPECT_EQ( window->Operator_ComboBox->itemText( 5 ), "DIV* : Divide / Constrained Infinity" );

   window->New_Button->click();
   window->New_Button->click();
   ASSERT_EQ( RowCount(), 3 );
   EXPECT_EQ( window->currentItem, 2 );
   EXPECT_EQ( Row( 2 ), ( QStringList{ "2", "NOP", "", "+1.000000", "+1.000000", "+1.000000", "" } ) );
   EXPECT_TRUE( window->Up_SpeedButton->isEnabled() );
   EXPECT_FALSE( window->Down_SpeedButton->isEnabled() );
   EXPECT_TRUE( window->Delete_Button->isEnabled() );
   EXPECT_TRUE( window->Operator_ComboBox->isEnabled() );
   // A constant item: no inversion.
   EXPECT_FALSE( window->SrcInvert_CheckBox->isEnabled() );

   ClickRow( 1 );
   EXPECT_EQ( window->currentItem, 1 );
   EXPECT_FALSE( window->Up_SpeedButton->isEnabled() ); // nothing moves above the target
   EXPECT_TRUE( window->Down_SpeedButton->isEnabled() );
   window->Up_SpeedButtonClick();
   EXPECT_EQ( window->currentItem, 1 );

   ClickRow( 0 );
   EXPECT_EQ( window->currentItem, 0 );
   window->Delete_ButtonClick();
   window->Down_SpeedButtonClick();
   EXPECT_EQ( RowCount(), 3 );
   EXPECT_EQ( window->currentItem, 0 );
}

TEST_F( PixelMathWindowTest, ItemsAreAddedMovedAndDeletedWithTheirOperandsAndFactors )
{
   Open( "M31", 3 );
   Open( "Flat", 1 );
   window->New_Button->click();
   ChooseOperand( "M31" );
   ChooseOperator( P::SUB );
   Type( window->SrcG_Edit, "0.5" );
   window->SrcInvert_CheckBox->click();
   EXPECT_EQ( Row( 1 ), ( QStringList{ "1", "SUB", "M31", "+1.000000", "+0.500000", "+1.000000", "x" } ) );
   EXPECT_EQ( window->SrcR_Label->text(), "R:" );

   window->New_Button->click();
   ChooseOperand( "Flat" );
   ChooseOperator( P::MUL );
   EXPECT_EQ( Row( 2 ), ( QStringList{ "2", "MUL", "Flat", "+1.000000", "n/a", "n/a", "" } ) );
   EXPECT_EQ( window->SrcR_Label->text(), "K:" );
   EXPECT_FALSE( window->SrcG_Edit->isEnabled() );
   EXPECT_FALSE( window->SrcB_Label->isEnabled() );
   EXPECT_TRUE( window->SrcInvert_CheckBox->isEnabled() );

   // Up: the whole item moves, and stays the current one.
   window->Up_SpeedButton->click();
   EXPECT_EQ( window->currentItem, 1 );
   EXPECT_EQ( Row( 1 )[1], "MUL" );
   EXPECT_EQ( Row( 2 ), ( QStringList{ "2", "SUB", "M31", "+1.000000", "+0.500000", "+1.000000", "x" } ) );
   EXPECT_EQ( window->Operator_ComboBox->currentIndex(), P::MUL );
   window->Down_SpeedButton->click();
   EXPECT_EQ( window->currentItem, 2 );
   EXPECT_EQ( Row( 1 )[2], "M31" );

   // No view: a constant item.
   ClickRow( 1 );
   ChooseOperand( "<* No view selected *>" );
   EXPECT_EQ( window->parameters.sources[1].imageId, "" );
   EXPECT_EQ( Row( 1 )[2], "" );
   EXPECT_FALSE( window->SrcInvert_CheckBox->isEnabled() );
   EXPECT_FALSE( window->SrcInvert_CheckBox->isChecked() );
   EXPECT_EQ( window->SrcR_Label->text(), "R/K:" );

   window->ResetSourceFactors_Button->click();
   EXPECT_EQ( Row( 1 ), ( QStringList{ "1", "SUB", "", "+1.000000", "+1.000000", "+1.000000", "" } ) );

   // Delete keeps the index, within the list.
   ClickRow( 2 );
   window->Delete_Button->click();
   EXPECT_EQ( RowCount(), 2 );
   EXPECT_EQ( window->currentItem, 1 );

   // Clear leaves only the target, and the result stage and destination as they were.
   window->parameters.result.addConstant = 0.5f;
   window->CreateNew_RadioButton->click();
   window->Clear_Button->click();
   EXPECT_EQ( RowCount(), 1 );
   EXPECT_EQ( window->currentItem, 0 );
   EXPECT_EQ( window->parameters.result.addConstant, 0.5f );
   EXPECT_EQ( window->parameters.destination, PixelMathTransform::CreateNew );
}

TEST_F( PixelMathWindowTest, ClosedImagesShowAsBrokenLinksUntilAnImageBearsTheirIdentifierAgain )
{
   TImageWindow* flat = Open( "Flat", 1 );
   TImageWindow* dark = Open( "Dark", 3 );
   window->New_Button->click();
   ChooseOperand( "Flat" );
   window->New_Button->click();
   ChooseOperand( "Dark" );

   delete flat;
   EXPECT_EQ( Row( 1 )[2], "Flat <*broken*>" );
   EXPECT_EQ( window->parameters.sources[1].view, nullptr );
   EXPECT_EQ( window->ViewsList->ViewsList_ComboBox->findText( "Flat" ), -1 );

   Open( "Flat", 3 );
   EXPECT_EQ( Row( 1 )[2], "Flat" );
   EXPECT_EQ( Row( 1 )[4], "+1.000000" ); // a colour image now

   // A renamed image takes its items along.
   dark->mainView->SetIdentifier( "Darker" );
   EXPECT_EQ( window->parameters.sources[2].imageId, "Darker" );
   EXPECT_EQ( Row( 2 )[2], "Darker" );
   EXPECT_NE( window->ViewsList->ViewsList_ComboBox->findText( "Darker" ), -1 );
}

// ---- Edits --------------------------------------------------------------------------------------------------------

TEST_F( PixelMathWindowTest, EditsAreRangeCheckedAndTheBoundsStayOrdered )
{
   window->New_Button->click();
   Type( window->SrcR_Edit, "0.25" );
   EXPECT_EQ( window->parameters.sources[1].channelFactors.factors[0], 0.25f );
   prompter.Expect( "out of range" );
   Type( window->SrcR_Edit, "150" );
   EXPECT_TRUE( window->inputError );
   EXPECT_EQ( window->SrcR_Edit->text(), "+0.250000" );
   EXPECT_EQ( window->parameters.sources[1].channelFactors.factors[0], 0.25f );

   Type( window->AddConstant_Edit, "-0.5" );
   EXPECT_EQ( window->parameters.result.addConstant, -0.5f );
   EXPECT_EQ( window->AddConstant_Edit->text(), "-0.500000" );
   Type( window->ResB_Edit, "2" );
   EXPECT_EQ( window->parameters.result.resultFactors.factors[2], 2.0f );

   Type( window->RescaleUpper_Edit, "0.5" );
   Type( window->RescaleLower_Edit, "0.9" );
   EXPECT_EQ( window->parameters.result.rescaleLower, 0.5f );
   EXPECT_EQ( window->parameters.result.rescaleUpper, 0.9f );
   EXPECT_EQ( window->RescaleLower_Edit->text(), "0.500000" );
   EXPECT_EQ( window->RescaleUpper_Edit->text(), "0.900000" );
   Type( window->RescaleUpper_Edit, "0.1" );
   EXPECT_EQ( window->parameters.result.rescaleLower, 0.1f );
   EXPECT_EQ( window->parameters.result.rescaleUpper, 0.5f );
   prompter.Expect( "out of range" );
   Type( window->RescaleLower_Edit, "1.5" );
   EXPECT_EQ( window->parameters.result.rescaleLower, 0.1f );

   window->Rescale_CheckBox->click();
   EXPECT_FALSE( window->parameters.result.rescale );
   EXPECT_FALSE( window->RescaleLower_Edit->isEnabled() );
   window->ResInvert_CheckBox->click();
   EXPECT_TRUE( window->parameters.result.resultFactors.invert );

   // Reset of the result stage keeps the list and the destination.
   window->CreateNew_RadioButton->click();
   window->ResetResultData_Button->click();
   EXPECT_EQ( window->parameters.result.addConstant, 0.0f );
   EXPECT_TRUE( window->parameters.result.rescale );
   EXPECT_EQ( window->parameters.result.rescaleUpper, 1.0f );
   EXPECT_FALSE( window->ResInvert_CheckBox->isChecked() );
   EXPECT_TRUE( window->RescaleLower_Edit->isEnabled() );
   EXPECT_EQ( RowCount(), 2 );
   EXPECT_TRUE( window->CreateNew_RadioButton->isChecked() );
   window->Replace_RadioButton->click();
   EXPECT_EQ( window->parameters.destination, PixelMathTransform::Replace );
}

TEST_F( PixelMathWindowTest, InstancesCarryTheSetBothWays )
{
   Open( "Flat", 1 );
   window->New_Button->click();
   ChooseOperand( "Flat" );
   ChooseOperator( P::DIV );
   window->New_Button->click();
   window->New_Button->click();
   EXPECT_EQ( window->currentItem, 3 );

   std::unique_ptr<Process> made = window->NewInstance();
   const auto& values = static_cast<PixelMathTransform&>( *made ).Values();
   EXPECT_EQ( values.ToText( 0 ), window->parameters.ToText( 0 ) );
   EXPECT_EQ( window->NewProbeInstance()->ToText(), PixelMathTransform().ToText() );

   // An instance with fewer items leaves its last item current; its links are looked up.
   PixelMathTransform shorter;
   SourceItem item;
   item.op = P::MAX;
   item.imageId = "Flat";
   shorter.Values().sources.push_back( item );
   shorter.Values().destination = PixelMathTransform::CreateNew;
   window->ImportInstance( shorter );
   EXPECT_EQ( RowCount(), 2 );
   EXPECT_EQ( window->currentItem, 1 );
   EXPECT_EQ( window->Operator_ComboBox->currentIndex(), P::MAX );
   EXPECT_NE( window->parameters.sources[1].view, nullptr );
   EXPECT_EQ( window->SrcR_Label->text(), "K:" );
   EXPECT_TRUE( window->CreateNew_RadioButton->isChecked() );
}

// ---- Runs on image windows ----------------------------------------------------------------------------------------

TEST_F( PixelMathWindowTest, AReplacedTargetIsUndoneToItsOriginalBytes )
{
   TImageWindow* target = Open( "Target", 3, 12, 8, 1 );
   Open( "Other", 1, 6, 4, 2 ); // another size: resampled
   const std::vector<uint32_t> original = Bits( *target->image );
   window->New_Button->click();
   ChooseOperand( "Other" );
   ChooseOperator( P::ADD );
   ASSERT_TRUE( window->NewInstance()->LaunchOn( *target->mainView ) );
   EXPECT_NE( Bits( *target->image ), original );
   EXPECT_EQ( target->modificationCount, 1 );
   ASSERT_NE( target->mainView->LastProcess(), nullptr );
   EXPECT_EQ( target->mainView->LastProcess()->Id(), "PixelMathTransform" );
   ASSERT_TRUE( target->undoAvailable );
   target->UndoRedo();
   EXPECT_EQ( Bits( *target->image ), original );
}

TEST_F( PixelMathWindowTest, ANewImageLeavesTheTargetAndItsUndoDataAlone )
{
   TImageWindow* target = Open( "Target", 1, 12, 8, 1 );
   const std::vector<uint32_t> original = Bits( *target->image );

   // A first run that the target can undo.
   PixelMathTransform invert;
   invert.Values().sources[0].channelFactors.invert = true;
   invert.Values().result.rescale = false;
   ASSERT_TRUE( invert.LaunchOn( *target->mainView ) );
   const std::vector<uint32_t> inverted = Bits( *target->image );
   const int32_t modifications = target->modificationCount;

   PixelMathTransform add = NewImageOfConstants( P::ADD, 0.5f );
   ASSERT_TRUE( add.LaunchOn( *target->mainView ) );

   TImageWindow::View* made = FindMainViewByIdentifier( "Target_pixelMath" );
   ASSERT_NE( made, nullptr );
   Track( made->Window() );
   EXPECT_EQ( made->Window()->modificationCount, 1 );
   for ( int64_t i = 0; i < target->image->NumberOfPixels(); ++i )
      ASSERT_EQ( made->GetImage()[0][i], float( std::min( 1.0, double( target->image->PixelData( 0 )[i] ) + 0.5 ) ) );

   // The target is as it was, and its undo still gives back the state before the first run.
   EXPECT_EQ( Bits( *target->image ), inverted );
   EXPECT_EQ( target->modificationCount, modifications );
   ASSERT_TRUE( target->undoAvailable );
   target->UndoRedo();
   EXPECT_EQ( Bits( *target->image ), original );
}

TEST_F( PixelMathWindowTest, ANewImageIsMaskedWithTheUnchangedTarget )
{
   TImageWindow* target = Open( "Target", 3, 10, 6, 1 );
   TImageWindow* mask = Open( "Mask", 1, 10, 6, 2 );
   target->SetMask( mask );
   const qor::Image original( *target->image );

   PixelMathTransform move = NewImageOfConstants( P::MOV, 0.25f, 0.5f, 0.75f );
   ASSERT_TRUE( move.LaunchOn( *target->mainView ) );

   TImageWindow::View* made = FindMainViewByIdentifier( "Target_pixelMath" );
   ASSERT_NE( made, nullptr );
   Track( made->Window() );
   EXPECT_TRUE( test::SamePixels( *target->image, original ) );
   const float moved[3] = { 0.25f, 0.5f, 0.75f };
   for ( int32_t c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < original.NumberOfPixels(); ++i )
      {
         const double m = mask->image->PixelData( 0 )[i];
         ASSERT_EQ( made->GetImage()[c][i], float( double( moved[c] ) * m + ( 1 - m ) * double( original[c][i] ) ) );
      }
   ASSERT_NE( target->mainView->LastProcess(), nullptr );
   EXPECT_EQ( target->mainView->LastProcess()->mask, mask );
}

TEST_F( PixelMathWindowTest, ABrokenLinkAnsweredNoAbortsTheRunAndTheImageIsRecovered )
{
   TImageWindow* target = Open( "Target", 1, 12, 8, 1 );
   const std::vector<uint32_t> original = Bits( *target->image );
   PixelMathTransform p;
   p.Values().sources[0].channelFactors.invert = true; // the target changes before the question
   SourceItem gone;
   gone.op = P::ADD;
   gone.imageId = "Gone";
   p.Values().sources.push_back( gone );

   prompter.Expect( "A link to the view:\nGone\nis broken.", platform::Answer::No );
   prompter.Expect( "Process aborted. Image recovered." );
   EXPECT_FALSE( p.LaunchOn( *target->mainView ) );
   EXPECT_EQ( Bits( *target->image ), original );
   EXPECT_EQ( target->mainView->History().instances.Length(), 0u );

   prompter.Expect( "is broken", platform::Answer::Yes );
   EXPECT_TRUE( p.LaunchOn( *target->mainView ) );
   EXPECT_EQ( target->mainView->History().instances.Length(), 1u );
}

// ---- The main window ----------------------------------------------------------------------------------------------

TEST_F( PixelMathWindowTest, TheMainWindowsActionShowsTheWindowFromTheToolBar )
{
   TMainWindow main;
   QAction* action = main.ProcessPixelMath_Action;
   ASSERT_NE( action, nullptr );
   EXPECT_EQ( action->text(), "Pixel Math" );
   EXPECT_TRUE( main.AdvancedProcessing_ToolBar->actions().contains( action ) );
   main.ApplicationEvents1Idle();
   EXPECT_TRUE( action->isEnabled() ); // no image needed

   PixelMathWindow().hide();
   action->trigger();
   EXPECT_TRUE( PixelMathWindow().isVisible() );

   // An instance opens the window with its set.
   PixelMathTransform instance;
   instance.Values().sources.resize( 3 );
   EXPECT_EQ( instance.Action(), action );
   EXPECT_TRUE( instance.IsInterface( &PixelMathWindow() ) );
   PixelMathWindow().hide();
   instance.LaunchInterface();
   EXPECT_TRUE( PixelMathWindow().isVisible() );
   EXPECT_EQ( PixelMathWindow().parameters.sources.size(), 3u );
   PixelMathWindow().hide();
}
