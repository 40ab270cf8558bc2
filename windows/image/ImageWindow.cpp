// TImageWindow: construction and destruction, caption, global lists, notifications, closing, the swap-file folder,
// mask references and the minimal hooks of the parts still to come.

#include "windows/image/ImageWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <regex>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "process/Preferences.h"
#include "process/ProcessContainer.h"
#include "support/Utils.h"
#include "windows/dialogs/ModifiedImageDialog.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingWindow.h"

// ---- Global state ---------------------------------------------------------------------------------------------------

std::vector<TImageWindow::View*> MainViewList;
std::vector<TImageWindow::Preview*> PreviewList;
int32_t ImageWindowCounter = 0;
uint8_t CurrentImageWindowMode = 0;
qor::RGBColorSystem GlobalRGBWorkingSpace;

int32_t TImageWindow::statusDialogNestingCount = 0;
int32_t TImageWindow::statusDialogPaintPermission = 0;

namespace
{

bool Terminating()
{
   return MainWindow != nullptr && MainWindow->terminating;
}

// Leading and trailing white space removed.
std::string TrimmedPath( const std::string& path )
{
   size_t begin = path.find_first_not_of( " \t\r\n" );
   if ( begin == std::string::npos )
      return {};
   size_t end = path.find_last_not_of( " \t\r\n" );
   return path.substr( begin, end - begin + 1 );
}

constexpr const char* SwapFolderPrefix = "lumenforge-";

// The process that made a swap folder, from the folder's name; 0 when the name is not one SwapFolders gives.
pid_t SwapFolderProcess( const std::string& name )
{
   static const std::regex pattern( std::string( SwapFolderPrefix ) + "([1-9][0-9]{0,9})-[A-Za-z0-9]{6}" );
   std::smatch match;
   if ( !std::regex_match( name, match, pattern ) )
      return 0;
   const long long pid = std::stoll( match[1] );
   return pid <= std::numeric_limits<pid_t>::max() ? pid_t( pid ) : 0;
}

bool IsRunning( pid_t pid )
{
   // A process of another user answers EPERM: it runs.
   return ::kill( pid, 0 ) == 0 || errno != ESRCH;
}

// Whether the folder holds nothing but the swap files of image windows (lf<n>.swp, lf<n>.tmp), all plain files.
bool HoldsOnlySwapFiles( const std::filesystem::path& folder )
{
   static const std::regex swapFile( "lf[0-9]+\\.(swp|tmp)" );
   std::error_code ec;
   for ( std::filesystem::directory_iterator i( folder, ec ), end; !ec && i != end; i.increment( ec ) )
      if ( !std::regex_match( i->path().filename().string(), swapFile ) ||
           i->symlink_status( ec ).type() != std::filesystem::file_type::regular )
         return false;
   return !ec;
}

// The private swap-file folders made by this process, one per base folder; removed with their content at exit.
class SwapFolders
{
public:
   ~SwapFolders()
   {
      for ( const auto& [base, folder] : folders )
      {
         std::error_code ignored;
         std::filesystem::remove_all( folder, ignored );
      }
   }

   // The folder of this process in the base folder; empty, with errno set, when it cannot be made.
   std::string FolderIn( const std::string& base )
   {
      auto i = folders.find( base );
      if ( i != folders.end() )
      {
         std::error_code ec;
         if ( std::filesystem::is_directory( i->second, ec ) )
            return i->second;
         folders.erase( i );
      }
      // mkdtemp makes the folder with mode 0700 under a name nobody can foresee, and fails rather than reuse an
      // existing one. The process id in the name tells a later start whether the folder is still in use.
      std::string pattern =
          ( std::filesystem::path( base ) / ( SwapFolderPrefix + std::to_string( ::getpid() ) + "-XXXXXX" ) ).string();
      if ( ::mkdtemp( pattern.data() ) == nullptr )
         return {};
      folders[base] = pattern;
      return pattern;
   }

private:
   std::map<std::string, std::string> folders;
};

// Serial numbers of the windows, from 1 (0 means none in a swap file; the top bit marks process instances).
uint32_t NextWindowSerial()
{
   static uint32_t last = 0;
   last = ( last % 0x7FFFFFFFu ) + 1;
   return last;
}

} // namespace

// ---- Mask link ------------------------------------------------------------------------------------------------------

// This window's reference to its mask window, registered with that window like any other user of a mask, so that a
// mask window that goes away clears it.
class TImageWindow::MaskLink : public Maskable
{
public:
   explicit MaskLink( TImageWindow* owner ) : owner( owner ) {}
   void MaskChanged() override
   {
      owner->maskWindow = dynamic_cast<TImageWindow*>( mask );
      owner->MaskChanged();
   }
   TImageWindow* Owner() const { return owner; }

private:
   TImageWindow* owner;
};

// ---- Construction ---------------------------------------------------------------------------------------------------

TImageWindow::TImageWindow( QWidget* owner, bool isCopyFlag, qor::IPTCPhotoInfo* iptc, JPEGOptions* jpeg,
                            RAWOptions* raw, FITSOptions* fits, TIFFOptions* tiff, std::vector<uint8_t>* icc,
                            const std::string& path, const std::string& identifier, qor::Image* img )
    : QAbstractScrollArea( nullptr ), serial( NextWindowSerial() )
{
   // Everything passed is owned from here on, whatever happens next.
   std::unique_ptr<qor::Image> imageHolder( img != nullptr ? img : new qor::Image );
   tiffOptions.reset( tiff );
   fitsOptions.reset( fits );
   rawOptions.reset( raw );
   jpegOptions.reset( jpeg );
   iptcInfo.reset( iptc != nullptr ? iptc : new qor::IPTCPhotoInfo );
   iccProfile.reset( icc );

   setObjectName( "ImageWindow" );
   setAttribute( Qt::WA_DeleteOnClose );

   // 1-2.
   rgbWorkingSpace = GlobalRGBWorkingSpace;
   resolution = CurrentPreferences.imageWindow.defaultResolution;
   metricResolution = CurrentPreferences.imageWindow.defaultMetricResolution;

   // 4.
   maskShown = CurrentPreferences.imageWindow.defaultMasksShown;
   maskLink = std::make_unique<MaskLink>( this );

   // 5. Appearance: the viewport is the scroll box; the tab strip and the separators live in its margins.
   setFrameShape( QFrame::NoFrame );
   setHorizontalScrollBarPolicy( Qt::ScrollBarAsNeeded );
   setVerticalScrollBarPolicy( Qt::ScrollBarAsNeeded );
   viewport()->setObjectName( "Image_ScrollBox" );
   viewport()->setAttribute( Qt::WA_OpaquePaintEvent );
   viewport()->setAttribute( Qt::WA_NoSystemBackground );
   viewport()->setAcceptDrops( true );
   // Moves without a button pressed show the position, the readout and the cursors of what the mode can grab.
   viewport()->setMouseTracking( true );
   setFocusPolicy( Qt::StrongFocus );
   horizontalScrollBar()->setSingleStep( 16 );
   verticalScrollBar()->setSingleStep( 16 );
   EnsureViewTabFont();
   ViewTabs_PaintBox = MakeViewTabsStrip( this );
   ViewTabs_PaintBox->setObjectName( "ViewTabs_PaintBox" );
   BuildPopupMenus();
   ApplyBackgroundColor( false );
   UpdateViewTabsLayout();

   // 6.
   filePath = TrimmedPath( path );
   isCopy = !filePath.empty() && isCopyFlag;

   // 7. The window takes the resolution of the last record given (TIFF, FITS, JPEG); a record made here takes
   // the window's resolution as it stands at its turn.
   if ( tiffOptions != nullptr )
   {
      tiffOptions->yResolution = tiffOptions->xResolution;
      resolution = tiffOptions->xResolution;
      metricResolution = tiffOptions->metricResolution;
   }
   else
   {
      tiffOptions = std::make_unique<TIFFOptions>();
      tiffOptions->xResolution = tiffOptions->yResolution = resolution;
      tiffOptions->metricResolution = metricResolution;
   }
   if ( fitsOptions != nullptr )
   {
      resolution = fitsOptions->resolution;
      metricResolution = fitsOptions->metricResolution;
   }
   else
   {
      fitsOptions = std::make_unique<FITSOptions>();
      fitsOptions->resolution = resolution;
      fitsOptions->metricResolution = metricResolution;
   }
   if ( jpegOptions != nullptr )
   {
      jpegOptions->yResolution = jpegOptions->xResolution;
      resolution = jpegOptions->xResolution;
      metricResolution = jpegOptions->metricResolution;
   }
   else
   {
      jpegOptions = std::make_unique<JPEGOptions>();
      jpegOptions->xResolution = jpegOptions->yResolution = resolution;
      jpegOptions->metricResolution = metricResolution;
   }
   if ( rawOptions == nullptr )
      rawOptions = std::make_unique<RAWOptions>();

   // 8. Swap-file names only; the files are made when undo data are first written.
   swapFileNumber = ImageWindowCounter;
   NameSwapFiles();

   // 9.
   image = imageHolder.release();
   mainView = new View( &image, this, identifier.empty() ? DefaultImageIdentifier() : identifier );
   currentView = mainView;

   // On the desktop of the main window, framed by a sub-window that deletes itself (and this window) on close.
   if ( owner == nullptr && MainWindow != nullptr )
      owner = MainWindow;
   if ( auto* main = dynamic_cast<TMainWindow*>( owner ); main != nullptr && main->Desktop() != nullptr )
   {
      QMdiSubWindow* frame = main->Desktop()->addSubWindow( this );
      frame->setAttribute( Qt::WA_DeleteOnClose );
      frame->setObjectName( "ImageWindow_Frame" );
   }

   // 10.
   SetZoom( 1 );
   MainViewList.push_back( mainView );
   UpdateCaption();
   ++ImageWindowCounter;
   SetIcons();
   UpdateDisplayTransform();
}

TImageWindow::~TImageWindow()
{
   ++closingCount;
   beingDestroyed = true;

   // Swap and temporary files go whenever they exist, not only while undo is possible: nothing of the image
   // stays behind on disk.
   for ( const std::string& f : { swapFilePath, tempFilePath } )
      if ( !f.empty() )
      {
         std::error_code ignored;
         std::filesystem::permissions( f, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
                                       ignored );
         std::filesystem::remove( f, ignored );
      }

   for ( Preview* p : previews )
   {
      p->beingDeleted = true;
      PreviewList.erase( std::remove( PreviewList.begin(), PreviewList.end(), p ), PreviewList.end() );
      NotifyViewDeleted( *p );
   }
   for ( Preview* p : previews )
      delete p;
   previews.clear();
   currentView = nullptr;
   selectedPreview = nullptr;

   MainViewList.erase( std::remove( MainViewList.begin(), MainViewList.end(), mainView ), MainViewList.end() );
   NotifyViewDeleted( *mainView );
   if ( MainViewList.empty() )
      ImageWindowCounter = 0;
   delete mainView;
   mainView = nullptr;

   if ( !Terminating() )
   {
      SetMask( nullptr );
      ReleaseMaskReferences();
   }
   maskLink.reset();

   delete image;
   image = nullptr;

   DeleteICCProfile( false );
   StopDynamicCrop();
   StopDBE();
}

TImageWindow* CreateImageWindow( QWidget* owner, qor::Image* image, const std::string& identifier,
                                 ProcessContainer* history )
{
   std::unique_ptr<ProcessContainer> historyHolder( history );
   auto* window =
       new TImageWindow( owner, false, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "", identifier, image );
   if ( historyHolder != nullptr )
      window->mainView->SetHistory( historyHolder.release() );
   if ( window->SubWindow() != nullptr )
      window->ShowAndActivate();
   NotifyViewCreated( *window->mainView );
   return window;
}

QMdiSubWindow* TImageWindow::SubWindow() const
{
   return qobject_cast<QMdiSubWindow*>( parentWidget() );
}

QWidget* TImageWindow::Frame() const
{
   QMdiSubWindow* frame = SubWindow();
   return frame != nullptr ? static_cast<QWidget*>( frame ) : const_cast<TImageWindow*>( this );
}

void TImageWindow::ShowAndActivate()
{
   Frame()->show();
   if ( QMdiSubWindow* frame = SubWindow(); frame != nullptr && MainWindow != nullptr )
      MainWindow->ActivateDocumentChild( frame );
}

// ---- Mask references ------------------------------------------------------------------------------------------------

void TImageWindow::AddMaskReference( Maskable* user )
{
   if ( std::find( maskReferences.begin(), maskReferences.end(), user ) == maskReferences.end() )
      maskReferences.push_back( user );
}

void TImageWindow::RemoveMaskReference( Maskable* user )
{
   maskReferences.erase( std::remove( maskReferences.begin(), maskReferences.end(), user ), maskReferences.end() );
}

void TImageWindow::SetMask( TImageWindow* window )
{
   if ( window == this || window == maskWindow )
      return;
   if ( window != nullptr )
      maskEnabled = true;
   // The link moves between the windows' reference lists and calls MaskChanged.
   maskLink->SetMask( window );
}

SwapFileMaskReference TImageWindow::MaskReferenceRecordOf( const Maskable* user )
{
   if ( const auto* link = dynamic_cast<const MaskLink*>( user ) )
      return link->Owner()->MaskReferenceRecord();
   // A process instance: never linked again from a file, so it gets an identity no window has (the top bit set).
   static uint32_t lastInstanceIdentity = 0;
   SwapFileMaskReference record;
   record.identity = 0x80000000u | ( ++lastInstanceIdentity & 0x7FFFFFFFu );
   return record;
}

void TImageWindow::ReleaseMaskReferences()
{
   std::vector<Maskable*> users;
   users.swap( maskReferences );
   for ( Maskable* user : users )
      user->SetMask( nullptr );
}

void TImageWindow::NotifyMaskReferences()
{
   std::vector<Maskable*> users = maskReferences;
   for ( Maskable* user : users )
      user->MaskChanged();
}

// ---- Caption and appearance -----------------------------------------------------------------------------------------

void TImageWindow::UpdateCaption()
{
   static const char* const colorChannelNames[] = { "RGB", "Red", "Green", "Blue", "Luminance", "Chrominance" };
   const ImageWindowPreferences& prefs = CurrentPreferences.imageWindow;
   const bool color = DisplayedImage().IsColor();

   QString text;
   if ( prefs.showCaptionCurrentChannels )
   {
      int32_t k = color ? 5 : 0;
      if ( displayChannel > k )
         text += QString::asprintf( "alpha%02d", int( displayChannel - k ) );
      else
         text += color ? colorChannelNames[std::clamp( displayChannel, 0, 5 )] : "Gray";
   }
   if ( prefs.showCaptionZoomRatios && currentView != nullptr )
   {
      if ( !text.isEmpty() )
         text += ' ';
      int32_t zoom = currentView->zoom;
      text += QString::asprintf( "%d:%d", int( zoom > 0 ? zoom : 1 ), int( zoom <= 0 ? -zoom : 1 ) );
   }
   if ( prefs.showCaptionIdentifiers && currentView != nullptr )
   {
      if ( !text.isEmpty() )
         text += " - ";
      text += QString::fromStdString( currentView->FullIdentifier() ) + " -";
   }
   if ( !text.isEmpty() )
      text += ' ';
   if ( !filePath.empty() )
   {
      if ( isCopy )
         text += "Copy of: ";
      text += QString::fromStdString(
          prefs.showCaptionFullPaths ? filePath : std::filesystem::path( filePath ).filename().string() );
   }
   else
      text += QString::fromLatin1( CurrentPreferences.identifiers.newImageCaption );

   if ( text != caption )
   {
      caption = text;
      setWindowTitle( caption );
      if ( QMdiSubWindow* frame = SubWindow() )
         frame->setWindowTitle( caption );
   }
}

void TImageWindow::ApplyBackgroundColor( bool repaint )
{
   backgroundColor = PreferenceColor( CurrentPreferences.colorsFonts.imageWindowBackgroundColor );
   QPalette palette = this->palette();
   palette.setColor( QPalette::Window, backgroundColor );
   palette.setColor( QPalette::Base, backgroundColor );
   setPalette( palette );
   viewport()->setPalette( palette );
   if ( repaint )
   {
      update();
      viewport()->update();
      RepaintViewTabs();
   }
}

void TImageWindow::SetIcons()
{
   QPixmap icon( 16, 16 );
   icon.fill( backgroundColor );
   QPainter p( &icon );
   p.setPen( Qt::white );
   p.drawRect( 2, 2, 11, 11 );
   p.end();
   setWindowIcon( QIcon( icon ) );
   if ( QMdiSubWindow* frame = SubWindow() )
      frame->setWindowIcon( QIcon( icon ) );
}

void ApplyPreferencesToImageWindows()
{
   CreateViewTabFont();
   // Preview titles are drawn once into a bitmap: drawn anew in the new font and colours.
   for ( TImageWindow::Preview* preview : PreviewList )
      preview->DrawCaptionBitmap();
   for ( TImageWindow::View* v : MainViewList )
   {
      TImageWindow* w = v->Window();
      w->UpdateCaption();
      w->ApplyBackgroundColor( true );
      w->UpdateViewTabsLayout();
   }
}

// ---- Closing --------------------------------------------------------------------------------------------------------

bool TImageWindow::FormClose()
{
   if ( Terminating() )
      return true;
   StopDynamicCrop();
   StopDBE();
   return AskCloseQuestions() == TModifiedImageDialog::YesResult;
}

int TImageWindow::AskCloseQuestions()
{
   int answer = TModifiedImageDialog::YesResult;
   if ( !maskReferences.empty() )
      answer = GetModifiedImageDialog().Ask( this, MaskReferencesReason );
   if ( answer == TModifiedImageDialog::YesResult && modificationCount > 0 )
      answer = GetModifiedImageDialog().Ask( this, UnsavedImageReason );
   return answer;
}

void TImageWindow::closeEvent( QCloseEvent* event )
{
   if ( !FormClose() )
   {
      event->ignore();
      return;
   }
   ++closingCount;
   event->accept();
}

std::string TImageWindow::SwapDirectory( std::string* failure )
{
   static SwapFolders folders;
   const ImageWindowPreferences& prefs = CurrentPreferences.imageWindow;
   std::string base;
   std::error_code ec;
   if ( !prefs.useSystemTEMPDirectory && !prefs.swapFilesDirectory.empty() &&
        std::filesystem::is_directory( prefs.swapFilesDirectory, ec ) )
      base = prefs.swapFilesDirectory;
   else
      base = GetTempDirectory();
   const std::string folder = base.empty() ? std::string() : folders.FolderIn( base );
   if ( folder.empty() && failure != nullptr )
   {
      const int error = errno;
      *failure = "Unable to make a folder for swap files in:\n" + ( base.empty() ? "(no temporary folder)" : base ) +
                 ( error != 0 ? "\n(" + std::string( std::strerror( error ) ) + ")" : std::string() ) +
                 "\nChoose another folder for swap files in Edit > Preferences (Image Windows, Swap Files).";
   }
   return folder;
}

bool TImageWindow::NameSwapFiles( std::string* failure )
{
   const std::string folder = SwapDirectory( failure );
   if ( folder.empty() )
      return false;
   const std::string stem = ( std::filesystem::path( folder ) / ( "lf" + std::to_string( swapFileNumber ) ) ).string();
   swapFilePath = stem + ".swp";
   tempFilePath = stem + ".tmp";
   return true;
}

void TImageWindow::RemoveAbandonedSwapDirectories( const std::string& base )
{
   std::error_code ec;
   for ( std::filesystem::directory_iterator i( base, ec ), end; !ec && i != end; i.increment( ec ) )
   {
      const pid_t pid = SwapFolderProcess( i->path().filename().string() );
      struct stat info = {};
      if ( pid == 0 || IsRunning( pid ) || ::lstat( i->path().c_str(), &info ) != 0 ||
           !S_ISDIR( info.st_mode ) || info.st_uid != ::geteuid() || !HoldsOnlySwapFiles( i->path() ) )
         continue;
      std::error_code ignored;
      std::filesystem::remove_all( i->path(), ignored );
   }
}

// ---- Caches of all views --------------------------------------------------------------------------------------------

namespace
{

// Drops one cache of every view of the window that has it; the number of such views.
template <typename Has, typename Drop> int32_t DropFromEveryView( const TImageWindow& window, Has has, Drop drop )
{
   int32_t n = 0;
   auto one = [&]( TImageWindow::View* v )
   {
      if ( has( *v ) )
      {
         drop( *v );
         ++n;
      }
   };
   one( window.mainView );
   for ( TImageWindow::Preview* p : window.previews )
      one( p );
   return n;
}

} // namespace

int32_t TImageWindow::DiscardHistograms( bool notify )
{
   return DropFromEveryView(
       *this, []( const View& v ) { return v.Histograms() != nullptr; },
       [notify]( View& v ) { v.DiscardHistograms( notify ); } );
}

int32_t TImageWindow::DiscardStatistics( bool notify )
{
   return DropFromEveryView(
       *this, []( const View& v ) { return v.Statistics() != nullptr; },
       [notify]( View& v ) { v.DiscardStatistics( notify ); } );
}

// ---- Notifications --------------------------------------------------------------------------------------------------

TImageWindow::View* AsImageView( ProcessView& view )
{
   return dynamic_cast<TImageWindow::View*>( &view );
}
