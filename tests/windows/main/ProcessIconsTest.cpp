// Process icons on the desktop: identifiers, selection, drops from a processing window's handle, the pop-up menu's
// rename and delete, arranging, and the icon set files (save, replace, merge, damaged files, the question about a
// modified set).

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <QCheckBox>
#include <QPainter>

#include <cstring>
#include <memory>
#include <set>

#include "TestSupport.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "platform/DragRunner.h"
#include "platform/KeyTracker.h"
#include "process/Invert.h"
#include "process/MedianFilter.h"
#include "process/MinMaxFilter.h"
#include "process/Preferences.h"
#include "process/ProcessContainer.h"
#include "process/ProcessIconSetModule.h"
#include "process/ProcessRegistry.h"
#include "windows/dialogs/SetIdentifierDialog.h"
#include "windows/dialogs/WarningMessageWithDontAskAgainDialog.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"
#include "windows/main/ActionIcons.h"
#include "windows/main/MainWindowTestSupport.h"
#include "windows/processing/MedianFilterWindow.h"
#include "windows/processing/ProcessIcon.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/ProcessingTestKit.h"

namespace
{

class ProcessIconsTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      saved = CurrentPreferences;
      main = std::make_unique<TMainWindow>();
      main->resize( 800, 600 );
      main->show();
   }

   void TearDown() override
   {
      ProcessIconSetModificationCount = 0; // no question at the close of a test
      main.reset();
      CurrentPreferences = saved;
      AskBeforeProcessIconReplacement = true;
      test::ScriptedUiTest::TearDown();
   }

   TProcessIcon* Icon( int x, int y, std::unique_ptr<Process> instance = nullptr, const std::string& id = "" )
   {
      if ( instance == nullptr )
         instance = std::make_unique<MedianFilter>();
      return main->CreateProcessIcon( x, y, std::move( instance ), id, true );
   }

   QString Path( const char* name ) const { return dir.filePath( name ); }

   static std::vector<std::string> Identifiers()
   {
      std::vector<std::string> ids;
      for ( const TProcessIcon* icon : ProcessIcons )
         ids.push_back( icon->identifier );
      return ids;
   }

   GlobalPreferences saved;
   std::unique_ptr<TMainWindow> main;
   QTemporaryDir dir;
   platform::ScriptedDragRunner drags;
   platform::DragRunnerScope dragScope{ drags };
};

} // namespace

TEST_F( ProcessIconsTest, DefaultIdentifiersCountIconsAndSkipThoseInUse )
{
   CurrentPreferences.identifiers.processIconPrefix = "Process";
   for ( int i = 0; i < 4; ++i )
      Icon( 0, 0 );
   EXPECT_EQ( Identifiers(), ( std::vector<std::string>{ "Process01", "Process02", "Process03", "Process04" } ) );
   ProcessIcons[0]->SetIdentifier( "Process05" );
   EXPECT_EQ( Icon( 0, 0 )->identifier, "Process051" );
   EXPECT_EQ( Icon( 0, 0 )->identifier, "Process06" );

   // Deleting the last icon starts the numbers again and leaves the set clean.
   for ( TProcessIcon* icon : ProcessIcons )
      icon->Select();
   main->DeleteSelectedIcons_MenuItemClick();
   EXPECT_TRUE( ProcessIcons.empty() );
   EXPECT_EQ( ProcessIconSetModificationCount, 0 );
   EXPECT_EQ( Icon( 0, 0 )->identifier, "Process01" );
}

TEST_F( ProcessIconsTest, RenamingRefusesAnIdentifierInUse )
{
   TProcessIcon* first = Icon( 0, 0, nullptr, "Darks" );
   TProcessIcon* second = Icon( 40, 0, nullptr, "Flats" );
   std::string message;
   EXPECT_FALSE( ValidateProcessIconIdentifier( "Darks", message ) );
   EXPECT_EQ( message, "Process Icon identifier already in use: Darks" );

   auto rename = [&]( const QString& text ) {
      dialogs.Expect( "SetIdentifierDialog", [text]( QDialog& d ) {
         auto& dialog = static_cast<TSetIdentifierDialog&>( d );
         EXPECT_EQ( dialog.windowTitle(), "Set Process Icon Identifier" );
         dialog.NewIdentifier_Edit->setText( text );
         dialog.OK_Button->click();
         return int( dialog.result() == QDialog::Accepted ? QDialog::Accepted : QDialog::Rejected );
      } );
      main->ShowProcessIconPopupMenu( second, QPoint( 0, 0 ) );
      main->ProcessIcon_PopupMenu->hide();
      main->RenameProcessIcon_MenuItemClick();
   };
   prompter.Expect( "Process Icon identifier already in use: Darks", platform::Answer::Ok );
   rename( "Darks" );
   EXPECT_EQ( second->identifier, "Flats" );
   prompter.Expect( "", platform::Answer::Ok ); // "Bias 1" is no identifier
   rename( "Bias 1" );
   EXPECT_EQ( second->identifier, "Flats" );
   rename( "Bias" );
   EXPECT_EQ( second->identifier, "Bias" );
   // The label and the width follow the new identifier.
   EXPECT_EQ( second->Identifier_Label->text(), "Bias" );
   EXPECT_EQ( second->width(), ProcessIconCellSize + second->Identifier_Label->width() + 8 );
   EXPECT_EQ( first->identifier, "Darks" );
}

TEST_F( ProcessIconsTest, AWindowsHandleDroppedOnTheDesktopLeavesAnIconWithACopy )
{
   test::TScaleWindow window;
   window.show();
   window.factor = 0.25f;
   QWidget* desktop = main->Desktop()->viewport();
   drags.ExpectDropOn( desktop, QPoint( 101, 57 ) );
   QTest::mousePress( window.processDragObject, Qt::LeftButton, Qt::NoModifier, QPoint( 3, 2 ) );
   QTest::mouseMove( window.processDragObject, QPoint( 4, 3 ) );

   ASSERT_EQ( ProcessIcons.size(), 1u );
   TProcessIcon* icon = ProcessIcons[0];
   EXPECT_EQ( icon->parentWidget(), desktop );
   // The grab point stays under the mouse; the place snaps to the grid.
   EXPECT_EQ( icon->pos(), QPoint( SnapToProcessIconGrid( 101 - 4 ), SnapToProcessIconGrid( 57 - 3 ) ) );
   ASSERT_NE( dynamic_cast<test::Scale*>( icon->instance.get() ), nullptr );
   EXPECT_EQ( static_cast<test::Scale&>( *icon->instance ).Factor(), 0.25f );
   EXPECT_EQ( icon->toolTip(), QString::fromStdString( icon->identifier + ": Scale" ) );
   EXPECT_EQ( ProcessIconSetModificationCount, 1 );

   // The icon dropped on another icon of a different process is refused; on one of its own class it replaces
   // that icon's instance after the question.
   TProcessIcon* median = Icon( 300, 300 );
   drags.ExpectDropOn( median );
   EXPECT_EQ( icon->BeginDrag(), Qt::IgnoreAction );
   TProcessIcon* scale = Icon( 300, 400, std::make_unique<test::Scale>( 1.5f ) );
   DeselectAllProcessIcons();
   icon->Select();
   dialogs.ExpectResult( "", QDialog::Rejected );
   drags.ExpectDropOn( scale );
   icon->BeginDrag();
   EXPECT_EQ( static_cast<test::Scale&>( *scale->instance ).Factor(), 1.5f );
   dialogs.ExpectResult( "", QDialog::Accepted );
   drags.ExpectDropOn( scale );
   icon->BeginDrag();
   EXPECT_EQ( static_cast<test::Scale&>( *scale->instance ).Factor(), 0.25f );
   EXPECT_NE( scale->instance.get(), icon->instance.get() );
}

TEST_F( ProcessIconsTest, ClicksAndTheRubberBandSelect )
{
   TProcessIcon* a = Icon( 20, 20 );
   TProcessIcon* b = Icon( 200, 20 );
   TProcessIcon* c = Icon( 20, 200 );
   a->IconMouseDown( QPoint( 2, 2 ), Qt::LeftButton, false );
   b->IconMouseDown( QPoint( 2, 2 ), Qt::LeftButton, true );
   EXPECT_TRUE( a->selected && b->selected && !c->selected );
   EXPECT_EQ( SelectedProcessIconCount, 2 );
   b->IconMouseDown( QPoint( 2, 2 ), Qt::LeftButton, true );
   EXPECT_FALSE( b->selected );
   c->IconMouseDown( QPoint( 2, 2 ), Qt::LeftButton, false );
   EXPECT_TRUE( !a->selected && c->selected );

   // A band from right to left; an icon whose right edge touches its left edge counts as inside.
   main->DesktopMouseDown( QPoint( 20 + a->width() + 150, 100 ), Qt::LeftButton );
   EXPECT_EQ( SelectedProcessIconCount, 0 );
   main->DesktopMouseMove( QPoint( 20 + a->width(), 10 ) );
   EXPECT_TRUE( a->selected && b->selected && !c->selected );
   // The selection follows the band as it shrinks.
   main->DesktopMouseMove( QPoint( 150, 10 ) );
   EXPECT_TRUE( !a->selected && b->selected );
   main->DesktopMouseUp();
   EXPECT_EQ( main->rubberBandState, 0 );

   // Dragging a selected icon moves every selected one by the same amount.
   a->Select();
   main->DesktopDragDrop( a, QPoint( 60 + a->pressX, 40 + a->pressY ) );
   EXPECT_EQ( a->pos(), QPoint( 60, 40 ) );
   EXPECT_EQ( b->pos(), QPoint( 240, 40 ) );
   EXPECT_EQ( c->pos(), QPoint( 20, 200 ) );
}

TEST_F( ProcessIconsTest, ArrangeFillsColumnsBottomUpFromTheRight )
{
   QWidget* desktop = main->Desktop()->viewport();
   const int W = desktop->width();
   const int H = desktop->height();
   std::vector<TProcessIcon*> icons;
   for ( int i = 0; i < 5; ++i )
      icons.push_back( Icon( 8 * i, 8 * i ) );
   main->ArrangeProcessIcons();
   // Sorted by top: the last one lands at the bottom of the rightmost column, the others above it on a
   // 28-pixel pitch, their bottoms 8 pixels above the desktop's bottom edge.
   const int rows = ( H - 8 ) / 28;
   ASSERT_GE( rows, 5 );
   int widest = 0;
   for ( TProcessIcon* icon : icons )
      widest = std::max( widest, icon->width() );
   const int x = W + 1 - ( widest / 4 * 4 + 8 );
   for ( int i = 0; i < 5; ++i )
   {
      const int r = 4 - i;
      EXPECT_EQ( icons[i]->pos(), QPoint( x, H - ( r * 28 + 8 ) - icons[i]->height() - 1 ) ) << i;
   }
   // A desktop only one row high puts each icon in its own column.
   main->Desktop()->setFixedHeight( 30 + ( main->Desktop()->height() - desktop->height() ) );
   QApplication::processEvents();
   main->ArrangeProcessIcons();
   for ( size_t i = 1; i < icons.size(); ++i )
      EXPECT_EQ( icons[i]->y(), icons[0]->y() );
   EXPECT_LT( icons[3]->x(), icons[4]->x() );
}

TEST_F( ProcessIconsTest, SetsAreSavedReplacedAndMerged )
{
   auto median = std::make_unique<MedianFilter>();
   median->Params().boxSize = 7;
   Icon( 100, 200, std::move( median ), "Smooth" );
   Icon( 300, 40, std::make_unique<MinMaxFilter>(), "Erode" );
   ASSERT_TRUE( main->SaveProcessIcons( Path( "a.lf-psm" ) ) );
   EXPECT_EQ( ProcessIconSetModificationCount, 0 );
   EXPECT_EQ( main->processIconSetModule->FilePath(), Path( "a.lf-psm" ).toStdString() );

   // A change, then a replacing load: the question comes first; No keeps everything.
   Icon( 0, 0 );
   dialogs.ExpectResult( "ModifiedProcessIconSetModuleDialog", 7 );
   EXPECT_FALSE( main->LoadProcessIcons( Path( "a.lf-psm" ), false ) );
   EXPECT_EQ( ProcessIcons.size(), 3u );
   dialogs.ExpectResult( "ModifiedProcessIconSetModuleDialog", 6 );
   ASSERT_TRUE( main->LoadProcessIcons( Path( "a.lf-psm" ), false ) );
   ASSERT_EQ( Identifiers(), ( std::vector<std::string>{ "Smooth", "Erode" } ) );
   EXPECT_EQ( ProcessIconSetModificationCount, 0 );
   EXPECT_EQ( ProcessIcons[0]->pos(), QPoint( 100, 200 ) );
   EXPECT_EQ( static_cast<MedianFilter&>( *ProcessIcons[0]->instance ).Params().boxSize, 7 );

   // Merging the same set again (Shift held at the Load action) renames the newcomers and leaves the set
   // modified: those icons are in no file yet.
   files.Expect( platform::FileDialogs::Kind::OpenFiles, { Path( "a" ) } );
   platform::KeyTracker::Instance().Press( Qt::Key_Shift );
   main->ProcessLoadProcessIcons_ActionExecute();
   platform::KeyTracker::Instance().Release( Qt::Key_Shift );
   EXPECT_EQ( Identifiers(), ( std::vector<std::string>{ "Smooth", "Erode", "Smooth1", "Erode1" } ) );
   EXPECT_NE( ProcessIconSetModificationCount, 0 );

   // Remove asks about the modified set, then leaves a clean, unbound desktop.
   dialogs.ExpectResult( "ModifiedProcessIconSetModuleDialog", 6 );
   main->ProcessRemoveProcessIcons_ActionExecute();
   EXPECT_TRUE( ProcessIcons.empty() );
   EXPECT_TRUE( main->processIconSetModule->FilePath().empty() );
}

TEST_F( ProcessIconsTest, IconsSharingOneIdentifierGetTheFirstFreeIdentifiersInTheirOrder )
{
   CurrentPreferences.identifiers.processIconPrefix = "Process";
   Icon( 0, 0, nullptr, "Flat" );
   Icon( 0, 0, nullptr, "Flat2" );
   ProcessIconSetModule module;
   auto add = [&module]( const std::string& identifier )
   { module.records.push_back( { 0.1f, 0.1f, identifier, std::make_unique<MedianFilter>() } ); };
   for ( const char* identifier : { "Flat", "Flat", "Flat", "Flat3", "Flat", "Flat", "" } )
      add( identifier );
   const int many = 1000;
   for ( int i = 0; i < many; ++i )
      add( "Flat" );
   module.Write( Path( "flat.lf-psm" ).toStdString() );

   ASSERT_TRUE( main->LoadProcessIcons( Path( "flat.lf-psm" ), true ) );
   // Flat1, Flat3 and Flat4 are free; Flat3 is then taken, so the icon named so gets Flat31; the unnamed icon gets
   // a numbered one (the eighth made); the many others continue from Flat7, passing Flat31 over.
   std::vector<std::string> expected = { "Flat", "Flat2", "Flat1", "Flat3", "Flat4", "Flat31", "Flat5", "Flat6",
                                         "Process09" };
   for ( int k = 7; int( expected.size() ) < 9 + many; ++k )
      if ( k != 31 )
         expected.push_back( "Flat" + std::to_string( k ) );
   EXPECT_EQ( Identifiers(), expected );
}

TEST_F( ProcessIconsTest, ADamagedSetChangesNothingOnTheDesktop )
{
   Icon( 100, 100, nullptr, "Keep" );
   Icon( 200, 100, nullptr, "Also" );
   ASSERT_TRUE( main->SaveProcessIcons( Path( "good.lf-psm" ) ) );
   QFile good( Path( "good.lf-psm" ) );
   ASSERT_TRUE( good.open( QIODevice::ReadOnly ) );
   const QByteArray bytes = good.readAll();

   struct Damage
   {
      const char* name;
      QByteArray content;
   };
   QByteArray hugeCount = bytes;
   const qint32 count = 0x7FFFFFFF;
   hugeCount.replace( 40, 4, reinterpret_cast<const char*>( &count ), 4 );
   QByteArray hugeIdentifier = bytes;
   const qint32 length = 0x40000000;
   hugeIdentifier.replace( 40 + 4 + 8, 4, reinterpret_cast<const char*>( &length ), 4 );
   const std::vector<Damage> damages = { { "count beyond the file", hugeCount },
                                         { "identifier beyond the file", hugeIdentifier },
                                         { "second record cut short", bytes.left( bytes.size() - 3 ) } };
   for ( const Damage& d : damages )
   {
      QFile f( Path( "bad.lf-psm" ) );
      ASSERT_TRUE( f.open( QIODevice::WriteOnly | QIODevice::Truncate ) );
      f.write( d.content );
      f.close();
      prompter.Expect( "", platform::Answer::Ok );
      // A replacing load that fails keeps the icons, the set's file and its clean state.
      EXPECT_FALSE( main->LoadProcessIcons( Path( "bad.lf-psm" ), false ) ) << d.name;
      EXPECT_EQ( Identifiers(), ( std::vector<std::string>{ "Keep", "Also" } ) ) << d.name;
      EXPECT_EQ( main->processIconSetModule->FilePath(), Path( "good.lf-psm" ).toStdString() ) << d.name;
      EXPECT_EQ( ProcessIconSetModificationCount, 0 ) << d.name;
   }
}

TEST_F( ProcessIconsTest, PlacesAreStoredAsFractionsOfTheScreen )
{
   Icon( 100, 48 );
   ASSERT_TRUE( main->SaveProcessIcons( Path( "p.lf-psm" ) ) );
   qor::File file;
   file.OpenForReading( Path( "p.lf-psm" ).toStdString() );
   file.Seek( 44 );
   const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
   EXPECT_EQ( file.ReadValue<float>(), 100.0f / float( screen.width() ) );
   EXPECT_EQ( file.ReadValue<float>(), 48.0f / float( screen.height() ) );
}

TEST_F( ProcessIconsTest, TheCloseSequenceAsksAboutAModifiedSet )
{
   CurrentPreferences.mainWindow.confirmProgramTermination = false;
   Icon( 0, 0 );
   dialogs.ExpectResult( "ModifiedProcessIconSetModuleDialog", 7 );
   EXPECT_FALSE( main->FormClose() );
   dialogs.ExpectResult( "ModifiedProcessIconSetModuleDialog", 6 );
   EXPECT_TRUE( main->FormClose() );
}

TEST_F( ProcessIconsTest, ASavedContainerIconRunsInAFreshWindowLikeItsProcessesByHand )
{
   auto median = std::make_unique<MedianFilter>();
   median->Params().boxSize = 3;
   auto erode = std::make_unique<MinMaxFilter>();
   erode->Params().filterType = false;
   auto pipeline = std::make_unique<ProcessContainer>();
   pipeline->AddInstance( median->Clone() );
   pipeline->AddInstance( erode->Clone() );
   Icon( 40, 40, std::move( pipeline ), "Pipeline" );
   ASSERT_TRUE( main->SaveProcessIcons( Path( "pipeline.lf-psm" ) ) );

   main = std::make_unique<TMainWindow>();
   main->show();
   ASSERT_TRUE( ProcessIcons.empty() );
   ASSERT_TRUE( main->LoadProcessIcons( Path( "pipeline.lf-psm" ), false ) );
   TProcessIcon* icon = FindProcessIcon( "Pipeline" );
   ASSERT_NE( icon, nullptr );

   auto savedActive = StatusDialog().applicationActive;
   StatusDialog().applicationActive = [] { return true; };
   auto image = [this]( const std::string& id ) {
      auto* pixels = new qor::Image( 24, 16, 1, 0 );
      for ( int64_t i = 0; i < pixels->NumberOfPixels(); ++i )
         pixels->PixelData( 0 )[i] = float( ( i * 7919 ) % 101 ) / 100.0f;
      TImageWindow* w = CreateImageWindow( main.get(), pixels, id );
      w->Frame()->show();
      return w;
   };
   TImageWindow* byIcon = image( "ByIcon" );
   TImageWindow* byHand = image( "ByHand" );
   main->Desktop()->setActiveSubWindow( byIcon->SubWindow() );

   drags.ExpectDropOn( byIcon->viewport() );
   icon->EnvelopeMouseDown( icon, QPoint( 2, 2 ), Qt::LeftButton );
   icon->EnvelopeMouseMove( icon, QPoint( 3, 3 ) );
   ASSERT_TRUE( median->LaunchOn( *byHand->mainView ) );
   ASSERT_TRUE( erode->LaunchOn( *byHand->mainView ) );
   StatusDialog().applicationActive = savedActive;

   ASSERT_EQ( byIcon->mainView->History().instances.Length(), 1u );
   EXPECT_EQ( byIcon->mainView->History().instances[0]->Id(), "ProcessContainer" );
   const qor::Image& a = *byIcon->image;
   const qor::Image& b = *byHand->image;
   ASSERT_EQ( a.NumberOfPixels(), b.NumberOfPixels() );
   EXPECT_EQ( 0, std::memcmp( a.PixelData( 0 ), b.PixelData( 0 ), size_t( a.NumberOfPixels() ) * sizeof( float ) ) );
   // And the run changed something.
   qor::Image original( 24, 16, 1, 0 );
   for ( int64_t i = 0; i < original.NumberOfPixels(); ++i )
      original.PixelData( 0 )[i] = float( ( i * 7919 ) % 101 ) / 100.0f;
   EXPECT_NE( 0, std::memcmp( a.PixelData( 0 ), original.PixelData( 0 ), size_t( a.NumberOfPixels() ) * sizeof( float ) ) );
   test::DiscardAllImageWindows();
}

// ---- Pictures and launching ------------------------------------------------------------------------------------------

TEST_F( ProcessIconsTest, EveryProcessHasItsOwnPictureInTheNewProcessMenuAndOnItsIcon )
{
   const ProcessRegistry::ByCategoryList& list = TheProcessRegistry().ByCategory();
   const QImage blank = PictogramIcon( []( QPainter&, const QColor& ) {} ).pixmap( 23, 23 ).toImage();
   std::set<std::pair<std::string, QByteArray>> seen;
   std::set<QByteArray> pictures;
   for ( QAction* category : main->NewProcess_MenuItem->actions() )
      for ( QAction* item : category->menu()->actions() )
      {
         const Process& prototype = list[size_t( item->data().toULongLong() )]->Prototype();
         SCOPED_TRACE( prototype.Id() );
         ASSERT_NE( prototype.Action(), nullptr );
         EXPECT_FALSE( item->icon().isNull() );
         const QImage picture = item->icon().pixmap( 23, 23 ).toImage().convertToFormat( blank.format() );
         EXPECT_NE( picture, blank );
         const QByteArray bytes( reinterpret_cast<const char*>( picture.constBits() ), picture.sizeInBytes() );
         pictures.insert( bytes );
         seen.insert( { prototype.Id(), bytes } );
      }
   EXPECT_EQ( seen.size(), list.Length() );
   // No two processes share a picture.
   EXPECT_EQ( pictures.size(), list.Length() );

   // An icon shows the picture of its process.
   TProcessIcon* icon = Icon( 0, 0, std::make_unique<Invert>() );
   EXPECT_FALSE( icon->Image_Label->pixmap().isNull() );
}

TEST_F( ProcessIconsTest, AProcessWindowCanBeLaunchedExactlyWhileItsActionIsEnabled )
{
   // The processes that have no window: their action runs them.
   const std::set<std::string> windowless = { "ConvertToGrayscale", "ConvertToRGBColor", "Invert" };
   const ProcessRegistry::ByCategoryList& list = TheProcessRegistry().ByCategory();
   for ( size_t k = 0; k < list.Length(); ++k )
   {
      const Process& prototype = list[k]->Prototype();
      SCOPED_TRACE( prototype.Id() );
      QAction* action = prototype.Action();
      ASSERT_NE( action, nullptr );
      action->setEnabled( true );
      EXPECT_EQ( prototype.IsInterfaceAvailable(), windowless.count( prototype.Id() ) == 0 );
      action->setEnabled( false );
      EXPECT_FALSE( prototype.IsInterfaceAvailable() );
      action->setEnabled( true );
   }

   // An icon whose process's window cannot be opened says so and opens nothing.
   TProcessIcon* icon = Icon( 0, 0 );
   main->ProcessMedianFilter_Action->setEnabled( false );
   prompter.Expect( "MedianFilter: Cannot launch interface." );
   icon->LaunchInterface();
   EXPECT_FALSE( MedianFilterWindow().isVisible() );
   main->ProcessMedianFilter_Action->setEnabled( true );
   icon->LaunchInterface();
   EXPECT_TRUE( MedianFilterWindow().isVisible() );
   MedianFilterWindow().hide();
}

TEST_F( ProcessIconsTest, AnIconDroppedOnAnotherReplacesItsInstanceOnlyWhenAloneAndAgreed )
{
   TProcessIcon* source = Icon( 0, 0, std::make_unique<MedianFilter>() );
   static_cast<MedianFilter&>( *source->instance ).Params().boxSize = 7;
   TProcessIcon* target = Icon( 200, 0, std::make_unique<MedianFilter>() );
   TProcessIcon* other = Icon( 400, 0, std::make_unique<MinMaxFilter>() );
   auto targetSize = [&] { return static_cast<MedianFilter&>( *target->instance ).Params().boxSize; };
   const int32_t before = targetSize();

   struct Case
   {
      const char* what;
      std::vector<TProcessIcon*> selected;
      TProcessIcon* on;
      bool asked;
      int answer;
      bool tickDontAsk;
      bool replaced;
   };
   const Case cases[] = {
      { "another process's icon refuses", { source }, other, false, 0, false, false },
      { "two selected icons are refused", { source, other }, target, false, 0, false, false },
      { "No keeps the instance", { source }, target, true, QDialog::Rejected, false, false },
      { "No with Don't ask again keeps it and stops the question", { source }, target, true, QDialog::Rejected, true,
        false },
      { "then a drop replaces without a question", { source }, target, false, 0, false, true },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      DeselectAllProcessIcons();
      for ( TProcessIcon* icon : c.selected )
         icon->Select();
      if ( c.asked )
         dialogs.Expect( "WarningMessageWithDontAskAgainDialog",
                         [&c]( QDialog& d )
                         {
                            auto& question = static_cast<TWarningMessageWithDontAskAgainDialog&>( d );
                            EXPECT_EQ( question.Warning1_Label->text(), "Process icon replacement cannot be undone." );
                            EXPECT_EQ( question.Warning2_Label->text(), "Replace MedianFilter instance?" );
                            if ( c.tickDontAsk )
                               question.DontAskAgain_CheckBox->click();
                            return c.answer;
                         } );
      drags.ExpectDropOn( c.on );
      const Qt::DropAction action = source->BeginDrag();
      EXPECT_EQ( action != Qt::IgnoreAction, c.on == target && c.selected.size() == 1 );
      EXPECT_EQ( targetSize(), c.replaced ? 7 : before );
   }
   EXPECT_FALSE( AskBeforeProcessIconReplacement );
   // The replacing instance is a copy: the source keeps its own.
   EXPECT_NE( target->instance.get(), source->instance.get() );
}
