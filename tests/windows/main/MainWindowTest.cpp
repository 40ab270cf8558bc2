#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QCursor>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QToolBar>

#include <tiffio.h>

#include <memory>
#include <string>
#include <vector>

#include "MainWindowTestSupport.h"
#include "TestSupport.h"
#include "classlib/Image.h"
#include "process/Preferences.h"
#include "windows/dialogs/UnsavedImagesDialog.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"

namespace
{

class MainWindowTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      savedPreferences = CurrentPreferences;
   }

   void TearDown() override
   {
      test::DiscardAllImageWindows();
      window.reset();
      CurrentPreferences = savedPreferences;
      QGuiApplication::clipboard()->clear();
      test::ScriptedUiTest::TearDown();
   }

   TMainWindow& Create()
   {
      window = std::make_unique<TMainWindow>();
      return *window;
   }

   std::unique_ptr<TMainWindow> window;
   GlobalPreferences savedPreferences;
};

} // namespace

TEST_F( MainWindowTest, TheTestScreenIsLargeEnoughForTheProgram )
{
   // The test main() gives the offscreen platform a 1280x1024 screen; Qt's own default (800x800) would be refused.
   QScreen* screen = QGuiApplication::primaryScreen();
   ASSERT_NE( nullptr, screen );
   EXPECT_EQ( QSize( 1280, 1024 ), screen->size() );
   EXPECT_TRUE( DesktopLargeEnough( screen->size() ) );
}

TEST_F( MainWindowTest, ConstructionSetsTheGlobalTheStateAndTheDefaultLayout )
{
   EXPECT_EQ( nullptr, MainWindow );
   TMainWindow& w = Create();
   EXPECT_EQ( &w, MainWindow );
   EXPECT_EQ( QString( " Corvanta Lumenforge 1.0" ), w.windowTitle() );
   EXPECT_EQ( w.Desktop(), w.centralWidget() );
   EXPECT_FALSE( w.processing || w.abortRequested || w.terminating || w.minimized );
   EXPECT_EQ( 0, w.controlUpdateCount );
   EXPECT_EQ( ReadoutOptionsData(), w.readoutOptions );
   EXPECT_EQ( 1, w.readoutOptions.probeSize );
   EXPECT_EQ( 255u, w.readoutOptions.maxValue );
   EXPECT_FALSE( w.rawImageClipboardFormat.isEmpty() );
   EXPECT_TRUE( w.acceptDrops() );

   w.show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( &w ) );
   EXPECT_TRUE( w.windowState() & Qt::WindowMaximized );

   // On a screen wider than 1024 pixels every tool bar of the default layout is docked: the first four on top,
   // the process bars on top while they fit there, else on the left; the four that the user shows himself stay
   // hidden.
   for ( QToolBar* t : { w.ImageView_ToolBar, w.Zoom_ToolBar, w.Preview_ToolBar, w.Mask_ToolBar } )
   {
      EXPECT_TRUE( t->isVisible() ) << t->objectName().toStdString();
      EXPECT_EQ( Qt::TopToolBarArea, w.toolBarArea( t ) ) << t->objectName().toStdString();
   }
   for ( QToolBar* t : { w.Geometry_ToolBar, w.ColorSpaces_ToolBar, w.TransferCurves_ToolBar,
                         w.AdvancedProcessing_ToolBar, w.Tools_ToolBar } )
   {
      EXPECT_TRUE( t->isVisible() ) << t->objectName().toStdString();
      EXPECT_TRUE( w.toolBarArea( t ) == Qt::TopToolBarArea || w.toolBarArea( t ) == Qt::LeftToolBarArea )
          << t->objectName().toStdString();
   }
   for ( QToolBar* t : { w.Readout_ToolBar, w.ColorSamples_ToolBar, w.Info_ToolBar } )
   {
      EXPECT_TRUE( t->isVisible() ) << t->objectName().toStdString();
      EXPECT_EQ( Qt::BottomToolBarArea, w.toolBarArea( t ) ) << t->objectName().toStdString();
   }
   for ( QToolBar* t : { w.File_ToolBar, w.Edit_ToolBar, w.FastRotate_ToolBar, w.ProcessIcons_ToolBar } )
      EXPECT_FALSE( t->isVisible() ) << t->objectName().toStdString();

   // Components are reachable by name, as the other windows find them.
   EXPECT_EQ( w.Readout_Panel, w.findChild<QLabel*>( "Readout_Panel" ) );
   EXPECT_EQ( w.SelectChannel_ComboBox, w.findChild<QComboBox*>( "SelectChannel_ComboBox" ) );
   EXPECT_EQ( w.Window_Menu, w.findChild<QMenu*>( "Window_Menu" ) );

   window.reset();
   EXPECT_EQ( nullptr, MainWindow );
}

TEST_F( MainWindowTest, AToolBarThatDoesNotFitGoesOnANewRowAndLaterOnesAreMeasuredAgainstTheWidestRow )
{
   TMainWindow& w = Create();
   const int siteWidth = std::max( w.width(), QGuiApplication::primaryScreen()->geometry().width() );
   const int firstRow = w.Readout_ToolBar->sizeHint().width() + w.ColorSamples_ToolBar->sizeHint().width() +
                        w.Info_ToolBar->sizeHint().width();
   // A tool bar of one control, whose whole width (handle and margins included) is the given one.
   auto makeToolBar = [&w]( const char* name, int controlWidth )
   {
      auto* toolBar = new QToolBar( name, &w );
      toolBar->setObjectName( name );
      auto* control = new QWidget( toolBar );
      control->setFixedSize( controlWidth, 16 );
      toolBar->addWidget( control );
      return toolBar;
   };
   QToolBar* probe = makeToolBar( "Probe", 10 );
   const int frame = probe->sizeHint().width() - 10;
   delete probe;
   auto makeToolBarOfWidth = [&]( const char* name, int width )
   {
      QToolBar* toolBar = makeToolBar( name, width - frame );
      EXPECT_EQ( width, toolBar->sizeHint().width() );
      return toolBar;
   };
   // Just too wide to stand beside the first row, and narrower than it.
   const int wide = siteWidth - firstRow - 7;
   ASSERT_LT( wide, firstRow );
   QToolBar* second = makeToolBarOfWidth( "Second", wide );
   QToolBar* third = makeToolBarOfWidth( "Third", wide ); // would fit beside the second row, not beside the first
   QToolBar* small = makeToolBarOfWidth( "Small", 40 );  // fits beside the widest row
   for ( QToolBar* t : { second, third, small } )
      w.DockToolBar( Qt::BottomToolBarArea, Qt::NoToolBarArea, t );
   w.show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( &w ) );

   const int top = w.Readout_ToolBar->y();
   for ( QToolBar* t : { w.ColorSamples_ToolBar, w.Info_ToolBar, small } )
   {
      EXPECT_EQ( Qt::BottomToolBarArea, w.toolBarArea( t ) );
      EXPECT_EQ( top, t->y() ) << t->objectName().toStdString();
   }
   EXPECT_NE( top, second->y() );
   EXPECT_NE( top, third->y() );
   EXPECT_NE( second->y(), third->y() );
   for ( QToolBar* t : { second, third, small } )
      EXPECT_TRUE( t->isVisible() ) << t->objectName().toStdString();
}

TEST_F( MainWindowTest, WithoutMaximizeAtStartupTheWindowIsNotMaximized )
{
   CurrentPreferences.mainWindow.maximizeAtStartup = false;
   CurrentPreferences.mainWindow.acceptDroppedFiles = false;
   TMainWindow& w = Create();
   EXPECT_FALSE( w.windowState() & Qt::WindowMaximized );
   EXPECT_FALSE( w.acceptDrops() );
   CurrentPreferences.mainWindow.acceptDroppedFiles = true;
   w.ApplyPreferences();
   EXPECT_TRUE( w.acceptDrops() );
}

TEST_F( MainWindowTest, BusyAndAbortProtocol )
{
   TMainWindow& w = Create();
   QSignalSpy spy( &w, &TMainWindow::ProcessingStateChanged );

   w.RequestAbort(); // nothing runs: ignored
   EXPECT_FALSE( w.abortRequested );

   w.BeginProcessing();
   EXPECT_TRUE( w.processing );
   EXPECT_FALSE( w.abortRequested );
   w.RequestAbort();
   EXPECT_TRUE( w.abortRequested );
   w.RequestAbort(); // a second request changes nothing
   EXPECT_TRUE( w.abortRequested );

   w.EndProcessing(); // a pending request is gone
   EXPECT_FALSE( w.processing );
   EXPECT_FALSE( w.abortRequested );
   w.RequestAbort();
   EXPECT_FALSE( w.abortRequested );

   w.BeginProcessing(); // a new operation starts without the old request
   EXPECT_FALSE( w.abortRequested );
   w.EndProcessing();
   w.EndProcessing(); // harmless when nothing runs

   ASSERT_EQ( 5, spy.count() );
   EXPECT_TRUE( spy.at( 0 ).at( 0 ).toBool() );
   EXPECT_FALSE( spy.at( 1 ).at( 0 ).toBool() );
}

TEST_F( MainWindowTest, ControlUpdateGuardsNestAndWorkWithoutAMainWindow )
{
   {
      TMainWindow::ControlUpdateGuard noWindow; // before the main window exists
   }
   TMainWindow& w = Create();
   {
      TMainWindow::ControlUpdateGuard outer;
      EXPECT_TRUE( w.UpdatingControls() );
      {
         TMainWindow::ControlUpdateGuard inner( &w );
         EXPECT_EQ( 2, w.controlUpdateCount );
      }
      EXPECT_EQ( 1, w.controlUpdateCount );
      EXPECT_TRUE( w.UpdatingControls() );
   }
   EXPECT_EQ( 0, w.controlUpdateCount );
   EXPECT_FALSE( w.UpdatingControls() );
}

TEST_F( MainWindowTest, DesktopIsPaintedPlainOrWithTheChecker )
{
   CurrentPreferences.colorsFonts.mainWindowBackgroundColor = 0x0000FF; // red
   CurrentPreferences.colorsFonts.mainWindowForegroundColor = 0xFF0000; // blue
   CurrentPreferences.colorsFonts.mainWindowBackgroundBrush = false;
   TMainWindow& w = Create();
   w.show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( &w ) );

   QImage plain = w.Desktop()->viewport()->grab().toImage();
   EXPECT_EQ( QColor( Qt::red ), plain.pixelColor( 0, 0 ) );
   EXPECT_EQ( QColor( Qt::red ), plain.pixelColor( 2, 0 ) );

   CurrentPreferences.colorsFonts.mainWindowBackgroundBrush = true;
   w.ApplyPreferences();
   QImage checker = w.Desktop()->viewport()->grab().toImage();
   // 2x2-pixel squares, the background colour top-left.
   EXPECT_EQ( QColor( Qt::red ), checker.pixelColor( 0, 0 ) );
   EXPECT_EQ( QColor( Qt::red ), checker.pixelColor( 1, 1 ) );
   EXPECT_EQ( QColor( Qt::blue ), checker.pixelColor( 2, 0 ) );
   EXPECT_EQ( QColor( Qt::blue ), checker.pixelColor( 0, 3 ) );
   EXPECT_EQ( QColor( Qt::red ), checker.pixelColor( 2, 2 ) );
   EXPECT_EQ( QColor( Qt::red ), checker.pixelColor( 8, 0 ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Readout

TEST_F( MainWindowTest, RefreshReadoutReadsThePointUnderTheCursorAtTheZoomOfTheView )
{
   TMainWindow& w = Create();
   w.show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( &w ) );
   std::vector<QPoint> shown;
   w.showPixelReadout = [&shown]( TImageWindow&, int32_t x, int32_t y ) { shown.emplace_back( x, y ); };

   // Without an image window the readout is emptied.
   w.Readout_Panel->setText( " R:0.5000" );
   w.RefreshReadout();
   EXPECT_TRUE( w.Readout_Panel->text().isEmpty() );
   EXPECT_TRUE( shown.empty() );

   TImageWindow* image = CreateImageWindow( nullptr, new qor::Image( 400, 300 ), "M31" );
   image->SubWindow()->resize( 500, 400 );
   image->SubWindow()->show();
   w.Desktop()->setActiveSubWindow( image->SubWindow() );
   ASSERT_EQ( image, w.ActiveImageWindow() );

   // Cursor on a point of the paint box, counted from the image's top-left corner at the view's zoom.
   struct Case
   {
      int32_t zoom;
      QPoint scaled;
      QPoint expected;
   };
   const Case cases[] = {
      { 3, { 7, 8 }, { 2, 2 } },        // 7/3 and 8/3 both fall in image pixel 2 (rounding would give 3)
      { 3, { -1, 899 }, { -1, 299 } },  // just left of the image; the last row
      { 1, { 5, 6 }, { 5, 6 } },
      { -2, { 7, 3 }, { 14, 6 } },
   };
   for ( const Case& c : cases )
   {
      image->SetZoomAndCenter( 200, 150, c.zoom );
      // Magnified, the image is scrolled; reduced, it sits centred with an offset: both must be taken off.
      if ( c.zoom == 3 )
      {
         EXPECT_GT( image->ScrollX() + image->ScrollY(), 0 );
      }
      if ( c.zoom == -2 )
      {
         EXPECT_GT( image->imageOffsetX + image->imageOffsetY, 0 );
      }
      QCursor::setPos( image->viewport()->mapToGlobal( c.scaled + QPoint( image->imageOffsetX - image->ScrollX(),
                                                                          image->imageOffsetY - image->ScrollY() ) ) );
      shown.clear();
      w.RefreshReadout();
      ASSERT_EQ( 1u, shown.size() ) << "zoom " << c.zoom;
      EXPECT_EQ( c.expected, shown.front() ) << "zoom " << c.zoom;
   }
}

// ---------------------------------------------------------------------------------------------------------------
// Close sequence

TEST_F( MainWindowTest, ClosingAsksForConfirmationOnlyWhenThePreferencesSaySo )
{
   TMainWindow& w = Create();
   QSignalSpy closed( &w, &TMainWindow::Closed );
   w.show();

   CurrentPreferences.mainWindow.confirmProgramTermination = true;
   prompter.Expect( { "Exit Lumenforge?", {}, QString( "Close" ), platform::Icon::Warning, platform::Answer::No } );
   EXPECT_FALSE( w.close() );
   EXPECT_TRUE( w.isVisible() );
   EXPECT_FALSE( w.terminating );
   EXPECT_EQ( 0, closed.count() );

   QWidget* document = new QWidget;
   w.Desktop()->addSubWindow( document );
   prompter.Expect( "Exit Lumenforge?", platform::Answer::Yes );
   EXPECT_TRUE( w.close() );
   EXPECT_TRUE( w.terminating );
   EXPECT_EQ( 1, closed.count() );
   EXPECT_TRUE( w.Desktop()->subWindowList().isEmpty() || !w.Desktop()->subWindowList().front()->isVisible() );
}

TEST_F( MainWindowTest, PrivateClipboardDataIsOfferedForPurgingBeforeExit )
{
   TMainWindow& w = Create();
   w.show();
   auto putRawImage = [&w]
   {
      auto* data = new QMimeData;
      data->setData( w.rawImageClipboardFormat, QByteArray( 16, '\0' ) );
      QGuiApplication::clipboard()->setMimeData( data );
   };

   putRawImage();
   prompter.Expect( { "Purge clipboard raw image data before exit?",
                      {},
                      ApplicationTitle(),
                      platform::Icon::None,
                      platform::Answer::Cancel } );
   EXPECT_FALSE( w.close() );
   EXPECT_FALSE( w.terminating );
   EXPECT_TRUE( QGuiApplication::clipboard()->mimeData()->hasFormat( w.rawImageClipboardFormat ) );

   prompter.Expect( "Purge clipboard raw image data before exit?", platform::Answer::Yes );
   EXPECT_TRUE( w.close() );
   const QMimeData* after = QGuiApplication::clipboard()->mimeData();
   EXPECT_TRUE( after == nullptr || !after->hasFormat( w.rawImageClipboardFormat ) );
}

TEST_F( MainWindowTest, ClosingWithNothingToAskAsksNothing )
{
   TMainWindow& w = Create();
   w.show();
   QGuiApplication::clipboard()->setText( "ordinary text" );
   EXPECT_TRUE( w.close() );
   EXPECT_TRUE( prompter.Records().empty() );
}

TEST_F( MainWindowTest, UnsavedImagesAreAskedAboutOnceAndOnlyYesLetsTheProgramExit )
{
   TMainWindow& w = Create();
   QSignalSpy closed( &w, &TMainWindow::Closed );
   w.show();
   QPointer<TImageWindow> saved = CreateImageWindow( nullptr, new qor::Image( 2, 2 ), "saved" );
   QPointer<TImageWindow> modified = CreateImageWindow( nullptr, new qor::Image( 2, 2 ), "modified" );
   saved->Frame()->show();
   modified->Frame()->show();
   modified->modificationCount = 1;

   auto pressing = []( Qt::Key key )
   {
      return [key]( QDialog& dialog )
      {
         QTest::keyClick( &dialog, key );
         return 0;
      };
   };
   // No, and Esc on the real dialog: the program and every image stay as they were.
   for ( Qt::Key key : { Qt::Key_N, Qt::Key_Escape } )
   {
      dialogs.Expect( "UnsavedImagesDialog", pressing( key ) );
      EXPECT_FALSE( w.close() );
      EXPECT_TRUE( w.isVisible() );
      EXPECT_FALSE( w.terminating );
      EXPECT_EQ( 0, closed.count() );
      ASSERT_TRUE( modified != nullptr && saved != nullptr );
      EXPECT_TRUE( modified->Frame()->isVisible() );
      EXPECT_TRUE( saved->Frame()->isVisible() );
      EXPECT_EQ( 1, modified->modificationCount );
   }
   ASSERT_EQ( 2u, dialogs.Records().size() );
   EXPECT_EQ( TUnsavedImagesDialog::NoResult, dialogs.Records()[1].result );

   // Yes: asked once for all the images, then they close without further questions.
   dialogs.Expect( "UnsavedImagesDialog", pressing( Qt::Key_Y ) );
   EXPECT_TRUE( w.close() );
   EXPECT_TRUE( w.terminating );
   EXPECT_EQ( 1, closed.count() );
   EXPECT_TRUE( modified == nullptr || !modified->Frame()->isVisible() );
   EXPECT_TRUE( saved == nullptr || !saved->Frame()->isVisible() );
   EXPECT_EQ( 3u, dialogs.Records().size() );
}

TEST_F( MainWindowTest, ImagesWithoutUnsavedChangesCloseWithoutAQuestion )
{
   TMainWindow& w = Create();
   w.show();
   QPointer<TImageWindow> image = CreateImageWindow( nullptr, new qor::Image( 2, 2 ), "saved" );
   image->Frame()->show();
   EXPECT_TRUE( w.close() );
   EXPECT_TRUE( dialogs.Records().empty() );
   EXPECT_TRUE( prompter.Records().empty() );
   EXPECT_TRUE( image == nullptr || !image->Frame()->isVisible() );
}

// ---------------------------------------------------------------------------------------------------------------
// libtiff messages

TEST_F( MainWindowTest, LibtiffErrorsAreShownAndLongMessagesCutSafely )
{
   Create();
   prompter.Expect(
       { "Cannot read tile 7", {}, ApplicationTitle() + ": TIFF Error", platform::Icon::Error, platform::Answer::Ok } );
   TIFFError( "module", "Cannot read tile %d", 7 );

   std::string huge( 5000, 'z' );
   prompter.Expect( QRegularExpression( "^z{1023}\\.\\.\\.$" ) );
   TIFFError( "module", "%s", huge.c_str() );
}

TEST_F( MainWindowTest, LibtiffWarningsShowOnlyWhenStrictWarningsAreWanted )
{
   Create();
   CurrentPreferences.mainWindow.showStrictTIFFWarnings = false;
   TIFFWarning( "module", "Unknown field with tag %d", 12345 );
   EXPECT_TRUE( prompter.Records().empty() );

   CurrentPreferences.mainWindow.showStrictTIFFWarnings = true;
   prompter.Expect( { "Unknown field with tag 12345",
                      {},
                      ApplicationTitle() + ": TIFF Warning",
                      platform::Icon::Warning,
                      platform::Answer::Ok } );
   TIFFWarning( "module", "Unknown field with tag %d", 12345 );
}
