// The views list: which views it lists and selects, the hint of the current view, the removal of entries, and the
// view it reports when the user chooses an entry.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

#include "windows/frames/ViewsListFrame.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingWindow.h"

namespace
{

const QString NoViewSelected = "<* No view selected *>";
const QString NoViewsAvailable = "<* No views available *>";

class ViewsListFrameTest : public test::ImageWindowTest
{
protected:
   void SetUp() override
   {
      test::ImageWindowTest::SetUp();
      QObject::connect( &frame, &TViewsListFrame::ViewSelected,
                        [this]( TImageWindow::View* view ) { selected.push_back( view ); } );
   }

   // Image01 with Preview01 and Preview02, and Image02 with a file.
   void MakeImages()
   {
      first = Make( new qor::Image( 8, 8 ), "Image01" );
      first->CreatePreview( "Preview01", 0, 0, 4, 4 );
      first->CreatePreview( "Preview02", 4, 4, 4, 4 );
      second = Make( new qor::Image( 8, 8 ), "Image02" );
      second->filePath = "/data/m51.fits";
   }

   static QStringList Entries( const TViewsListFrame& f )
   {
      QStringList entries;
      for ( int i = 0; i < f.ViewsList_ComboBox->count(); ++i )
         entries << f.ViewsList_ComboBox->itemText( i );
      return entries;
   }
   QStringList Entries() const { return Entries( frame ); }

   int Selected() const { return frame.ViewsList_ComboBox->currentIndex(); }

   // The user picks an entry, as the combo box reports it.
   void Choose( int index )
   {
      frame.ViewsList_ComboBox->setCurrentIndex( index );
      Q_EMIT frame.ViewsList_ComboBox->activated( index );
   }

   TViewsListFrame frame;
   TImageWindow* first = nullptr;
   TImageWindow* second = nullptr;
   std::vector<TImageWindow::View*> selected;
};

} // namespace

TEST_F( ViewsListFrameTest, WithoutImagesOnlyThePlaceholderIsListed )
{
   // The frame's view goes with its image; the list no longer offers it.
   frame.currentView = Make( new qor::Image( 2, 2 ) )->mainView;
   delete windows.back();
   frame.allowNone = false;
   frame.Rebuild();
   EXPECT_EQ( Entries(), QStringList{ NoViewsAvailable } );
   EXPECT_EQ( Selected(), 0 );
   EXPECT_EQ( frame.currentView, nullptr );
   EXPECT_EQ( frame.ViewsList_ComboBox->toolTip(), "Views List" );
   EXPECT_EQ( frame.ViewsList_ComboBox->width(), 385 );
}

TEST_F( ViewsListFrameTest, RebuildListsTheChosenKindsOfViewsAndSelectsTheCurrentOne )
{
   MakeImages();
   TImageWindow::View* image1 = first->mainView;
   TImageWindow::View* preview2 = first->previews[1];
   TImageWindow::View* image2 = second->mainView;
   struct Case
   {
      const char* name;
      std::function<void( TViewsListFrame& )> setUp;
      QStringList entries;
      int selected;
      TImageWindow::View* current;
   };
   const QStringList all{ NoViewSelected, "Image01", "Image01->Preview01", "Image01->Preview02", "Image02" };
   const Case cases[] = {
       { "every view, the current one selected", [&]( TViewsListFrame& f ) { f.currentView = preview2; }, all, 3,
         preview2 },
       { "no current view", []( TViewsListFrame& ) {}, all, 0, nullptr },
       { "main views only", [&]( TViewsListFrame& f ) { f.includePreviews = false, f.currentView = image2; },
         { NoViewSelected, "Image01", "Image02" }, 2, image2 },
       { "previews only", [&]( TViewsListFrame& f ) { f.includeMainViews = false, f.currentView = image1; },
         { NoViewSelected, "Image01->Preview01", "Image01->Preview02" }, 0, nullptr },
       { "an excluded image hides its previews",
         [&]( TViewsListFrame& f ) { f.excludedView = image1, f.currentView = image2; },
         { NoViewSelected, "Image02" }, 1, image2 },
       { "an excluded preview hides only itself",
         [&]( TViewsListFrame& f ) { f.excludedView = preview2, f.currentView = preview2; },
         { NoViewSelected, "Image01", "Image01->Preview01", "Image02" }, 0, nullptr },
       { "without the none entry the first view stands in",
         [&]( TViewsListFrame& f ) { f.allowNone = false, f.currentView = image2; },
         { "Image01", "Image01->Preview01", "Image01->Preview02", "Image02" }, 3, image2 },
       { "nothing left to list",
         [&]( TViewsListFrame& f )
         {
            f.allowNone = false, f.includePreviews = false, f.excludedView = image1, f.includeMainViews = false;
            f.currentView = image2;
         },
         { NoViewsAvailable, "" }, 0, nullptr },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      TViewsListFrame f;
      c.setUp( f );
      f.Rebuild();
      EXPECT_EQ( Entries( f ), c.entries );
      EXPECT_EQ( f.ViewsList_ComboBox->currentIndex(), c.selected );
      EXPECT_EQ( f.currentView, c.current );
   }
}

TEST_F( ViewsListFrameTest, TheCurrentViewShowsItsFileOrTheNewImageCaptionAsHint )
{
   MakeImages();
   CurrentPreferences.identifiers.newImageCaption = "<*unsaved*>";
   frame.Rebuild();

   frame.currentView = second->mainView;
   frame.SelectCurrentView();
   EXPECT_EQ( frame.ViewsList_ComboBox->currentText(), "Image02" );
   EXPECT_EQ( frame.ViewsList_ComboBox->toolTip(), "/data/m51.fits" );

   frame.currentView = first->previews[0];
   frame.SelectCurrentView();
   EXPECT_EQ( frame.ViewsList_ComboBox->currentText(), "Image01->Preview01" );
   EXPECT_EQ( frame.ViewsList_ComboBox->toolTip(), "<*unsaved*>" );

   // A view that is not listed (excluded after the list was built, then listed no more) leaves no view.
   frame.excludedView = second->mainView;
   frame.Rebuild();
   frame.currentView = second->mainView;
   frame.SelectCurrentView();
   EXPECT_EQ( frame.currentView, nullptr );
   EXPECT_EQ( Selected(), 0 );
   EXPECT_TRUE( frame.ViewsList_ComboBox->toolTip().isEmpty() );

   frame.currentView = first->mainView;
   frame.SelectCurrentView();
   frame.currentView = nullptr;
   frame.SelectCurrentView();
   EXPECT_EQ( Selected(), 0 );
   EXPECT_TRUE( frame.ViewsList_ComboBox->toolTip().isEmpty() );
   EXPECT_TRUE( selected.empty() ); // the list's own selections are not the user's
}

// A processing window with a views list, kept up to date as windows keep theirs.
TEST_F( ViewsListFrameTest, RemovingTheLastRealEntryRebuildsTheList )
{
   class ViewsWindow : public TProcessingWindow
   {
   public:
      ViewsWindow() : TProcessingWindow( nullptr ) { ViewsList = new TViewsListFrame( this ); }
      std::unique_ptr<Process> NewInstance() override { return nullptr; }
      void ViewCreated( TImageWindow::View& ) override { ViewsList->Rebuild(); }
      void ViewDeleted( TImageWindow::View& view ) override { ViewsList->RemoveView( &view ); }
      TViewsListFrame* ViewsList;
   } window;
   auto entries = [&window] { return Entries( *window.ViewsList ); };

   MakeImages();
   EXPECT_EQ( entries(), ( QStringList{ NoViewSelected, "Image01", "Image01->Preview01", "Image01->Preview02",
                                        "Image02" } ) );
   first->DeletePreview( first->previews[0] );
   EXPECT_EQ( entries(), ( QStringList{ NoViewSelected, "Image01", "Image01->Preview02", "Image02" } ) );
   delete first;
   EXPECT_EQ( entries(), ( QStringList{ NoViewSelected, "Image02" } ) );
   delete second;
   first = second = nullptr;
   EXPECT_EQ( entries(), QStringList{ NoViewsAvailable } );
}

TEST_F( ViewsListFrameTest, ChoosingAnEntryReportsItsViewOrNone )
{
   MakeImages();
   frame.Rebuild();
   Choose( 3 );
   Choose( 4 );
   Choose( 0 );
   EXPECT_EQ( selected, ( std::vector<TImageWindow::View*>{ first->previews[1], second->mainView, nullptr } ) );

   // Entries of an image closed meanwhile, or of a preview of another name now, name no view.
   selected.clear();
   second->mainView->SetIdentifier( "Renamed" );
   first->previews[1]->SetIdentifier( "Other" );
   Choose( 4 );
   Choose( 3 );
   delete first;
   first = nullptr;
   Choose( 1 );
   EXPECT_EQ( selected, ( std::vector<TImageWindow::View*>( 3, nullptr ) ) );

   // Without the none entry the first entry is a view like any other.
   selected.clear();
   frame.allowNone = false;
   frame.Rebuild();
   Choose( 0 );
   EXPECT_EQ( selected, std::vector<TImageWindow::View*>{ second->mainView } );
}

TEST_F( ViewsListFrameTest, ChoicesAreIgnoredWhileAWindowFillsItsControls )
{
   MakeImages();
   TMainWindow mainWindow;
   frame.Rebuild();
   {
      TMainWindow::ControlUpdateGuard guard;
      Choose( 1 );
   }
   EXPECT_TRUE( selected.empty() );
   Choose( 1 );
   EXPECT_EQ( selected, std::vector<TImageWindow::View*>{ first->mainView } );
}
