// The main window's File and Edit actions, driven through their own handlers with scripted file pickers, dialogs
// and boxes: opening (dialog, recent files, dropped files), save, save as, revert, copy and paste, close all with
// its questions, undo switching and the purges.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDropEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>
#include <QUrl>

#include <filesystem>
#include <functional>
#include <memory>

#include "../../ICCTestProfiles.h"
#include "windows/image/ImageFileTestSupport.h"
#include "formats/TIFF.h"
#include "platform/KeyTracker.h"
#include "process/Maskable.h"
#include "platform/ICCProfile.h"
#include "windows/dialogs/ColorManagementSetupDialog.h"
#include "windows/dialogs/ModifiedImageDialog.h"
#include "windows/image/ImageFileFormat.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"

namespace fs = std::filesystem;
using Kind = platform::FileDialogs::Kind;

namespace
{

class FileActionsTest : public test::ImageFileTest
{
protected:
   void SetUp() override
   {
      test::ImageFileTest::SetUp();
      main = std::make_unique<TMainWindow>();
      main->show();
   }

   void TearDown() override
   {
      CloseAllImageWindows();
      main.reset();
      test::ImageFileTest::TearDown();
   }

   // A float FITS file of a pattern, named in the temporary folder.
   std::string FITSFile( const std::string& name, float base = 0 )
   {
      std::unique_ptr<qor::Image> image( Pattern( 6, 4, 1, 0, base ) );
      const std::string path = folder.File( name );
      WriteFloatFITS( *image, path );
      return path;
   }

   TImageWindow* Find( const std::string& identifier )
   {
      TImageWindow::View* v = FindMainViewByIdentifier( identifier );
      return v != nullptr ? v->Window() : nullptr;
   }

   void Activate( TImageWindow* w ) { main->Desktop()->setActiveSubWindow( w->SubWindow() ); }

   // Makes the main window the active one again, as the desktop does once the status dialog of a file action has
   // gone (here nothing gives the activation back). Only an active main window shows a missed activation: its
   // desktop then reports no document child at all.
   void ActivateMainWindow()
   {
      main->activateWindow();
      ASSERT_TRUE( QTest::qWaitForWindowActive( main.get() ) );
   }

   // A drag over the main window, then the drop (Qt delivers a drop only to the widget that took the drag).
   void Drop( const QMimeData& mime, Qt::KeyboardModifiers modifiers )
   {
      QDragEnterEvent enter( QPoint( 10, 10 ), Qt::CopyAction, &mime, Qt::LeftButton, modifiers );
      QApplication::sendEvent( main.get(), &enter );
      ASSERT_TRUE( enter.isAccepted() );
      QDropEvent drop( QPointF( 10, 10 ), Qt::CopyAction, &mime, Qt::LeftButton, modifiers );
      QApplication::sendEvent( main.get(), &drop );
   }

   QStringList RecentImages() const { return TMainWindow::RecentFiles( main->FileOpenRecentImages_MenuItem ); }

   // Expects the modified-image question about a window, showing that message, and answers it; Cancel is offered
   // only during a Close All.
   void ExpectCloseQuestion( const QString& identifier, const char* message, int answer, bool cancelOffered )
   {
      dialogs.Expect( "ModifiedImageDialog",
                      [=]( QDialog& d )
                      {
                         auto& m = static_cast<TModifiedImageDialog&>( d );
                         EXPECT_EQ( m.Message_Label->text(), message );
                         EXPECT_TRUE( m.FilePath_Label->text().startsWith( identifier + ": " ) );
                         EXPECT_EQ( m.Cancel_SpeedButton->isVisibleTo( &m ), cancelOffered );
                         return answer;
                      } );
   }

   std::unique_ptr<TMainWindow> main;
};

} // namespace

// ---- Opening ----------------------------------------------------------------------------------------------------------

TEST_F( FileActionsTest, OpenShowsTheImageAndListsItOnceAmongTheRecentFiles )
{
   const std::string path = FITSFile( "m31.fits" );
   files.Expect( Kind::OpenFiles,
                 [&]( const platform::FileDialogs::Request& r )
                 {
                    EXPECT_EQ( r.caption, "Open Image" );
                    EXPECT_TRUE( r.filter.startsWith( "All Known Formats (*.tif *.tiff *.fit" ) );
                    return platform::FileDialogs::Choice{ { QString::fromStdString( path ) }, {} };
                 } );
   main->FileOpen_Action->trigger();

   TImageWindow* w = Find( "Image01" );
   ASSERT_NE( w, nullptr );
   EXPECT_EQ( w->SubWindow()->mdiArea(), main->Desktop() );
   EXPECT_EQ( w->filePath, path );
   EXPECT_FALSE( w->isCopy );
   EXPECT_TRUE( SamePixels( *w->image, *std::unique_ptr<qor::Image>( Pattern( 6, 4 ) ) ) );
   EXPECT_EQ( RecentImages(), QStringList{ QString::fromStdString( path ) } );
   EXPECT_EQ( main->openDialogInitialDirectory, QString::fromStdString( folder.Path().string() ) );

   // Again as a copy: no reopen question (a copy is what was asked for), a second window, still one recent entry.
   files.Expect( Kind::OpenFiles,
                 [&]( const platform::FileDialogs::Request& r )
                 {
                    EXPECT_EQ( r.caption, "Open Image Copy" );
                    return platform::FileDialogs::Choice{ { QString::fromStdString( path ) }, {} };
                 } );
   main->FileOpenACopy_Action->trigger();
   TImageWindow* copy = Find( "Image02" );
   ASSERT_NE( copy, nullptr );
   EXPECT_TRUE( copy->isCopy );
   EXPECT_EQ( RecentImages().size(), 1 );

   // Cancelling the dialog opens nothing.
   files.ExpectCancel( Kind::OpenFiles );
   main->FileOpen_Action->trigger();
   EXPECT_EQ( MainViewList.size(), 2u );
}

TEST_F( FileActionsTest, ANameWithoutExtensionTakesTheOneOfTheLastFilter )
{
   FITSFile( "flat.fit" );
   const QStringList filters = TMainWindow::OpenDialogFilters();
   files.Expect( Kind::OpenFiles, { QString::fromStdString( folder.File( "flat" ) ) }, filters[2] ); // FITS
   main->FileOpen_Action->trigger();
   EXPECT_EQ( main->openDialogFilterIndex, 3 );
   ASSERT_EQ( MainViewList.size(), 1u );
   EXPECT_EQ( MainViewList.front()->Window()->filePath, folder.File( "flat.fit" ) );

   // With the JPEG filter last, a bare name is read as a JPEG file.
   main->openDialogFilterIndex = 5;
   prompter.Expect( "JPEG Support:\nUnable to open JPEG file" );
   main->OpenFiles( { QString::fromStdString( folder.File( "dark" ) ) }, false );
   EXPECT_EQ( MainViewList.size(), 1u );

   const char* expected[] = { "fit", "tif", "fit", "raw", "jpg", "bmp", "fit" };
   for ( int i = 1; i <= 7; ++i )
      EXPECT_EQ( TMainWindow::OpenDialogDefaultExtension( i ), expected[i - 1] ) << i;
}

TEST_F( FileActionsTest, AfterAFailureTheUserDecidesWhetherToGoOn )
{
   const QString good = QString::fromStdString( FITSFile( "good.fits" ) );
   const QString bad = QString::fromStdString( folder.File( "missing.fits" ) );

   prompter.Expect( "Unable to open FITS file" );
   prompter.Expect( { "Continue opening files?", {}, ApplicationTitle(), platform::Icon::None, platform::Answer::No } );
   main->OpenFiles( { bad, good }, false );
   EXPECT_TRUE( MainViewList.empty() );

   prompter.Expect( "Unable to open FITS file" );
   prompter.Expect( "Continue opening files?", platform::Answer::Yes );
   main->OpenFiles( { bad, good }, false );
   EXPECT_EQ( MainViewList.size(), 1u );
   EXPECT_EQ( RecentImages(), QStringList{ good } );

   // The last file failing asks nothing more.
   prompter.Expect( "Unable to open FITS file" );
   main->OpenFiles( { bad }, false );
}

TEST_F( FileActionsTest, ProcessIconSetModulesGoToTheirLoaderAndTheirOwnRecentList )
{
   const QString module = QString::fromStdString( folder.File( "icons.LF-PSM" ) );
   // Without a loader, module files are refused.
   main->processIconSetLoader = nullptr;
   prompter.Expect( "Process icon set modules cannot be opened by this version of Lumenforge" );
   main->OpenFiles( { module }, false );
   EXPECT_TRUE( TMainWindow::RecentFiles( main->FileOpenRecentProcessIcons_MenuItem ).isEmpty() );

   QStringList loaded;
   main->processIconSetLoader = [&]( const QString& path, bool merge )
   {
      EXPECT_TRUE( merge );
      loaded << path;
      return true;
   };
   main->OpenFiles( { module }, true );
   EXPECT_EQ( loaded, QStringList{ module } );
   EXPECT_EQ( TMainWindow::RecentFiles( main->FileOpenRecentProcessIcons_MenuItem ), QStringList{ module } );
   EXPECT_TRUE( RecentImages().isEmpty() );
}

TEST_F( FileActionsTest, RecentListsHoldTenFilesNewestFirstAndReopenWithShiftAsCopies )
{
   QMenu* menu = main->FileOpenRecentImages_MenuItem;
   for ( int i = 0; i < 11; ++i )
      main->AddRecentFile( menu, QString( "/data/img%1.fits" ).arg( i ) );
   QStringList recent = RecentImages();
   ASSERT_EQ( recent.size(), 10 );
   EXPECT_EQ( recent.front(), "/data/img10.fits" );
   EXPECT_EQ( recent.back(), "/data/img1.fits" );

   main->AddRecentFile( menu, "/DATA/IMG5.FITS" ); // already there, in other case: keeps its place
   EXPECT_EQ( RecentImages(), recent );

   // An ampersand is part of the path, not a shortcut mark.
   main->AddRecentFile( menu, "/data/R&D.fits" );
   EXPECT_EQ( menu->actions().front()->text(), "/data/R&&D.fits" );

   // A click opens the item; with Shift held, as a copy.
   const QString path = QString::fromStdString( FITSFile( "recent.fits" ) );
   main->AddRecentFile( menu, path );
   platform::KeyTracker::Instance().Press( Qt::Key_Shift );
   menu->actions().front()->trigger();
   platform::KeyTracker::Instance().Release( Qt::Key_Shift );
   ASSERT_EQ( MainViewList.size(), 1u );
   EXPECT_TRUE( MainViewList.front()->Window()->isCopy );
}

TEST_F( FileActionsTest, DroppedFilesAreOpenedAsCopiesWhileCtrlIsHeld )
{
   const std::string a = FITSFile( "a.fits" );
   const std::string b = FITSFile( "b.fits", 0.25f );
   QMimeData mime;
   mime.setUrls( { QUrl::fromLocalFile( QString::fromStdString( a ) ) } );
   Drop( mime, Qt::NoModifier );
   QCoreApplication::processEvents();
   ASSERT_EQ( MainViewList.size(), 1u );
   EXPECT_FALSE( MainViewList.front()->Window()->isCopy );

   // A long path is taken whole.
   const std::string deep = ( folder.Path() / std::string( 200, 'd' ) / std::string( 120, 'f' ) ).string() + ".fits";
   fs::create_directories( fs::path( deep ).parent_path() );
   fs::copy_file( b, deep );
   mime.setUrls( { QUrl::fromLocalFile( QString::fromStdString( deep ) ) } );
   Drop( mime, Qt::ControlModifier );
   QCoreApplication::processEvents();
   ASSERT_EQ( MainViewList.size(), 2u );
   EXPECT_TRUE( MainViewList.back()->Window()->isCopy );
   EXPECT_EQ( MainViewList.back()->Window()->filePath, deep );
}

// The window opened last is the one the next action works on: Save As proposes its name and Close closes it.
TEST_F( FileActionsTest, TheWindowOpenedLastIsTheActiveOne )
{
   const QString a = QString::fromStdString( FITSFile( "andromeda.fits" ) );
   const QString b = QString::fromStdString( FITSFile( "bode.fits", 0.25f ) );
   for ( const QString& path : { a, b } )
   {
      files.Expect( Kind::OpenFiles, { path } );
      main->FileOpen_Action->trigger();
   }
   ActivateMainWindow();
   ASSERT_EQ( MainViewList.size(), 2u );
   TImageWindow* second = MainViewList.back()->Window();
   ASSERT_EQ( second->filePath, b.toStdString() );
   EXPECT_EQ( main->ActiveImageWindow(), second );

   files.Expect( Kind::SaveFile,
                 [&]( const platform::FileDialogs::Request& r )
                 {
                    EXPECT_EQ( r.directory, QString::fromStdString( folder.File( "bode" ) ) );
                    return platform::FileDialogs::Choice{};
                 } );
   main->FileSaveAs_Action->trigger();

   main->FileClose_Action->trigger();
   FlushDeletes();
   ASSERT_EQ( MainViewList.size(), 1u );
   EXPECT_EQ( MainViewList.front()->Window()->filePath, a.toStdString() );

   // Several files of one Open (as copies: nothing asked): the last of them.
   main->OpenFiles( { b, a }, true );
   ActivateMainWindow();
   ASSERT_EQ( MainViewList.size(), 3u );
   EXPECT_EQ( main->ActiveImageWindow(), MainViewList.back()->Window() );
   EXPECT_EQ( main->ActiveImageWindow()->filePath, a.toStdString() );
}

// Whichever way a window comes to be, it is the active one afterwards, not the window that was active before.
TEST_F( FileActionsTest, EveryNewImageWindowBecomesTheActiveOne )
{
   auto file = [&]( const char* name ) { return QString::fromStdString( FITSFile( name ) ); };
   struct Case
   {
      const char* how;
      std::function<void()> make;
   };
   const Case cases[] = {
      { "open a copy",
        [&]
        {
           files.Expect( Kind::OpenFiles, { file( "copy.fits" ) } );
           main->FileOpenACopy_Action->trigger();
        } },
      { "open recent",
        [&]
        {
           main->AddRecentFile( main->FileOpenRecentImages_MenuItem, file( "recent.fits" ) );
           main->FileOpenRecentImages_MenuItem->actions().front()->trigger();
        } },
      { "drop",
        [&]
        {
           QMimeData mime;
           mime.setUrls( { QUrl::fromLocalFile( file( "dropped.fits" ) ) } );
           Drop( mime, Qt::NoModifier );
           QCoreApplication::processEvents();
        } },
      { "paste",
        [&]
        {
           main->EditCopy_Action->trigger();
           main->EditPaste_Action->trigger();
        } },
      { "created", [] { CreateImageWindow( nullptr, Pattern( 2, 2 ), "" ); } },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.how );
      TImageWindow* before = CreateImageWindow( nullptr, Pattern( 3, 3 ), "" );
      Activate( before );
      c.make();
      ActivateMainWindow();
      TImageWindow* made = MainViewList.back()->Window();
      ASSERT_NE( made, before );
      EXPECT_TRUE( made->SubWindow()->isVisible() );
      EXPECT_EQ( main->ActiveImageWindow(), made );
   }
}

// ---- Saving and reverting -------------------------------------------------------------------------------------------

TEST_F( FileActionsTest, SaveWritesTheFileInPlaceWithoutADialog )
{
   const std::string path = FITSFile( "light.fits" );
   main->OpenFiles( { QString::fromStdString( path ) }, false );
   TImageWindow* w = MainViewList.front()->Window();
   Activate( w );
   w->image->Pixel( 2, 2 ) = 0.875f;
   w->mainView->Modified( false );

   main->FileSave_Action->trigger();
   EXPECT_EQ( w->modificationCount, 0 );
   qor::Image back;
   ImageFileData data;
   ReadImageFile( back, path, data );
   EXPECT_EQ( back.Pixel( 2, 2 ), 0.875f );
   EXPECT_EQ( FolderNames(), std::vector<std::string>{ "light.fits" } );
}

TEST_F( FileActionsTest, SaveOfACopyRunsOnlySaveAsAndItsCancelWritesNothing )
{
   const std::string path = FITSFile( "copy.fits" );
   main->OpenFiles( { QString::fromStdString( path ) }, true );
   TImageWindow* w = MainViewList.front()->Window();
   Activate( w );
   const std::string before = Contents( path );
   files.Expect( Kind::SaveFile,
                 [&]( const platform::FileDialogs::Request& r )
                 {
                    EXPECT_EQ( r.caption, "Save Image Copy" );
                    EXPECT_EQ( r.directory, QString::fromStdString( folder.File( "copy" ) ) );
                    return platform::FileDialogs::Choice{};
                 } );
   main->FileSave_Action->trigger();
   EXPECT_EQ( Contents( path ), before );
   EXPECT_EQ( FolderNames(), std::vector<std::string>{ "copy.fits" } );
}

TEST_F( FileActionsTest, SaveAsProposesTheFilesNameFormatAndExtensionFirst )
{
   struct Case
   {
      const char* path;
      ImageFileFormat format;
      int filterIndex;
      const char* extension; // the proposed format's default extension
      const char* pattern;
   };
   const Case cases[] = {
      { "/d/SCAN.TIFF", TIFFImageFileFormat, 1, "tiff", "*.tiff;*.tif" },
      { "/d/scan.TIF", TIFFImageFileFormat, 1, "tif", "*.tif;*.tiff" },
      { "/d/raw.raw", RAWImageFileFormat, 3, "raw", "*.raw" },
      { "/d/p.Jpeg", JPEGImageFileFormat, 4, "jpeg", "*.jpeg;*.jpg" },
      { "/d/p.JPG", JPEGImageFileFormat, 4, "jpg", "*.jpg;*.jpeg" },
      { "/d/m.fit", FITSImageFileFormat, 2, "fit", "*.fit;*.fits;*.fts" },
      { "/d/m.fits", FITSImageFileFormat, 2, "fits", "*.fits;*.fit;*.fts" },
      { "/d/m.FTS", FITSImageFileFormat, 2, "fts", "*.fts;*.fit;*.fits" },
      { "/d/b.bmp", BMPImageFileFormat, 2, "fts", "*.fts;*.fit;*.fits" },
   };
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 2, 2 ), "" );
   const SaveAsDialogSetup none = SaveAsDialogSetup::For( w );
   EXPECT_EQ( none.filterIndex, 2 );
   EXPECT_TRUE( none.fileName.isEmpty() );
   for ( const Case& c : cases )
   {
      w->filePath = c.path;
      w->fileFormat = c.format;
      const SaveAsDialogSetup s = SaveAsDialogSetup::For( w );
      EXPECT_EQ( s.directory, "/d" ) << c.path;
      EXPECT_EQ( s.fileName, QString( c.path ).mid( 3 ).section( '.', 0, 0 ) ) << c.path;
      EXPECT_EQ( s.filterIndex, c.filterIndex ) << c.path;
      EXPECT_EQ( s.defaultExtensions[size_t( c.filterIndex - 1 )], c.extension ) << c.path;
      EXPECT_EQ( s.patterns[size_t( c.filterIndex - 1 )], c.pattern ) << c.path;
   }
   EXPECT_EQ( SaveAsDialogSetup::For( w ).Filters().join( ";;" ),
              "TIFF Files (*.tif *.tiff);;FITS Files (*.fts *.fit *.fits);;RAW Files (*.raw);;JPEG Files (*.jpg *.jpeg)" );
}

TEST_F( FileActionsTest, SaveAsAppendsTheExtensionOfTheChosenTypeAndTheWindowTakesTheNewName )
{
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 3, 3 ), "" );
   Activate( w );
   const SaveAsDialogSetup setup = SaveAsDialogSetup::For( w );

   // Cancel in the options dialog writes nothing and says nothing.
   files.Expect( Kind::SaveFile, { QString::fromStdString( folder.File( "result" ) ) }, setup.Filters()[1] );
   dialogs.ExpectResult( "FITSFileOptionsDialog", QDialog::Rejected );
   main->FileSaveAs_Action->trigger();
   EXPECT_TRUE( FolderNames().empty() );
   EXPECT_TRUE( w->filePath.empty() );

   // 32-bit floating point chosen in the dialog: the file holds the samples exactly.
   files.Expect( Kind::SaveFile, { QString::fromStdString( folder.File( "result" ) ) }, setup.Filters()[1] );
   dialogs.Expect( "FITSFileOptionsDialog",
                   []( QDialog& d )
                   {
                      d.findChild<QRadioButton*>( "IEEE32FP_RadioButton" )->click();
                      d.findChild<QPushButton*>( "OK_SpeedButton" )->click();
                      return int( QDialog::Accepted );
                   } );
   main->FileSaveAs_Action->trigger();
   EXPECT_EQ( w->filePath, folder.File( "result.fit" ) );
   EXPECT_EQ( w->fileFormat, FITSImageFileFormat );
   EXPECT_EQ( w->modificationCount, 0 );
   qor::Image back;
   ImageFileData data;
   ReadImageFile( back, folder.File( "result.fit" ), data );
   EXPECT_TRUE( data.fitsOptions->floatingPoint );
   EXPECT_EQ( data.fitsOptions->bitsPerSample, 32 );
   EXPECT_TRUE( SamePixels( back, *w->image ) );

   // Saved again as another FITS file with other options: the old one stays as it was.
   const std::string first = Contents( folder.File( "result.fit" ) );
   files.Expect( Kind::SaveFile,
                 [&]( const platform::FileDialogs::Request& r )
                 {
                    EXPECT_EQ( r.caption, "Save Image" );
                    EXPECT_EQ( r.directory, QString::fromStdString( folder.File( "result" ) ) );
                    return platform::FileDialogs::Choice{ { QString::fromStdString( folder.File( "second.fits" ) ) },
                                                          {} };
                 } );
   dialogs.Expect( "FITSFileOptionsDialog",
                   []( QDialog& d )
                   {
                      d.findChild<QRadioButton*>( "UInt16_RadioButton" )->click();
                      d.findChild<QPushButton*>( "OK_SpeedButton" )->click();
                      return int( QDialog::Accepted );
                   } );
   main->FileSaveAs_Action->trigger();
   EXPECT_EQ( w->filePath, folder.File( "second.fits" ) );
   EXPECT_EQ( Contents( folder.File( "result.fit" ) ), first );
   ReadImageFile( back, folder.File( "second.fits" ), data );
   EXPECT_FALSE( data.fitsOptions->floatingPoint );
   EXPECT_EQ( data.fitsOptions->bitsPerSample, 16 );

   // The TIFF type with a bare name: the extension says TIFF, whose questions and options come with it.
   files.Expect( Kind::SaveFile, { QString::fromStdString( folder.File( "other" ) ) }, setup.Filters()[0] );
   prompter.Expect( "FITS header keywords cannot be embedded in TIFF files", platform::Answer::Yes );
   dialogs.ExpectResult( "TIFFFileOptionsDialog", QDialog::Accepted );
   main->FileSaveAs_Action->trigger();
   EXPECT_EQ( w->filePath, folder.File( "other.tif" ) );
}

TEST_F( FileActionsTest, RevertAsksFirstAndAFailedRevertClosesTheWindow )
{
   const std::string path = FITSFile( "rev.fits" );
   main->OpenFiles( { QString::fromStdString( path ) }, false );
   TImageWindow* w = MainViewList.front()->Window();
   Activate( w );

   // Unmodified: nothing to revert.
   main->FileRevert_Action->trigger();

   w->image->Fill( 0, 0.5f );
   w->mainView->Modified( false );
   prompter.Expect( { "Revert cannot be undone: Current data will be lost. Proceed?", {}, QString( "Revert" ),
                      platform::Icon::Warning, platform::Answer::No } );
   main->FileRevert_Action->trigger();
   EXPECT_EQ( w->image->Pixel( 0, 0 ), 0.5f );

   prompter.Expect( "Revert cannot be undone", platform::Answer::Yes );
   main->FileRevert_Action->trigger();
   EXPECT_EQ( w->image->Pixel( 0, 0 ), 0.0f );
   EXPECT_EQ( w->modificationCount, 0 );

   w->image->Fill( 0, 0.5f );
   w->mainView->Modified( false );
   fs::remove( path );
   prompter.Expect( "Revert cannot be undone", platform::Answer::Yes );
   prompter.Expect( "Cannot revert: original file does not exist" );
   ExpectCloseQuestion( QString::fromStdString( w->mainView->Identifier() ),
                        "The image has been modified and is unsaved. Close anyway?", TModifiedImageDialog::YesResult,
                        false );
   main->FileRevert_Action->trigger();
   FlushDeletes();
   EXPECT_TRUE( MainViewList.empty() );
}

// ---- Clipboard ------------------------------------------------------------------------------------------------------

TEST_F( FileActionsTest, CopyAndPasteMakeANewWindowWithTheSamePixels )
{
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 4, 3, 3, qor::ColorSpace::RGB ), "Source" );
   Activate( w );
   main->EditCopy_Action->trigger();
   ASSERT_TRUE( IsClipboardImageAvailable() );
   main->EditPaste_Action->trigger();
   ASSERT_EQ( MainViewList.size(), 2u );
   TImageWindow* pasted = MainViewList.back()->Window();
   EXPECT_NE( pasted, w );
   EXPECT_TRUE( pasted->filePath.empty() );
   EXPECT_TRUE( SamePixels( *pasted->image, *w->image ) );

   // A damaged block is reported and makes nothing.
   auto* data = new QMimeData;
   data->setData( main->rawImageClipboardFormat, QByteArray( 20, '\x7F' ) );
   QGuiApplication::clipboard()->setMimeData( data );
   prompter.Expect( { "Invalid clipboard image data", {}, ApplicationTitle(), platform::Icon::Warning,
                      platform::Answer::Ok } );
   main->EditPaste_Action->trigger();
   EXPECT_EQ( MainViewList.size(), 2u );
}

// ---- Closing --------------------------------------------------------------------------------------------------------

TEST_F( FileActionsTest, CloseAllGoesFromTheLastWindowAndStopsAtCancel )
{
   TImageWindow* first = CreateImageWindow( nullptr, Pattern( 2, 2 ), "First" );
   TImageWindow* second = CreateImageWindow( nullptr, Pattern( 2, 2 ), "Second" );
   TImageWindow* third = CreateImageWindow( nullptr, Pattern( 2, 2 ), "Third" );
   for ( TImageWindow* w : { first, second, third } )
      w->modificationCount = 1;

   // No for the third keeps it and goes on; Cancel for the second stops: the first is not asked.
   auto expect = [&]( const char* identifier, int answer )
   { ExpectCloseQuestion( identifier, "The image has been modified and is unsaved. Close anyway?", answer, true ); };
   expect( "Third", TModifiedImageDialog::NoResult );
   expect( "Second", TModifiedImageDialog::CancelResult );
   main->FileCloseAll_Action->trigger();
   FlushDeletes();
   EXPECT_EQ( MainViewList.size(), 3u );
   EXPECT_FALSE( GetModifiedImageDialog().cancelAllowed );

   // A window that is only somebody's mask is asked about too, and Cancel there stops as well.
   second->modificationCount = 0;
   Maskable user;
   user.SetMask( second );
   expect( "Third", TModifiedImageDialog::YesResult );
   ExpectCloseQuestion( "Second", "There exist active mask references to this image. Close anyway?",
                        TModifiedImageDialog::CancelResult, true );
   main->FileCloseAll_Action->trigger();
   FlushDeletes();
   ASSERT_EQ( MainViewList.size(), 2u );
   EXPECT_EQ( MainViewList.back()->Window(), second );

   dialogs.ExpectResult( "ModifiedImageDialog", TModifiedImageDialog::YesResult );
   dialogs.ExpectResult( "ModifiedImageDialog", TModifiedImageDialog::YesResult );
   main->FileCloseAll_Action->trigger();
   FlushDeletes();
   EXPECT_TRUE( MainViewList.empty() );
   EXPECT_EQ( user.mask, nullptr );
}

// ---- Undo and purges ------------------------------------------------------------------------------------------------

TEST_F( FileActionsTest, DisablingUndoAsksOnlyWhenThereAreUndoData )
{
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 2, 2 ), "" );
   Activate( w );
   main->EditEnableUndo_Action->trigger();
   EXPECT_FALSE( w->undoEnabled );
   main->EditEnableUndo_Action->trigger();
   EXPECT_TRUE( w->undoEnabled );

   w->undoAvailable = true;
   prompter.Expect( { "Undo/redo saved images will be deleted", {}, QString( "Disable Undo" ), {},
                      platform::Answer::No } );
   main->EditEnableUndo_Action->trigger();
   EXPECT_TRUE( w->undoEnabled );
   EXPECT_TRUE( w->undoAvailable );
   prompter.Expect( "Undo/redo saved images will be deleted", platform::Answer::Yes );
   main->EditEnableUndo_Action->trigger();
   EXPECT_FALSE( w->undoEnabled );
   EXPECT_FALSE( w->undoAvailable );
}

TEST_F( FileActionsTest, PurgesAskOnceAndReportWhatTheyDeleted )
{
   TImageWindow* a = CreateImageWindow( nullptr, Pattern( 2, 2 ), "" );
   TImageWindow* b = CreateImageWindow( nullptr, Pattern( 2, 2 ), "" );

   prompter.Expect( { "0 undo buffer(s) destroyed.", {}, QString( "Purge Undo" ), platform::Icon::Information,
                      platform::Answer::Ok } );
   main->EditPurgeUndo_Action->trigger();

   a->undoAvailable = true;
   b->redoAvailable = true;
   prompter.Expect( "Undo/redo saved images will be deleted", platform::Answer::Cancel );
   main->EditPurgeUndo_Action->trigger();
   EXPECT_TRUE( a->undoAvailable );
   EXPECT_TRUE( b->redoAvailable );

   prompter.Expect( "Undo/redo saved images will be deleted", platform::Answer::Ok );
   prompter.Expect( "2 undo buffer(s) destroyed." );
   main->EditPurgeUndo_Action->trigger();
   EXPECT_FALSE( a->undoAvailable );
   EXPECT_FALSE( b->redoAvailable );

   a->mainView->CalculateHistograms( 256, false );
   a->mainView->CalculateStatistics( false );
   b->mainView->CalculateHistograms( 256, false );
   prompter.Expect( { "3 image view(s) purged.", {}, QString( "Purge Histograms/Statistics" ),
                      platform::Icon::Information, platform::Answer::Ok } );
   main->EditPurgeHistograms_Action->trigger();
   EXPECT_EQ( a->mainView->Histograms(), nullptr );

   b->undoAvailable = true;
   b->mainView->CalculateHistograms( 256, false );
   QGuiApplication::clipboard()->setText( "text" );
   prompter.Expect( "Undo/redo saved images will be deleted", platform::Answer::Ok );
   prompter.Expect( { "1 undo/redo buffer(s) destroyed.\n1 histogram/statistics structure(s) deleted.\n"
                      "Existing clipboard data were deleted.",
                      {}, QString( "Purge All" ), platform::Icon::Information, platform::Answer::Ok } );
   main->EditPurgeAll_Action->trigger();
   const QMimeData* left = QGuiApplication::clipboard()->mimeData();
   EXPECT_TRUE( left == nullptr || left->formats().isEmpty() );

   prompter.Expect( "0 undo/redo buffer(s) destroyed.\n0 histogram/statistics structure(s) deleted.\n"
                    "No clipboard data were deleted." );
   main->EditPurgeAll_Action->trigger();
}

// A TIFF file with an embedded Adobe-compatible profile opens as the mismatch policy says: the profile kept with
// the pixels as read, or the pixels converted to the default profile, which the window then carries; either way
// the window displays through the monitor profile.
TEST_F( FileActionsTest, AnEmbeddedProfileIsKeptOrConvertedOnOpenAsThePolicySays )
{
   ASSERT_TRUE( ColorManagementSettings.displayAvailable );
   cmsHPROFILE adobe = test::MakeAdobeCompatibleProfile( "Adobe-compatible RGB" );
   cmsUInt32Number size = 0;
   cmsSaveProfileToMem( adobe, nullptr, &size );
   std::vector<uint8_t> adobeBytes( size );
   cmsSaveProfileToMem( adobe, adobeBytes.data(), &size );
   cmsCloseProfile( adobe );
   std::unique_ptr<qor::Image> image( Pattern( 6, 4, 3, qor::ColorSpace::RGB, 0.2f ) );
   const std::string path = folder.File( "adobe.tif" );
   TIFFOptions options;
   options.bitsPerSample = 16;
   WriteTIFF( *image, path, &options, &adobeBytes, nullptr );
   const int8_t saved = ColorManagementSettings.OnProfileMismatch;

   for ( int policy : { 1, 2 } ) // keep, convert
   {
      ColorManagementSettings.OnProfileMismatch = int8_t( policy );
      main->OpenFiles( { QString::fromStdString( path ) }, false );
      ASSERT_EQ( MainViewList.size(), 1u );
      TImageWindow* w = MainViewList.front()->Window();
      ASSERT_NE( w->iccProfile, nullptr );
      if ( policy == 1 )
      {
         EXPECT_EQ( *w->iccProfile, adobeBytes );
         EXPECT_NEAR( w->image->PixelData( 0 )[7], image->PixelData( 0 )[7], 1.0 / 65535 );
      }
      else
      {
         EXPECT_EQ( *w->iccProfile, *ColorManagementSettings.defaultRGBProfileData );
         EXPECT_FALSE( w->image->PixelData( 0 )[7] == image->PixelData( 0 )[7] &&
                       w->image->PixelData( 2 )[7] == image->PixelData( 2 )[7] );
      }
      EXPECT_TRUE( w->colorManagementEnabled );
      EXPECT_NE( w->iccProfileHandle, nullptr );
      CloseAllImageWindows();
   }
   ColorManagementSettings.OnProfileMismatch = saved;
}

TEST_F( FileActionsTest, ColorManagementSetupEditsTheSettingsWhenAvailable )
{
   // The main window started display colour management on the program's own monitor profile (sRGB).
   ASSERT_TRUE( ColorManagementSettings.displayAvailable );
   const int8_t mismatch = ColorManagementSettings.OnProfileMismatch;
   const bool embedding = ColorManagementSettings.DefaultProfileEmbedding;

   const std::string rgbDefault = ColorManagementSettings.DefaultRGBProfilePath;
   const std::string grayDefault = ColorManagementSettings.DefaultGrayProfilePath;
   ASSERT_FALSE( rgbDefault.empty() );

   // Cancel after changing the choices leaves the settings alone; OK stores them.
   for ( bool ok : { false, true } )
   {
      dialogs.Expect( "ColorManagementSetupDialog",
                      [ok]( QDialog& d )
                      {
                         auto& setup = static_cast<TColorManagementSetupDialog&>( d );
                         // The default profiles shown are those in effect (at first start, the monitor's, which
                         // is in none of the profile folders).
                         const ColorManagementSettingsRecord& s = ColorManagementSettings;
                         EXPECT_EQ( setup.DefaultRGBProfile_ComboBox->currentText().toStdString(),
                                    GetICCProfileDescription( s.defaultRGBProfile ) );
                         EXPECT_EQ( setup.DefaultRGBProfilePath_Panel->toolTip().toStdString(), s.DefaultRGBProfilePath );
                         EXPECT_EQ( setup.DefaultGrayProfile_ComboBox->currentText().toStdString(),
                                    GetICCProfileDescription( s.defaultGrayProfile ) );
                         EXPECT_EQ( setup.DefaultGrayProfilePath_Panel->toolTip().toStdString(),
                                    s.DefaultGrayProfilePath );
                         EXPECT_EQ( setup.CMM_ComboBox->currentText(), "0000" );
                         EXPECT_EQ( setup.CMMPath_Panel->toolTip(),
                                    "Use profile CMM (if available) or system default CMM" );
                         EXPECT_TRUE( setup.Mismatch_RadioButton[ColorManagementSettings.OnProfileMismatch]->isChecked() );
                         setup.Mismatch_RadioButton[0]->click();
                         setup.Embed_CheckBox->click();
                         ( ok ? setup.OK_SpeedButton : setup.Cancel_SpeedButton )->click();
                         return d.result();
                      } );
      main->EditColorManagement_Action->trigger();
      EXPECT_EQ( ColorManagementSettings.OnProfileMismatch, ok ? 0 : mismatch );
      EXPECT_EQ( ColorManagementSettings.DefaultProfileEmbedding, ok ? !embedding : embedding );
      // OK without touching the profiles changes none of them.
      EXPECT_EQ( ColorManagementSettings.DefaultRGBProfilePath, rgbDefault );
      EXPECT_EQ( ColorManagementSettings.DefaultGrayProfilePath, grayDefault );
   }
   ColorManagementSettings.OnProfileMismatch = mismatch;
   ColorManagementSettings.DefaultProfileEmbedding = embedding;
}

TEST_F( FileActionsTest, ColorManagementSetupSaysWhenItIsNotAvailable )
{
   ReleaseColorManagement();
   prompter.Expect( { "Lumenforge was unable to initialize a valid color management on this system.\n"
                      "The Color Management interface is not available.",
                      {}, ApplicationTitle(), platform::Icon::Error, platform::Answer::Ok } );
   main->EditColorManagement_Action->trigger();
}
