// TImageWindow: one level of undo and redo in the swap file, recovery after an aborted run, reading swap files back
// into the window, and masks.
//
// Files: the swap file (swapFilePath) holds the undo or redo state; the temporary file (tempFilePath) takes the
// current state during an exchange and keeps the previous undo data as the recovery copy while a process runs. Both
// live in the private swap folder of the process (SwapDirectory), are made afresh for every write, private to the
// user, and are read-only between operations.

#include "windows/image/ImageWindow.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "classlib/File.h"
#include "process/ProcessContainer.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/ProcessingWindow.h"

namespace
{

bool Exists( const std::string& path )
{
   return !path.empty() && qor::File::Exists( path );
}

void SetReadOnly( const std::string& path )
{
   // Advisory only on POSIX; a failure changes nothing that matters.
   ::chmod( path.c_str(), S_IRUSR );
}

void RemoveQuietly( const std::string& path )
{
   if ( path.empty() )
      return;
   std::error_code ignored;
   std::filesystem::remove( path, ignored );
}

bool Rename( const std::string& from, const std::string& to )
{
   std::error_code ec;
   std::filesystem::rename( from, to, ec );
   return !ec;
}

// A task of the status dialog for the length of a swap-file operation, with the image's monitor connected to it.
// The bracket nests in the caller's, or is the dialog's own when the caller opened none.
class SwapTask
{
public:
   SwapTask( const std::string& text, const qor::Image& image ) : monitor( image )
   {
      TProcessingStatusDialog& status = StatusDialog();
      status.BeginTasks();
      status.AddTask( text, 1, 0 );
      status.NextTask();
   }
   ~SwapTask() { StatusDialog().EndTasks(); }
   SwapTask( const SwapTask& ) = delete;
   SwapTask& operator=( const SwapTask& ) = delete;

private:
   StatusMonitorScope monitor;
};

// The text of a failure of the swap-file code, for an operation's own message.
std::string FailureText()
{
   try
   {
      throw;
   }
   catch ( const qor::File::Exception& x )
   {
      std::string text = x.Description();
      if ( x.SystemError() != 0 )
         text += " (" + x.SystemErrorText() + ")";
      return text + ": " + x.Path();
   }
   catch ( const qor::Exception& x )
   {
      return x.ErrorText();
   }
   catch ( const std::exception& x )
   {
      return x.what();
   }
}

// Runs f; the user's abort and exhausted memory pass on as they are, any other failure as UndoError(prefix + its
// text).
template <typename F> auto Translated( const std::string& prefix, F f )
{
   try
   {
      return f();
   }
   catch ( const qor::Image::AbortProcessEvent& )
   {
      throw;
   }
   catch ( const std::bad_alloc& )
   {
      throw;
   }
   catch ( const TImageWindow::UndoError& )
   {
      throw;
   }
   catch ( ... )
   {
      throw TImageWindow::UndoError( prefix + FailureText() );
   }
}

} // namespace

// ---- Undo, redo and recovery ----------------------------------------------------------------------------------------

void TImageWindow::EnableUndo()
{
   undoEnabled = true;
   NotifyUndoStateChanged( *mainView );
}

void TImageWindow::DisableUndo()
{
   undoEnabled = false;
   PurgeUndo();
   NotifyUndoStateChanged( *mainView );
}

void TImageWindow::PrepareUndo( uint32_t flags )
{
   const int32_t previousFlags = swapFileFlags;
   runUndoPrepared = false;
   try
   {
      std::string failure;
      if ( swapFilePath.empty() && !NameSwapFiles( &failure ) )
         throw UndoError( "Undo setup error: " + failure );
      SwapTask task( "Prepare undo: " + mainView->Identifier(), *image );
      swapFileFlags = int32_t( flags );
      Translated( "Undo setup error: Unable to write swap file: ",
                  [&] { WriteSwapFile( swapFilePath, flags ); } );
   }
   catch ( ... )
   {
      swapFileFlags = previousFlags;
      throw;
   }
   SetReadOnly( swapFilePath );
   undoAvailable = true;
   redoAvailable = false;
   runUndoPrepared = true;
}

void TImageWindow::UndoRedo()
{
   if ( !undoAvailable && !redoAvailable )
      return;
   if ( !Exists( swapFilePath ) )
      throw UndoError( "Cannot undo/redo: Swap file deleted" );
   if ( MainWindow != nullptr )
      MainWindow->EndProcessing();

   const bool undo = undoAvailable;
   {
      SwapTask task( ( undo ? "Undo: " : "Redo: " ) + mainView->Identifier(), *image );
      // Everything is read and written before the window changes: a failure leaves it as it was.
      SwapFileContents contents = Translated( "Cannot undo/redo: ", [&]
                                              { return ReadSwapFileContents( swapFilePath, image, &image->Status() ); } );
      Translated( "Cannot undo/redo: Unable to write temporary file: ",
                  [&] { WriteSwapFile( tempFilePath, uint32_t( swapFileFlags ) ); } );

      viewport()->setUpdatesEnabled( false );
      if ( undo )
         mainView->MoveLastProcessToRedo();
      else
         mainView->MoveRedoProcessToHistory();
      try
      {
         ApplySwapFileContents( std::move( contents ), true );
      }
      catch ( ... )
      {
         viewport()->setUpdatesEnabled( true );
         viewport()->update();
         RemoveQuietly( tempFilePath );
         throw;
      }
      viewport()->setUpdatesEnabled( true );
      viewport()->update();
   }

   modificationCount += undo ? -1 : 1;
   if ( !Rename( tempFilePath, swapFilePath ) )
   {
      // The exchange is done, but the state it replaced cannot be kept: no further undo or redo.
      RemoveQuietly( tempFilePath );
      RemoveQuietly( swapFilePath );
      mainView->DiscardRedoProcess();
      undoAvailable = redoAvailable = false;
      NotifyUndoStateChanged( *mainView );
      throw UndoError( "Cannot keep the undo data: Unable to rename the temporary file" );
   }
   SetReadOnly( swapFilePath );
   std::swap( undoAvailable, redoAvailable );
   NotifyUndoStateChanged( *mainView );
}

void TImageWindow::Redo()
{
   if ( redoAvailable )
      UndoRedo();
}

void TImageWindow::KeepRecoveryCopy()
{
   if ( ( !undoAvailable && !redoAvailable ) || !Exists( swapFilePath ) )
      return;
   if ( !Rename( swapFilePath, tempFilePath ) )
      return;
   SetReadOnly( tempFilePath );
   recoverySwapFileFlags = uint32_t( swapFileFlags );
   recoveryUndoAvailable = undoAvailable;
}

void TImageWindow::DeleteRecoveryCopy()
{
   RemoveQuietly( tempFilePath );
}

bool TImageWindow::Recover( bool notify )
{
   // Only what this run's own undo preparation saved is brought back: without it the run changed nothing, and the
   // swap file holds an older state.
   if ( !runUndoPrepared || ( !undoAvailable && !redoAvailable ) )
      return false;
   runUndoPrepared = false;
   if ( Exists( swapFilePath ) )
   {
      SwapTask task( "Recover: " + mainView->Identifier(), *image );
      SwapFileContents contents = Translated(
          "Recover error: ", [&] { return ReadSwapFileContents( swapFilePath, nullptr, &image->Status() ); } );
      ApplySwapFileContents( std::move( contents ), notify );
      RemoveQuietly( swapFilePath );
   }
   if ( Exists( tempFilePath ) && Rename( tempFilePath, swapFilePath ) )
   {
      SetReadOnly( swapFilePath );
      swapFileFlags = int32_t( recoverySwapFileFlags );
      undoAvailable = recoveryUndoAvailable;
      redoAvailable = !recoveryUndoAvailable;
   }
   else
   {
      RemoveQuietly( tempFilePath );
      mainView->DiscardRedoProcess();
      undoAvailable = redoAvailable = false;
      swapFileFlags = 0;
   }
   NotifyUndoStateChanged( *mainView );
   return true;
}

void TImageWindow::PurgeUndo()
{
   // Whatever is left of the undo data goes, whether or not the window still counts on it.
   RemoveQuietly( swapFilePath );
   RemoveQuietly( tempFilePath );
   runUndoPrepared = false;
   if ( !undoAvailable && !redoAvailable )
      return;
   mainView->DiscardRedoProcess();
   undoAvailable = redoAvailable = false;
   swapFileFlags = 0;
   NotifyUndoStateChanged( *mainView );
}

// ---- Reading swap files ---------------------------------------------------------------------------------------------

void TImageWindow::ReadSwapFile( const std::string& path, bool notify )
{
   ApplySwapFileContents( ReadSwapFileContents( path, image, &image->Status() ), notify );
}

void TImageWindow::ApplySwapFileContents( SwapFileContents&& contents, bool notify )
{
   const uint32_t flags = contents.header.flags;

   SetMask( nullptr );
   ReleaseMaskReferences();
   DeleteAllPreviews();

   if ( flags & SwapFileFlag::PixelData )
   {
      mainView->DiscardHistograms( false );
      mainView->DiscardStatistics( false );
      image->Transfer( contents.pixels );
      displayChannel = contents.header.displayChannel;
      if ( CurrentRenderMode() >= image->NumberOfChannels() )
         displayChannel = 0;
      SetZoom( currentView != nullptr ? currentView->zoom : 1 );
   }

   if ( flags & SwapFileFlag::WorkingSpace )
   {
      const qor::RGBColorSystem::Data& stored = contents.workingSpace.Values();
      const qor::RGBColorSystem::Data& global = GlobalRGBWorkingSpace.Values();
      const bool sameAsGlobal = stored.gamma == global.gamma && stored.sRGBGamma == global.sRGBGamma &&
                                std::equal( stored.x, stored.x + 3, global.x ) &&
                                std::equal( stored.y, stored.y + 3, global.y ) &&
                                std::equal( stored.Y, stored.Y + 3, global.Y );
      rgbWorkingSpace = ( contents.usesGlobalWorkingSpace && sameAsGlobal ) ? GlobalRGBWorkingSpace
                                                                            : contents.workingSpace;
   }

   if ( flags & SwapFileFlag::ColorManagement )
   {
      colorManagementEnabled = contents.colorManagementEnabled;
      iccProfile = std::move( contents.iccProfile );
      UpdateDisplayTransform();
   }

   if ( flags & SwapFileFlag::FITSKeywords )
   {
      if ( fitsOptions == nullptr )
         fitsOptions = std::make_unique<FITSOptions>();
      fitsOptions->ClearKeywords();
      for ( const FITSHeaderKeyword& k : contents.keywords )
         fitsOptions->keywords.Add( new FITSHeaderKeyword( k ) );
   }

   if ( flags & SwapFileFlag::IPTCInformation )
      iptcInfo = std::move( contents.iptc );

   if ( ( flags & SwapFileFlag::Identifier ) && contents.identifier != mainView->Identifier() )
      mainView->SetIdentifier( contents.identifier );

   if ( notify )
      NotifyViewUpdated( *mainView );

   for ( SwapFileContents::StoredPreview& p : contents.previews )
   {
      const SwapFilePreviewRecord& r = p.record;
      Preview* preview = CreatePreview( UniquePreviewIdentifier( p.identifier ), r.left, r.top, r.width, r.height );
      if ( p.storedImage != nullptr )
      {
         preview->SetHistory( p.history.release() );
         preview->Store();
         preview->storedImage = std::move( p.storedImage );
         preview->Restore( notify );
      }
   }

   if ( !( flags & SwapFileFlag::NoMaskData ) )
   {
      if ( TImageWindow* found = FindSwapFileMaskReference( contents.header.mask, true ) )
         SetMask( found );
      for ( const SwapFileMaskReference& reference : contents.maskReferences )
         if ( TImageWindow* found = FindSwapFileMaskReference( reference, false ) )
            found->SetMask( this );
   }

   swapFileFlags = int32_t( flags );
   RedrawImage();
}

// ---- Mask references in swap files ----------------------------------------------------------------------------------

SwapFileMaskReference TImageWindow::MaskReferenceRecord() const
{
   SwapFileMaskReference record;
   record.identity = serial;
   SetSwapFileIdentifier( record.identifier, mainView->Identifier() );
   return record;
}

TImageWindow* TImageWindow::FindSwapFileMaskReference( const SwapFileMaskReference& reference, bool forMask ) const
{
   if ( reference.identity == 0 )
      return nullptr;
   for ( View* view : MainViewList )
   {
      TImageWindow* found = view->Window();
      if ( found->serial != reference.identity )
         continue;
      if ( found == this || found->image->Width() != image->Width() || found->image->Height() != image->Height() )
         return nullptr;
      const bool foundGrey = !found->image->IsColor();
      const bool thisGrey = !image->IsColor();
      const bool accepted = forMask ? ( foundGrey || !thisGrey ) : ( thisGrey || !foundGrey );
      return accepted ? found : nullptr;
   }
   return nullptr;
}

// ---- Masks ----------------------------------------------------------------------------------------------------------

bool TImageWindow::CanUseAsMask( const TImageWindow& target, const TImageWindow& candidate )
{
   if ( &candidate == &target || candidate.maskWindow == &target )
      return false;
   const qor::Image* mask = candidate.image;
   const qor::Image* image = target.image;
   if ( mask == nullptr || image == nullptr || mask->IsEmpty() )
      return false;
   return mask->Width() == image->Width() && mask->Height() == image->Height() &&
          !( mask->IsColor() && !image->IsColor() );
}

void TImageWindow::MaskChanged()
{
   if ( maskShown )
      RedrawImage();
   if ( mainView != nullptr && !beingDestroyed )
      NotifyMaskChanged( *mainView );
}

void TImageWindow::EnableMask()
{
   if ( maskEnabled )
      return;
   maskEnabled = true;
   if ( maskWindow != nullptr && maskShown )
      RedrawImage();
   NotifyMaskEnabled( *mainView );
}

void TImageWindow::DisableMask()
{
   if ( !maskEnabled )
      return;
   maskEnabled = false;
   if ( maskWindow != nullptr && maskShown )
      RedrawImage();
   NotifyMaskDisabled( *mainView );
}

void TImageWindow::ShowMask()
{
   if ( maskShown )
      return;
   maskShown = true;
   if ( maskWindow != nullptr )
      RedrawImage();
   NotifyMaskShown( *mainView );
}

void TImageWindow::HideMask()
{
   if ( !maskShown )
      return;
   maskShown = false;
   if ( maskWindow != nullptr )
      RedrawImage();
   NotifyMaskHidden( *mainView );
}

bool TImageWindow::ApplyMask( bool notify )
{
   if ( maskWindow == nullptr || maskWindow->image == nullptr || !undoAvailable || !runUndoPrepared )
      return false;
   ApplyMaskFromSwapFile( *maskWindow->image, swapFilePath, notify );
   return true;
}

void TImageWindow::ApplyMaskFromSwapFile( const qor::Image& mask, const std::string& path, bool notify )
{
   qor::File file;
   file.Open( path, qor::File::ModeOpenExisting | qor::File::ModeRead );
   {
      StatusMonitorScope monitorScope( *image );
      qor::StatusCallback& monitor = image->Status();
      const int32_t channels = image->NumberOfNominalChannels();
      monitor.Initialize( "Masking from swap file", image->NumberOfPixels() * channels );
      if ( monitor.IsAborted() )
         throw qor::Image::AbortProcessEvent( image );

      SwapFileHeader header;
      file.ReadValue( header );
      if ( header.version != SwapFileVersion )
         throw qor::Image::InvalidSwapFile( image );
      if ( !( header.flags & SwapFileFlag::PixelData ) )
         throw UndoError( "Internal error: swap file contains no pixel data to mask with" );
      const int64_t pixels = image->NumberOfPixels();
      if ( pixels == 0 || header.width != image->Width() || header.height != image->Height() ||
           header.numberOfChannels < channels || mask.Width() != image->Width() ||
           mask.Height() != image->Height() || ( mask.IsColor() && mask.NumberOfNominalChannels() < channels ) ||
           file.BytesLeft() / 4 / pixels < channels )
         throw UndoError( "Internal error: inconsistent swap file for masking" );

      // The planes are streamed through one buffer of 1 MiB: no second copy of the image in memory.
      constexpr int64_t chunk = 262144;
      std::vector<float> buffer( size_t( std::min( chunk, pixels ) ) );
      for ( int32_t c = 0; c < channels; ++c )
      {
         float* p = image->PixelData( c );
         const float* m = mask.PixelData( mask.IsColor() ? c : 0 );
         for ( int64_t done = 0; done < pixels; )
         {
            const int64_t n = std::min( chunk, pixels - done );
            file.Read( buffer.data(), n * 4 );
            for ( int64_t i = 0; i < n; ++i )
            {
               const long double w = m[done + i];
               p[done + i] = float( p[done + i] * w + ( 1.0L - w ) * buffer[size_t( i )] );
            }
            done += n;
            monitor.Advance( n );
            if ( monitor.IsAborted() )
               throw qor::Image::AbortProcessEvent( image );
         }
      }
   }
   file.Close();

   RedrawImage();
   NotifyMaskReferences();
   DiscardHistograms( false );
   DiscardStatistics( false );
   if ( notify )
      NotifyViewUpdated( *mainView );
}
