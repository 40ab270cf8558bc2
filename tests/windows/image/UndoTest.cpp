// Swap files, undo, redo and recovery of image windows: what the files hold, how damaged files are refused, and
// the promises users rely on: an aborted run gives back the image bit for bit, undo and redo exchange exact states,
// a full disk refuses a run before anything changes, and no undo data outlive their window.

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "ImageWindowTestSupport.h"
#include "TestDirs.h"
#include "classlib/File.h"
#include "classlib/Parallel.h"
#include "formats/FITS.h"
#include "process/ProcessContainer.h"
#include "process/ProcessExecution.h"
#include "windows/image/ImageFileFormat.h"
#include "windows/image/SwapFile.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessExecution.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace
{

// Adds 0.25 to every sample a row at a time with progress (the rows done stay done when aborted), or changes the
// keywords and identifier when those are what it declares to change.
class Brighten : public Process
{
public:
   std::unique_ptr<Process> Clone() const override { return std::make_unique<Brighten>( *this ); }
   std::string Id() const override { return "Brighten"; }
   uint32_t UndoFlags( const ProcessView& ) const override { return flags; }
   void DoExecuteOn( ProcessView& view ) override
   {
      TImageWindow::View& target = *AsImageView( view );
      TImageWindow& w = *target.Window();
      if ( flags & SwapFileFlag::FITSKeywords )
         w.fitsOptions->keywords.Add( new FITSHeaderKeyword( "ADDED", "1", "by a run" ) );
      if ( flags & SwapFileFlag::Identifier )
         target.SetIdentifier( target.Identifier() + "_b" );
      if ( flags & SwapFileFlag::PixelData )
         test::AddToEverySample( target.GetImage(), 0.25f, "Brightening" );
      if ( loseImage )
      {
         target.GetImage().FreeData();
         throw std::bad_alloc();
      }
      target.Modified( true );
   }
   uint32_t flags = SwapFileFlag::PixelData;
   bool loseImage = false;
};

std::vector<uint8_t> Bytes( const qor::Image& image )
{
   std::vector<uint8_t> bytes;
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
   {
      const auto* p = reinterpret_cast<const uint8_t*>( image.PixelData( c ) );
      bytes.insert( bytes.end(), p, p + image.NumberOfPixels() * 4 );
   }
   return bytes;
}

std::vector<char> FileBytes( const std::string& path )
{
   std::ifstream in( path, std::ios::binary );
   return std::vector<char>( std::istreambuf_iterator<char>( in ), {} );
}

void WriteFileBytes( const std::string& path, const std::vector<char>& bytes )
{
   std::filesystem::remove( path );
   std::ofstream( path, std::ios::binary ).write( bytes.data(), std::streamsize( bytes.size() ) );
}

// Everything of a window that undo, redo and recovery must give back exactly.
struct WindowState
{
   explicit WindowState( const TImageWindow& w )
      : pixels( Bytes( *w.image ) ), width( w.image->Width() ), channels( w.image->NumberOfChannels() ),
        identifier( w.mainView->Identifier() ), gamma( w.rgbWorkingSpace.Gamma() ),
        profile( w.iccProfile != nullptr ? *w.iccProfile : std::vector<uint8_t>() )
   {
      for ( const FITSHeaderKeyword* k : w.fitsOptions->keywords )
         keywords.push_back( k->name + "=" + k->value + "/" + k->comment );
      for ( const TImageWindow::Preview* p : w.previews )
         previews.push_back( p->Identifier() + ":" + std::to_string( p->left ) + "," + std::to_string( p->top ) + "," +
                             std::to_string( p->GetImage().Width() ) + ( p->HasStoredState() ? ",stored" : "" ) );
   }
   bool operator==( const WindowState& ) const = default;

   std::vector<uint8_t> pixels;
   int32_t width, channels;
   std::string identifier;
   float gamma;
   std::vector<uint8_t> profile;
   std::vector<std::string> keywords;
   std::vector<std::string> previews;
};

class UndoTest : public test::ImageWindowProcessTest
{
protected:
   // A colour window with keywords, a profile, a custom working space and two previews, one of them stored.
   TImageWindow* MakeRichWindow( const std::string& id = "Image01" )
   {
      TImageWindow* w = Make( RandomImage( 48, 32, 4, qor::ColorSpace::RGB ), id );
      w->fitsOptions->keywords.Add( new FITSHeaderKeyword( "OBJECT", "'M31'", "target" ) );
      w->fitsOptions->keywords.Add( new FITSHeaderKeyword( "EXPTIME", "300", "" ) );
      w->iccProfile = std::make_unique<std::vector<uint8_t>>( std::vector<uint8_t>{ 0, 0, 0, 9, 1, 2, 3, 4, 5 } );
      const float x[3] = { 0.64f, 0.3f, 0.15f }, y[3] = { 0.33f, 0.6f, 0.06f }, Y[3] = { 0.2f, 0.7f, 0.1f };
      w->rgbWorkingSpace.SetParameters( 1.8f, false, x, y, Y );
      w->CreatePreview( "Preview01", 4, 4, 16, 16 );
      TImageWindow::Preview* stored = w->CreatePreview( "Preview02", 20, 10, 20, 18 );
      stored->GetImage().Fill( 1, 0.75f );
      stored->AddToHistory( std::make_unique<ProcessContainer>() );
      stored->Store();
      return w;
   }
};

// A window written with every section and read back after everything changed is the window it was; a file with
// only the identifier leaves pixels, keywords and profile alone. Files are private and made afresh.
TEST_F( UndoTest, SwapFilesGiveBackTheSectionsTheyHold )
{
   test::TempDir dir;
   TImageWindow* w = MakeRichWindow();
   const WindowState before( *w );
   const std::vector<uint8_t> storedPixels = Bytes( *w->previews[1]->storedImage );
   const std::string path = dir.File( "state.swp" );
   w->WriteSwapFile( path, 0x3F );
   struct stat st {};
   ASSERT_EQ( ::stat( path.c_str(), &st ), 0 );
   EXPECT_EQ( st.st_mode & 0777, 0600u );

   w->image->Fill( 0, 0.5f );
   w->image->Allocate( 10, 10, 1, qor::ColorSpace::Gray );
   w->fitsOptions->ClearKeywords();
   w->iccProfile.reset();
   w->rgbWorkingSpace = GlobalRGBWorkingSpace;
   w->mainView->SetIdentifier( "Other" );
   w->DeleteAllPreviews();
   w->ReadSwapFile( path, false );
   EXPECT_EQ( WindowState( *w ), before );
   ASSERT_EQ( w->previews.size(), 2u );
   EXPECT_EQ( Bytes( w->previews[1]->GetImage() ), storedPixels );
   EXPECT_EQ( w->previews[1]->History().instances.Length(), 1u );
   EXPECT_EQ( w->swapFileFlags, 0x3F );

   // Identifier only: the rest stays as it is now.
   w->WriteSwapFile( path, SwapFileFlag::Identifier | SwapFileFlag::NoPreviews | SwapFileFlag::NoMaskData );
   w->image->Fill( 0, 0.125f );
   const std::vector<uint8_t> filled = Bytes( *w->image );
   w->mainView->SetIdentifier( "Renamed" );
   w->ReadSwapFile( path, false );
   EXPECT_EQ( w->mainView->Identifier(), "Image01" );
   EXPECT_EQ( Bytes( *w->image ), filled );
   EXPECT_EQ( w->fitsOptions->keywords.Length(), 2u );
}

// A damaged or foreign swap file is refused and leaves the window exactly as it was: pixels, previews and all.
TEST_F( UndoTest, DamagedOrForeignSwapFilesChangeNothing )
{
   test::TempDir dir;
   TImageWindow* w = MakeRichWindow();
   TImageWindow* other = Make( RandomImage( 20, 20, 1, qor::ColorSpace::Gray ), "Other" );
   const std::string good = dir.File( "good.swp" );
   w->WriteSwapFile( good, 0x3F );
   const std::vector<char> bytes = FileBytes( good );
   const std::string foreign = dir.File( "foreign.swp" );
   other->WriteSwapFile( foreign, SwapFileFlag::Identifier );

   auto patched = [&]( size_t offset, int32_t value )
   {
      std::vector<char> b = bytes;
      std::memcpy( b.data() + offset, &value, 4 );
      return b;
   };
   const size_t planes = 296 + size_t( 48 * 32 * 4 * 4 );
   struct Case
   {
      const char* what;
      std::vector<char> content;
   } cases[] = {
      { "version 3", patched( 4, 3 ) },
      { "version 5", patched( 4, 5 ) },
      { "truncated in the planes", std::vector<char>( bytes.begin(), bytes.begin() + 5000 ) },
      { "truncated at the end", std::vector<char>( bytes.begin(), bytes.end() - 1 ) },
      { "one byte more", [&] { auto b = bytes; b.push_back( 0 ); return b; }() },
      { "huge width", patched( 8, 0x7FFFFFFF ) },
      { "negative height", patched( 12, -4 ) },
      { "unknown colour space", patched( 20, 9 ) },
      { "preview count beyond the file", patched( 28, 0x01000000 ) },
      { "negative keyword count", patched( planes + 1 + 4 + 1 + 36 + 1 + 4 + 9, -1 ) },
      { "singular working space", patched( planes + 1 + 4 + 1, 0 ) },
   };
   const WindowState before( *w );
   for ( const Case& c : cases )
   {
      const std::string path = dir.File( "bad.swp" );
      WriteFileBytes( path, c.content );
      EXPECT_ANY_THROW( w->ReadSwapFile( path, false ) ) << c.what;
      EXPECT_EQ( WindowState( *w ), before ) << c.what;
   }
   // Another image's file without pixel data does not describe this image.
   EXPECT_THROW( w->ReadSwapFile( foreign, false ), qor::Image::InvalidSwapFile );
   EXPECT_EQ( WindowState( *w ), before );
}

// Undo, redo and undo again exchange exact states through the swap file; the history and the modification count
// follow, and the files are private and read-only between operations.
TEST_F( UndoTest, UndoRedoUndoGivesBackTheSameBytes )
{
   TImageWindow* w = MakeRichWindow();
   const WindowState original( *w );
   Brighten b;
   b.flags = SwapFileFlag::PixelData | SwapFileFlag::FITSKeywords | SwapFileFlag::Identifier;
   ASSERT_TRUE( b.LaunchOn( *w->mainView ) );
   const WindowState processed( *w );
   ASSERT_NE( processed, original );
   EXPECT_TRUE( w->undoAvailable );
   EXPECT_EQ( w->modificationCount, 1 );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );

   const std::filesystem::path folder = std::filesystem::path( w->swapFilePath ).parent_path();
   EXPECT_EQ( std::filesystem::status( folder ).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all );
   struct stat st {};
   ASSERT_EQ( ::stat( w->swapFilePath.c_str(), &st ), 0 );
   EXPECT_EQ( st.st_mode & 0777, 0400u );

   w->UndoRedo();
   EXPECT_EQ( WindowState( *w ), original );
   EXPECT_TRUE( w->redoAvailable );
   EXPECT_FALSE( w->undoAvailable );
   EXPECT_EQ( w->modificationCount, 0 );
   EXPECT_EQ( w->mainView->History().instances.Length(), 0u );
   ASSERT_NE( w->mainView->RedoProcess(), nullptr );

   w->Redo();
   EXPECT_EQ( WindowState( *w ), processed );
   EXPECT_EQ( w->modificationCount, 1 );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );
   w->Redo(); // nothing to redo
   EXPECT_EQ( WindowState( *w ), processed );

   w->UndoRedo();
   EXPECT_EQ( WindowState( *w ), original );
   EXPECT_FALSE( std::filesystem::exists( w->tempFilePath ) );

   // A swap file gone from outside: undo says so and changes nothing.
   std::filesystem::remove( w->swapFilePath );
   try
   {
      w->UndoRedo();
      ADD_FAILURE() << "no failure";
   }
   catch ( const ProcessRefusal& x )
   {
      EXPECT_STREQ( x.what(), "Cannot undo/redo: Swap file deleted" );
   }
   EXPECT_EQ( WindowState( *w ), original );
   EXPECT_TRUE( w->redoAvailable );
}

// A swap file damaged between the run and the undo: the undo is refused with its reason, nothing changes, and the
// temporary file does not stay behind.
TEST_F( UndoTest, AnUndoFromADamagedSwapFileIsRefused )
{
   TImageWindow* w = Make( RandomImage( 32, 32, 3, qor::ColorSpace::RGB ), "Image01" );
   Brighten b;
   ASSERT_TRUE( b.LaunchOn( *w->mainView ) );
   const WindowState processed( *w );
   std::vector<char> bytes = FileBytes( w->swapFilePath );
   bytes.resize( bytes.size() - 100 );
   WriteFileBytes( w->swapFilePath, bytes );
   try
   {
      w->UndoRedo();
      ADD_FAILURE() << "no failure";
   }
   catch ( const ProcessRefusal& x )
   {
      EXPECT_EQ( std::string( x.what() ).rfind( "Cannot undo/redo: ", 0 ), 0u ) << x.what();
   }
   EXPECT_EQ( WindowState( *w ), processed );
   EXPECT_TRUE( w->undoAvailable );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );
   EXPECT_FALSE( std::filesystem::exists( w->tempFilePath ) );
}

// A pipe in place of the swap file is refused at once, with a message naming it, instead of waiting for a writer
// for ever; nothing changes. (A writer keeps the pipe answering meanwhile, so that a reader that opened it anyway
// would fail instead of hanging the test.)
TEST_F( UndoTest, APipeInPlaceOfTheSwapFileIsRefusedWithoutWaiting )
{
   TImageWindow* w = Make( RandomImage( 16, 16, 1, qor::ColorSpace::Gray ), "Image01" );
   Brighten b;
   ASSERT_TRUE( b.LaunchOn( *w->mainView ) );
   const WindowState processed( *w );
   std::filesystem::remove( w->swapFilePath );
   ASSERT_EQ( ::mkfifo( w->swapFilePath.c_str(), 0600 ), 0 );
   std::atomic<bool> done = false;
   std::thread writer(
       [&]
       {
          while ( !done )
          {
             const int fd = ::open( w->swapFilePath.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC );
             if ( fd >= 0 )
                ::close( fd );
          }
       } );
   try
   {
      w->UndoRedo();
      ADD_FAILURE() << "no failure";
   }
   catch ( const ProcessRefusal& x )
   {
      EXPECT_EQ( std::string( x.what() ),
                 "Cannot undo/redo: Cannot open something that is not a file: " + w->swapFilePath );
   }
   done = true;
   writer.join();
   EXPECT_EQ( WindowState( *w ), processed );
   EXPECT_TRUE( w->undoAvailable );
}

// An abort at any progress event of a run on a main view gives back the image, its keywords, identifier and
// previews bit for bit, and the undo state of the run before (whose undo still works afterwards).
TEST_F( UndoTest, AnAbortAtAnyProgressEventRestoresTheWindow )
{
   qor::ThreadCountScope oneThread( 1 );
   TMainWindow main;
   for ( int32_t abortAt : { 1, 2, 5, 9, 40 } )
   {
      TImageWindow* w = MakeRichWindow( "Image" + std::to_string( abortAt ) );
      Brighten first;
      ASSERT_TRUE( first.LaunchOn( *w->mainView ) );
      const WindowState beforeRun( *w );

      Brighten second;
      second.flags = SwapFileFlag::PixelData | SwapFileFlag::FITSKeywords | SwapFileFlag::Identifier;
      int32_t events = 0;
      StatusDialog().progressHook = [&]( int32_t )
      {
         if ( ++events == abortAt )
            main.RequestAbort();
      };
      prompter.Expect( "Abort process?", platform::Answer::Yes );
      prompter.Expect( "Process aborted." );
      EXPECT_FALSE( second.LaunchOn( *w->mainView ) ) << abortAt;
      EXPECT_EQ( prompter.PendingCount(), 0u ) << abortAt;
      StatusDialog().progressHook = nullptr;
      EXPECT_EQ( WindowState( *w ), beforeRun ) << abortAt;
      EXPECT_TRUE( w->undoAvailable ) << abortAt;
      EXPECT_EQ( w->mainView->History().instances.Length(), 1u );

      w->UndoRedo(); // the first run's undo is still there
      EXPECT_EQ( w->modificationCount, 0 );
      EXPECT_EQ( w->mainView->History().instances.Length(), 0u );
   }
}

// A swap file that cannot be written (a full disk) refuses the run with its reason before anything changes, and the
// undo data of the run before stay usable.
TEST_F( UndoTest, AFullDiskRefusesTheRunBeforeAnythingChanges )
{
   TImageWindow* w = Make( RandomImage( 64, 64, 3, qor::ColorSpace::RGB ), "Image01" );
   Brighten first;
   ASSERT_TRUE( first.LaunchOn( *w->mainView ) );
   const WindowState beforeRun( *w );

   // The file size limit stands in for a full disk: writes beyond it fail as they would.
   struct rlimit saved {};
   ASSERT_EQ( ::getrlimit( RLIMIT_FSIZE, &saved ), 0 );
   auto savedHandler = std::signal( SIGXFSZ, SIG_IGN );
   struct rlimit limit = saved;
   limit.rlim_cur = 4096;
   ASSERT_EQ( ::setrlimit( RLIMIT_FSIZE, &limit ), 0 );
   Brighten second;
   prompter.Expect( "Undo setup error: Unable to write swap file: " );
   const bool ran = second.LaunchOn( *w->mainView );
   ::setrlimit( RLIMIT_FSIZE, &saved );
   std::signal( SIGXFSZ, savedHandler );

   EXPECT_FALSE( ran );
   ASSERT_EQ( prompter.Records().size(), 1u );
   EXPECT_TRUE( prompter.Records()[0].text.startsWith( "Undo setup error: Unable to write swap file: " ) )
       << prompter.Records()[0].text.toStdString();
   EXPECT_EQ( WindowState( *w ), beforeRun );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );
   EXPECT_TRUE( w->undoAvailable );
   w->UndoRedo();
   EXPECT_EQ( w->modificationCount, 0 );
}

// A swap-file folder chosen in the preferences where no folder can be made refuses the run with a message that names
// it and says where another is chosen; once another is chosen, the same window keeps undo data again.
TEST_F( UndoTest, AnUnwritableSwapFolderIsNamedAndAnotherOneIsTakenOnceChosen )
{
   const ImageWindowPreferences saved = CurrentPreferences.imageWindow;
   CurrentPreferences.imageWindow.useSystemTEMPDirectory = false;
   CurrentPreferences.imageWindow.swapFilesDirectory = "/proc"; // no one, not even root, makes a folder there
   TImageWindow* w = Make( RandomImage( 16, 16, 1, qor::ColorSpace::Gray ), "Image01" );
   const WindowState before( *w );
   Brighten b;
   prompter.Expect( QRegularExpression( "^Undo setup error: Unable to make a folder for swap files in:\n/proc\n\\(.+\\)\n"
                                        "Choose another folder for swap files in Edit > Preferences \\(Image Windows, "
                                        "Swap Files\\)\\.$" ) );
   EXPECT_FALSE( b.LaunchOn( *w->mainView ) );
   EXPECT_EQ( WindowState( *w ), before );

   CurrentPreferences.imageWindow = saved;
   ASSERT_TRUE( b.LaunchOn( *w->mainView ) );
   EXPECT_TRUE( std::filesystem::exists( w->swapFilePath ) );
   w->UndoRedo();
   EXPECT_EQ( WindowState( *w ), before );
}

// A failure that leaves the window without pixels gets them back from the undo data of the run.
TEST_F( UndoTest, AFailureThatLosesTheImageGetsItBackFromTheUndoData )
{
   TImageWindow* w = Make( RandomImage( 16, 12, 3, qor::ColorSpace::RGB ), "Image01" );
   const WindowState before( *w );
   prompter.Expect( "Out of memory" );
   Brighten b;
   b.loseImage = true;
   EXPECT_FALSE( b.LaunchOn( *w->mainView ) );
   EXPECT_EQ( WindowState( *w ), before );
   EXPECT_TRUE( w->paintingAllowed );
   EXPECT_EQ( prompter.PendingCount(), 0u );
}

// Undo data never outlive the window: purge, disabling undo and closing delete them.
TEST_F( UndoTest, UndoDataAreDeletedOnPurgeDisableAndClose )
{
   TImageWindow* w = Make( RandomImage( 16, 16, 1, qor::ColorSpace::Gray ), "Image01" );
   Brighten b;
   ASSERT_TRUE( b.LaunchOn( *w->mainView ) );
   ASSERT_TRUE( std::filesystem::exists( w->swapFilePath ) );
   w->PurgeUndo();
   EXPECT_FALSE( std::filesystem::exists( w->swapFilePath ) );
   EXPECT_FALSE( w->undoAvailable || w->redoAvailable );

   ASSERT_TRUE( b.LaunchOn( *w->mainView ) );
   w->UndoRedo();
   ASSERT_NE( w->mainView->RedoProcess(), nullptr );
   w->DisableUndo();
   EXPECT_FALSE( std::filesystem::exists( w->swapFilePath ) );
   EXPECT_FALSE( w->undoAvailable || w->redoAvailable );
   EXPECT_EQ( w->mainView->RedoProcess(), nullptr );
   w->EnableUndo();

   ASSERT_TRUE( b.LaunchOn( *w->mainView ) );
   const std::string swap = w->swapFilePath;
   delete w;
   EXPECT_FALSE( std::filesystem::exists( swap ) );
}

// A FITS file opened, processed, undone, redone, and a second run aborted at a chosen progress event: the pixels
// are byte-identical to what they should be each time.
TEST_F( UndoTest, AFITSImageSurvivesUndoRedoAndAnAbortedRun )
{
   qor::ThreadCountScope oneThread( 1 );
   test::TempDir dir;
   const std::string path = dir.File( "m31.fits" );
   std::unique_ptr<qor::Image> source( RandomImage( 40, 30, 3, qor::ColorSpace::RGB ) );
   FITSOptions options;
   options.bitsPerSample = 32;
   options.floatingPoint = true;
   WriteFITS( *source, path, &options, nullptr, nullptr );
   TImageWindow* w = Track( OpenImageFile( nullptr, path, false, "" ) );
   ASSERT_NE( w, nullptr );
   const std::vector<uint8_t> opened = Bytes( *w->image );

   TMainWindow main;
   Brighten b;
   ASSERT_TRUE( b.LaunchOn( *w->mainView ) );
   const std::vector<uint8_t> processed = Bytes( *w->image );
   w->UndoRedo();
   EXPECT_EQ( Bytes( *w->image ), opened );
   w->UndoRedo();
   EXPECT_EQ( Bytes( *w->image ), processed );

   StatusDialog().progressHook = [&]( int32_t event )
   {
      if ( event == 6 )
         main.RequestAbort();
   };
   prompter.Expect( "Abort process?", platform::Answer::Yes );
   prompter.Expect( "Process aborted." );
   EXPECT_FALSE( b.LaunchOn( *w->mainView ) );
   EXPECT_EQ( prompter.PendingCount(), 0u );
   EXPECT_EQ( Bytes( *w->image ), processed );
   w->UndoRedo();
   EXPECT_EQ( Bytes( *w->image ), opened );
}

} // namespace
