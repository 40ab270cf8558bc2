#include "windows/processing/ProcessExecution.h"

#include <QLabel>
#include <QString>

#include <exception>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "classlib/DateTime.h"
#include "classlib/Image.h"
#include "platform/Prompter.h"
#include "process/Process.h"
#include "process/ProcessContainer.h"
#include "process/ProcessExecution.h"
#include "support/ApplicationNames.h"
#include "support/FailureReport.h"
#include "support/Utils.h"
#include "windows/dialogs/WarningMessageWithDontAskAgainDialog.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/ProcessingWindow.h"

bool AskBeforeRunningWithoutUndo = true;

namespace
{

// Where the unexpected-exception report of a launch says the failure happened.
constexpr const char* LaunchSource = "process/Process";
constexpr int LaunchOnLine = 306;
constexpr int LaunchGlobalLine = 380;

// Launches under way. Events are pumped during a run, so a second launch could only come from an event handled
// in the middle of the first one; it is refused.
int32_t launchDepth = 0;

class LaunchDepthGuard
{
public:
   LaunchDepthGuard() { ++launchDepth; }
   ~LaunchDepthGuard() { --launchDepth; }
   LaunchDepthGuard( const LaunchDepthGuard& ) = delete;
   LaunchDepthGuard& operator=( const LaunchDepthGuard& ) = delete;
};

TImageWindow::Preview* AsPreview( TImageWindow::View* view )
{
   return ( view != nullptr && view->IsPreview() ) ? static_cast<TImageWindow::Preview*>( view ) : nullptr;
}

void Warn( const QString& caption, const std::string& text )
{
   platform::ShowMessage( platform::Icon::Warning, caption, QString::fromStdString( text ) );
}

// The busy state of the main window, when there is one.
void BeginBusy()
{
   if ( MainWindow != nullptr )
      MainWindow->BeginProcessing();
}

void EndBusy()
{
   if ( MainWindow != nullptr )
      MainWindow->EndProcessing();
}

// The view's image reports to the status dialog during the run. The monitor disconnected at the end is that of
// whatever image the view then has: a process may have put another image object in the view's place.
void ConnectMonitor( TImageWindow::View& view )
{
   if ( *view.imageSlot != nullptr )
      ( *view.imageSlot )->Status().SetCallback( &TProcessingStatusDialog::ProgressCallback, &StatusDialog() );
}

void DisconnectMonitor( TImageWindow::View& view )
{
   if ( *view.imageSlot != nullptr )
      ( *view.imageSlot )->Status().SetCallback( nullptr, nullptr );
}

class ViewMonitorScope
{
public:
   explicit ViewMonitorScope( TImageWindow::View& view ) : view( view ) { ConnectMonitor( view ); }
   ~ViewMonitorScope() { DisconnectMonitor( view ); }
   ViewMonitorScope( const ViewMonitorScope& ) = delete;
   ViewMonitorScope& operator=( const ViewMonitorScope& ) = delete;

private:
   TImageWindow::View& view;
};

// Blends the processed pixels with the unprocessed ones through the mask: p <- p*m + (1 - m)*s for every nominal
// channel (alpha channels keep the processed values); a grey mask weighs every channel, a colour mask channel c
// weighs channel c. False, with nothing changed, when the three images do not fit together.
bool BlendThroughMask( qor::Image& processed, const qor::Image& unprocessed, const qor::Image& mask )
{
   const int32_t channels = processed.NumberOfNominalChannels();
   const int32_t width = processed.Width();
   const int32_t height = processed.Height();
   if ( processed.IsEmpty() || unprocessed.IsEmpty() || mask.IsEmpty() )
      return false;
   if ( unprocessed.Width() != width || unprocessed.Height() != height || mask.Width() != width ||
        mask.Height() != height )
      return false;
   if ( unprocessed.NumberOfNominalChannels() < channels )
      return false;
   if ( mask.IsColor() && mask.NumberOfNominalChannels() < channels )
      return false;

   processed.BeginTask( "Masking", int64_t( channels ) * height );
   for ( int32_t c = 0; c < channels; ++c )
   {
      const int32_t maskChannel = mask.IsColor() ? c : 0;
      processed.ParallelRows( height,
                              [&]( int64_t y0, int64_t y1 )
                              {
                                 for ( int64_t y = y0; y < y1; ++y )
                                 {
                                    float* p = processed.ScanLine( c, int32_t( y ) );
                                    const float* s = unprocessed.ScanLine( c, int32_t( y ) );
                                    const float* m = mask.ScanLine( maskChannel, int32_t( y ) );
                                    for ( int32_t x = 0; x < width; ++x )
                                    {
                                       const double w = m[x];
                                       p[x] = float( double( p[x] ) * w + ( 1.0 - w ) * double( s[x] ) );
                                    }
                                 }
                              } );
   }
   return true;
}

// Shows a failure of a launch (rethrown from `failure`): the user's abort as "Process aborted." followed by what
// onAbort, which rolls the target back, returns; anything else as every action shows its failures, except that
// exhausted memory outside a run on a view is a fault of the framework's own and reported as unexpected.
template <typename OnAbort>
void ReportLaunchFailure( const Process& process, std::exception_ptr failure, bool onView, int line, OnAbort onAbort )
{
   try
   {
      std::rethrow_exception( failure );
   }
   catch ( const qor::Image::AbortProcessEvent& )
   {
      std::string text = "Process aborted." + onAbort();
      platform::ShowMessage( platform::Icon::Information, QString::fromStdString( process.Id() ),
                             QString::fromStdString( text ) );
   }
   catch ( ... )
   {
      ReportCaughtFailure( LaunchSource, line, onView ? OutOfMemoryReport::Warning : OutOfMemoryReport::Unexpected );
   }
}

// Shows a failure of a roll-back itself (the roll-back is abandoned; the launch goes on with its report).
void ReportRollbackFailure()
{
   try
   {
      throw;
   }
   catch ( const qor::Exception& x )
   {
      x.Show();
   }
   catch ( const std::exception& x )
   {
      Warn( ApplicationTitle(), x.what() );
   }
   catch ( ... )
   {
      ReportUnexpectedException( LaunchSource, LaunchOnLine );
   }
}

// After a failed launch: a window left without pixels gets them back from its undo data when it has any;
// otherwise the loss is reported and a zero-filled placeholder takes the image's place, unpainted.
void CheckTargetImage( TImageWindow& window )
{
   if ( window.image != nullptr && !window.image->IsEmpty() )
      return;

   if ( window.image != nullptr && ( window.undoAvailable || window.redoAvailable ) )
   {
      try
      {
         if ( window.Recover( false ) && !window.image->IsEmpty() )
         {
            window.paintingAllowed = true;
            window.RedrawImage();
            return;
         }
      }
      catch ( ... )
      {
         // The fatal path below tells the user.
      }
   }

   platform::ShowMessage( platform::Icon::Error, "Lumenforge - Fatal Error",
                          "Fatal error: Lumenforge is unable to recover the image data.\n"
                          "As a security procedure, you might consider to save and backup\n"
                          "existing data as appropriate, exit Lumenforge, and restart your computer." );
   try
   {
      if ( window.image == nullptr )
         window.image = new qor::Image;
      window.image->Allocate( 100, 100, 1, qor::ColorSpace::Gray );
      window.image->Fill( 0, 0.0f );
   }
   catch ( ... )
   {
      // Not even the placeholder fits: the window stays empty and unpainted.
   }
   window.paintingAllowed = false;
}

std::string LaunchTaskText( const ProcessView& view, TImageWindow::View* target )
{
   const TImageWindow::Preview* preview = AsPreview( target );
   std::string text = "Processing ";
   text += view.IsPreview() ? "preview: " : "image: ";
   text += view.FullId();
   text += ( preview != nullptr && preview->HasStoredState() ) ? ", stored subimage:" : ":";
   return text;
}

// A user-level run: the main window busy, a bracket of the status dialog with the launch's task, the execution,
// then (completed) the bracket closed, the busy state ended and afterwards() called; every failure is reported
// (ReportLaunchFailure), and the bracket and the busy state end as well. True when the run completed.
template <typename Execute, typename Afterwards, typename OnAbort>
bool Launch( Process& process, const std::string& taskText, Execute execute, Afterwards afterwards, bool onView,
             int line, OnAbort onAbort )
{
   if ( launchDepth > 0 )
      return false;
   LaunchDepthGuard depth;

   TProcessingStatusDialog& status = StatusDialog();
   bool bracketOpen = false;
   try
   {
      BeginBusy();
      status.BeginTasks();
      bracketOpen = true;
      status.AddTask( taskText, 0, 0 );
      status.NextTask();
      execute();
      bracketOpen = false;
      status.EndTasks();
      EndBusy();
      afterwards();
      return true;
   }
   catch ( ... )
   {
      ReportLaunchFailure( process, std::current_exception(), onView, line, onAbort );
   }
   if ( bracketOpen )
      status.EndTasks();
   EndBusy();
   return false;
}

// The road of every run through the image windows.
class ImageWindowRoad final : public ExecutionRoad
{
public:
   void ExecuteOn( Process& process, ProcessView& view, bool notify ) override;
   void ExecuteGlobal( Process& process ) override;
   bool LaunchOn( Process& process, ProcessView& view ) override;
   bool LaunchGlobal( Process& process ) override;
   void PrepareTarget( Process& process, ProcessView& view ) override;
   void FinishTarget( Process& process, ProcessView& view, bool notify ) override;
   void CheckDisplayChannel( Process& process, ProcessView& view ) override;
};

// The execution framework's steps for a run on a view of an image window; a view outside the image windows gets
// none of them (as in Process::ExecuteOn), only the status tasks.
class FrameworkSteps : public ProcessContainer::RunSteps
{
public:
   bool ConfirmCancelDynamicSessions( ProcessView& view, const Process& run ) override
   {
      TImageWindow* window = WindowOf( view );
      return window == nullptr || window->ConfirmCancelDynamicSessions( run );
   }

   void PrepareTarget( Process& run, ProcessView& view ) override { run.PrepareTarget( view ); }

   void CheckDisplayChannel( Process& run, ProcessView& view ) override { run.CheckDisplayChannel( view ); }

   void AddToHistory( ProcessView& view, std::unique_ptr<Process> instance ) override
   {
      if ( TImageWindow::View* target = AsImageView( view ) )
         target->AddToHistory( std::move( instance ) );
   }

   void FinishTarget( Process& run, ProcessView& view, bool notify ) override { run.FinishTarget( view, notify ); }

   void AllowPainting( ProcessView& view ) override
   {
      if ( TImageWindow* window = WindowOf( view ) )
         window->paintingAllowed = true;
   }

   // A preview goes back to its stored state (where every run on it starts); a main view reads back the undo
   // data that PrepareTarget saved for the sequence, when it saved any.
   void RecoverTarget( Process& run, ProcessView& view ) override
   {
      TImageWindow::View* target = AsImageView( view );
      if ( target == nullptr )
         return;
      TImageWindow* window = target->Window();
      if ( target->IsPreview() )
         static_cast<TImageWindow::Preview*>( target )->Restore( true );
      else if ( run.ModifiesTarget( view ) && window->undoEnabled && window->undoAvailable )
         window->Recover( true );
      window->paintingAllowed = true;
      window->RedrawImage();
   }

   void BeginTask( const std::string& text ) override
   {
      TProcessingStatusDialog& status = StatusDialog();
      status.AddTask( text, 1, 0 );
      status.NextTask();
   }

   void Monitor( ProcessView& view, bool on ) override
   {
      TImageWindow::View* target = AsImageView( view );
      qor::Image* image = ( target != nullptr ) ? *target->imageSlot : nullptr;
      if ( image == nullptr )
         return;
      if ( on )
         image->Status().SetCallback( &TProcessingStatusDialog::ProgressCallback, &StatusDialog() );
      else
         image->Status().SetCallback( nullptr, nullptr );
   }

   // The image whose main view has the identifier, when it can mask the target: another window with an image of
   // the same dimensions, not a colour one for a grey target (a grey mask fits any image), and not masked by the
   // target itself (no two windows mask each other).
   MaskTarget* FindMask( const std::string& maskId, ProcessView& view ) override
   {
      TImageWindow* window = WindowOf( view );
      TImageWindow::View* found = FindMainViewByIdentifier( maskId );
      if ( window == nullptr || found == nullptr || !TImageWindow::CanUseAsMask( *window, *found->Window() ) )
         return nullptr;
      return found->Window();
   }

   // The pixels before a masked instance, in memory, as a plain run keeps them when its window holds no undo data
   // to blend from. On a preview they are its current pixels: before the first instance of the sequence these are
   // the restored state the run started from, later the result of the instances before.
   void KeepUnmaskedState( ProcessView& view, int64_t ) override
   {
      TImageWindow::View* target = AsImageView( view );
      kept.push_back( ( target != nullptr ) ? std::make_unique<qor::Image>( target->GetImage() ) : nullptr );
   }

   bool ApplyMask( ProcessView& view, MaskTarget* mask ) override
   {
      if ( kept.empty() )
         return false;
      std::unique_ptr<qor::Image> unprocessed = std::move( kept.back() );
      kept.pop_back();
      const auto* maskWindow = dynamic_cast<const TImageWindow*>( mask );
      return unprocessed != nullptr && maskWindow != nullptr && MaskFromCopy( view, *unprocessed, *maskWindow );
   }

   void EndMasking( ProcessView& view, bool ) override
   {
      kept.clear();
      if ( TImageWindow::Preview* preview = AsPreview( view ) )
         preview->DiscardMaskingSource();
   }

private:
   static TImageWindow* WindowOf( ProcessView& view )
   {
      TImageWindow::View* target = AsImageView( view );
      return ( target != nullptr ) ? target->Window() : nullptr;
   }

   static TImageWindow::Preview* AsPreview( ProcessView& view )
   {
      TImageWindow::View* target = AsImageView( view );
      return ( target != nullptr && target->IsPreview() ) ? static_cast<TImageWindow::Preview*>( target ) : nullptr;
   }

   // The unmasked states kept, the last for the instance running now (nested containers add theirs on top).
   std::vector<std::unique_ptr<qor::Image>> kept;
};

} // namespace

// ---- Masking from a copy -----------------------------------------------------------------------------------------

bool MaskFromCopy( ProcessView& view, const qor::Image& unprocessed, const TImageWindow& maskWindow )
{
   TImageWindow::View* target = AsImageView( view );
   if ( target == nullptr || maskWindow.image == nullptr )
      return false;
   qor::Image& processed = target->GetImage();
   if ( TImageWindow::Preview* preview = AsPreview( target ) )
   {
      // A preview is masked by the part of the mask under its rectangle; a rectangle that does not lie wholly on
      // the mask gives a part of another size, which does not blend.
      if ( maskWindow.image->IsEmpty() )
         return false;
      qor::Image part;
      part.AssignRect( *maskWindow.image, preview->left, preview->top, processed.Width(), processed.Height() );
      if ( preview->left < 0 || preview->top < 0 || !BlendThroughMask( processed, unprocessed, part ) )
         return false;
   }
   else if ( !BlendThroughMask( processed, unprocessed, *maskWindow.image ) )
      return false;
   target->DiscardHistograms( false );
   target->DiscardStatistics( false );
   if ( !target->IsPreview() )
      target->Window()->NotifyMaskReferences();
   return true;
}

// ---- Process: execution ------------------------------------------------------------------------------------------

void ImageWindowRoad::ExecuteOn( Process& process, ProcessView& view, bool notify )
{
   process.processingTime = 0;
   TImageWindow::View* target = AsImageView( view );
   TImageWindow* window = ( target != nullptr ) ? target->Window() : nullptr;

   if ( window != nullptr && !window->ConfirmCancelDynamicSessions( process ) )
      throw ProcessRefusal( std::string() );
   if ( !process.CanExecuteOn( view ) )
      throw ProcessRefusal( "Process " + process.Id() + " cannot be executed on view: " + view.FullId() );
   if ( !process.ConfirmExecutionOn( view ) )
      throw ProcessRefusal( std::string() );

   TProcessingStatusDialog& status = StatusDialog();

   if ( window == nullptr )
   {
      // A view outside the image windows: only the own work, timed.
      status.AddTask( process.Id(), 1, 0 );
      status.NextTask();
      TimedRun( process, [&] { process.DoExecuteOn( view ); } );
      process.AfterExecutionOn( view );
      return;
   }

   try
   {
      process.PrepareTarget( view );
      status.AddTask( process.Id(), 1, 0 );
      status.NextTask();

      TImageWindow* maskWindow = window->maskWindow;
      const bool masking = maskWindow != nullptr && window->maskEnabled && process.IsMaskable( view, maskWindow );
      // A main view is blended from the pixels its run saved for undo. A preview keeps no undo data, nor does a
      // window whose run saved no pixels: the pixels the run starts from (on a preview its restored state) are kept
      // in memory for the run, so that the mask still does what it says, and a result of another size, which has
      // no pixels to blend with, is left unmasked.
      const bool fromSwapFile = !target->IsPreview() && window->runUndoPrepared &&
                                ( uint32_t( window->swapFileFlags ) & SwapFileFlag::PixelData ) != 0;
      std::unique_ptr<qor::Image> unprocessed;
      if ( masking && !fromSwapFile )
         unprocessed = std::make_unique<qor::Image>( target->GetImage() );

      TimedRun( process, [&] {
         ViewMonitorScope monitor( *target );
         process.DoExecuteOn( view );

         if ( masking )
         {
            status.AddTask( "Masking with " + maskWindow->MainViewId(), 1, 0 );
            status.NextTask();
            const bool masked = unprocessed != nullptr ? MaskFromCopy( view, *unprocessed, *maskWindow )
                                                       : window->ApplyMask( false );
            // The instance refers to the mask it was run with; a result that could not be blended records none.
            if ( masked )
               process.SetMask( maskWindow );
         }
         unprocessed.reset();
      } );

      process.CheckDisplayChannel( view );
      target->AddToHistory( process.Clone() );
      process.FinishTarget( view, notify );
   }
   catch ( ... )
   {
      window->paintingAllowed = true;
      throw;
   }
}

void ImageWindowRoad::ExecuteGlobal( Process& process )
{
   process.processingTime = 0;
   if ( !process.CanExecuteGlobal() )
      throw ProcessRefusal( "Process " + process.Id() + " cannot be executed globally" );
   TProcessingStatusDialog& status = StatusDialog();
   status.AddTask( process.Id(), 1, 0 );
   status.NextTask();
   TimedRun( process, [&] { process.DoExecuteGlobal(); } );
}

void ImageWindowRoad::PrepareTarget( Process& process, ProcessView& view )
{
   TImageWindow::View* target = AsImageView( view );
   if ( target == nullptr )
      return;
   TImageWindow* window = target->Window();
   window->paintingAllowed = false;

   if ( TImageWindow::Preview* preview = AsPreview( target ) )
   {
      // A run on a preview always starts from its stored state; previews keep no undo files.
      preview->Restore( false );
   }
   else
   {
      // A new run on the main view: only undo data saved for it may be recovered if it is aborted.
      window->runUndoPrepared = false;
      if ( process.ModifiesTarget( view ) && window->undoEnabled )
      {
         const bool keepCopy = window->undoAvailable || window->redoAvailable;
         if ( keepCopy )
            window->KeepRecoveryCopy();
         try
         {
            window->PrepareUndo( process.UndoFlags( view ) );
         }
         catch ( ... )
         {
            // The previous undo data went into the recovery copy: put them back, or they would be lost.
            if ( keepCopy )
               RestoreRecoveryCopy( *window );
            throw;
         }
      }
      else if ( process.ModifiesTarget( view ) && AskBeforeRunningWithoutUndo && !ConfirmRunWithoutUndo( process.Id() ) )
         throw ProcessRefusal( std::string() );
   }

   process.targetModificationCount = window->modificationCount;
}

void ImageWindowRoad::FinishTarget( Process& process, ProcessView& view, bool notify )
{
   if ( TImageWindow::View* target = AsImageView( view ) )
   {
      TImageWindow* window = target->Window();
      if ( process.targetModificationCount < window->modificationCount )
      {
         // The main image changed under the previews: each takes its pixels anew from its rectangle.
         for ( TImageWindow::Preview* preview : std::vector<TImageWindow::Preview*>( window->previews ) )
         {
            const qor::Image& current = preview->GetImage();
            preview->Reset( preview->left, preview->top, current.Width(), current.Height() );
         }
      }
      window->paintingAllowed = true;
      if ( window->currentView == target )
         window->RedrawImage();
      window->DeleteRecoveryCopy();
      if ( notify )
         NotifyViewUpdated( *target );
   }
   process.AfterExecutionOn( view );
}

void ImageWindowRoad::CheckDisplayChannel( Process&, ProcessView& view )
{
   TImageWindow::View* target = AsImageView( view );
   if ( target == nullptr )
      return;
   TImageWindow* window = target->Window();
   if ( window->currentView == nullptr || window->image == nullptr )
      return;
   if ( window->CurrentRenderMode() >= window->currentView->GetImage().NumberOfChannels() )
      window->SetDisplayChannel( 0 );
}

// ---- Process: launches ------------------------------------------------------------------------------------------

bool ImageWindowRoad::LaunchOn( Process& process, ProcessView& view )
{
   TImageWindow::View* target = AsImageView( view );
   TImageWindow* window = ( target != nullptr ) ? target->Window() : nullptr;
   const bool completed = Launch(
       process, LaunchTaskText( view, target ), [&] { process.ExecuteOn( view, false ); },
       [&]
       {
          if ( target != nullptr )
             NotifyViewUpdated( *target );
       },
       true, LaunchOnLine,
       [&]() -> std::string
       {
          try
          {
             if ( TImageWindow::Preview* preview = AsPreview( target ) )
             {
                preview->Restore( true );
                preview->DiscardMaskingSource();
                return " Preview restored.";
             }
             if ( window != nullptr && ( window->undoAvailable || window->redoAvailable ) && window->Recover( false ) )
                return " Image recovered.";
          }
          catch ( ... )
          {
             ReportRollbackFailure();
          }
          return std::string();
       } );
   if ( !completed && window != nullptr )
      CheckTargetImage( *window );
   return completed;
}

bool ImageWindowRoad::LaunchGlobal( Process& process )
{
   // A global run has nothing to roll back after an abort.
   return Launch(
       process, "Global Process:", [&] { process.ExecuteGlobal(); }, [] {}, false, LaunchGlobalLine,
       [] { return std::string(); } );
}

// ---- Undo support -------------------------------------------------------------------------------------------------

void RestoreRecoveryCopy( TImageWindow& window )
{
   std::error_code ec;
   if ( window.tempFilePath.empty() || !std::filesystem::exists( window.tempFilePath, ec ) )
      return;
   // Whatever the failed preparation wrote to the swap file is incomplete.
   if ( !window.swapFilePath.empty() )
      std::filesystem::remove( window.swapFilePath, ec );
   ec.clear();
   if ( !window.swapFilePath.empty() )
      std::filesystem::rename( window.tempFilePath, window.swapFilePath, ec );
   if ( window.swapFilePath.empty() || ec )
   {
      // No undo data can be reached any more: say so rather than point at a file that is not there.
      window.undoAvailable = window.redoAvailable = false;
      window.swapFileFlags = 0;
      return;
   }
   window.swapFileFlags = int32_t( window.recoverySwapFileFlags );
   window.undoAvailable = window.recoveryUndoAvailable;
   window.redoAvailable = !window.recoveryUndoAvailable;
}

void InstallExecutionRoad()
{
   static ImageWindowRoad road;
   static FrameworkSteps steps;
   SetExecutionRoad( &road );
   ProcessContainer::SetFrameworkRunSteps( &steps );
}

bool ConfirmRunWithoutUndo( const std::string& processId )
{
   TWarningMessageWithDontAskAgainDialog dialog( nullptr, &AskBeforeRunningWithoutUndo );
   dialog.Warning1_Label->setText( "Undo has been disabled for this image window." );
   dialog.Warning2_Label->setText(
       QString::fromStdString( "Current data will be lost. Apply " + processId + " instance?" ) );
   return dialog.Ask();
}
