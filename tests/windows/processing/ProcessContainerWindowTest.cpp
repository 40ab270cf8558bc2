// The process container window and its view frame: rows of nested containers, drops that append and insert, row
// moves (refused into a descendant), Delete removing an emptied nested container, and the enable toggle.

#include <gtest/gtest.h>

#include <QTest>
#include <QTreeWidget>

#include "TestSupport.h"
#include "platform/DragRunner.h"
#include "process/MedianFilter.h"
#include "process/MinMaxFilter.h"
#include "process/ProcessContainer.h"
#include "windows/frames/ProcessContainerViewFrame.h"
#include "windows/processing/ProcessContainerWindow.h"
#include "windows/processing/ProcessingTestKit.h"

namespace
{

class ProcessContainerWindowTest : public test::ScriptedUiTest
{
protected:
   // The identifiers of the rows as shown ("    Scale" one level deep).
   QStringList Rows() const
   {
      QStringList rows;
      QTreeWidget* list = window.ProcessContainerView->Processing_ListView;
      for ( int i = 0; i < list->topLevelItemCount(); ++i )
         rows << list->topLevelItem( i )->text( 1 );
      return rows;
   }

   // Median, [MinMax, Scale], Median: a nested container on rows 2 to 4.
   void Fill()
   {
      auto nested = std::make_unique<ProcessContainer>();
      nested->AddInstance( std::make_unique<MinMaxFilter>() );
      nested->AddInstance( std::make_unique<test::Scale>() );
      window.AppendInstance( std::make_unique<MedianFilter>() );
      window.AppendInstance( std::move( nested ) );
      window.AppendInstance( std::make_unique<MedianFilter>() );
   }

   TProcessContainerWindow window;
   platform::ScriptedDragRunner drags;
   platform::DragRunnerScope dragScope{ drags };
};

} // namespace

TEST_F( ProcessContainerWindowTest, NestedContainersAreFlattenedIntoNumberedRows )
{
   Fill();
   EXPECT_EQ( Rows(), ( QStringList{ "MedianFilter", "ProcessContainer", "    MinMaxFilter", "    Scale",
                                     "MedianFilter" } ) );
   QTreeWidgetItem* row = window.ProcessContainerView->Processing_ListView->topLevelItem( 3 );
   EXPECT_EQ( row->text( 0 ), "04" );
   EXPECT_EQ( row->text( 2 ), "n/a" );
   EXPECT_EQ( row->text( 3 ), "n/a" );
   EXPECT_EQ( row->text( 5 ), "factor=0.500" );
   EXPECT_EQ( row->checkState( 0 ), Qt::Checked );

   // A double click on the first column toggles the instance without opening anything.
   window.ProcessContainerView->Processing_ListViewDblClick( row, 0 );
   EXPECT_FALSE( window.ProcessContainerView->InstanceAtRow( 3 )->enabled );
   EXPECT_EQ( row->checkState( 0 ), Qt::Unchecked );

   // A lost mask is marked.
   Process* median = window.ProcessContainerView->InstanceAtRow( 0 );
   median->maskId = "Mask01";
   median->maskLost = true;
   window.ProcessContainerView->Refresh();
   EXPECT_EQ( window.ProcessContainerView->Processing_ListView->topLevelItem( 0 )->text( 4 ), "Mask01 <*broken*>" );
}

TEST_F( ProcessContainerWindowTest, DropsAppendBelowTheRowsAndInsertOnARow )
{
   Fill();
   test::TScaleWindow source;
   source.show();
   window.show();
   QTreeWidget* list = window.ProcessContainerView->Processing_ListView;
   const QRect third = list->visualItemRect( list->topLevelItem( 2 ) );

   // On row 3 (inside the nested container): inserted before it, in that container.
   drags.ExpectDropOn( list->viewport(), third.center() );
   QTest::mousePress( source.processDragObject, Qt::LeftButton, Qt::NoModifier, QPoint( 3, 3 ) );
   QTest::mouseMove( source.processDragObject, QPoint( 4, 4 ) );
   EXPECT_EQ( Rows(), ( QStringList{ "MedianFilter", "ProcessContainer", "    Scale", "    MinMaxFilter",
                                     "    Scale", "MedianFilter" } ) );

   // Below the last row: appended at the top level.
   drags.ExpectDropOn( list->viewport(), QPoint( 5, list->viewport()->height() - 2 ) );
   window.ProcessContainerView->SelectRow( 5 );
   source.processDragObject->BeginDrag();
   EXPECT_EQ( Rows().size(), 7 );
   EXPECT_EQ( Rows().back(), "Scale" );

   // The window's own handle is never taken.
   drags.ExpectDropOn( list->viewport(), third.center() );
   EXPECT_EQ( window.processDragObject->BeginDrag(), Qt::IgnoreAction );
   EXPECT_EQ( Rows().size(), 7 );

   // A container dropped on the form replaces the whole container with a copy.
   ProcessContainer other;
   other.AddInstance( std::make_unique<MinMaxFilter>() );
   window.ImportInstance( other );
   EXPECT_EQ( Rows(), QStringList{ "MinMaxFilter" } );
}

TEST_F( ProcessContainerWindowTest, RowMovesRefuseADescendantAndEmptyContainersGo )
{
   Fill();
   TProcessContainerViewFrame& view = *window.ProcessContainerView;
   Process* nested = view.InstanceAtRow( 1 );
   Process* inner = view.InstanceAtRow( 2 );

   // Into its own instance: an error, and nothing moves.
   prompter.Expect( "The target instance is a descendant of the container being moved" );
   EXPECT_FALSE( window.MoveInstance( nested, inner ) );
   EXPECT_EQ( Rows().size(), 5 );

   // The last top-level row moved before a nested row joins that container.
   EXPECT_TRUE( window.MoveInstance( view.InstanceAtRow( 4 ), inner ) );
   EXPECT_EQ( Rows(), ( QStringList{ "MedianFilter", "ProcessContainer", "    MedianFilter", "    MinMaxFilter",
                                     "    Scale" } ) );
   EXPECT_EQ( view.SelectedRow(), 2 );

   // Deleting every instance of the nested container removes it too; the top level stays.
   for ( int i = 0; i < 3; ++i )
   {
      view.SelectRow( 2 );
      window.RemoveSelected();
   }
   EXPECT_EQ( Rows(), QStringList{ "MedianFilter" } );
   view.SelectRow( 0 );
   window.RemoveSelected();
   EXPECT_TRUE( Rows().isEmpty() );
   EXPECT_EQ( window.NewInstance()->Id(), "ProcessContainer" );
}
