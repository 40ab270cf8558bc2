#include "windows/processing/ProcessingWindow.h"

#include <QAbstractButton>
#include <QKeyEvent>

#include <algorithm>

#include "classlib/Image.h"
#include "platform/DialogRunner.h"
#include "platform/Prompter.h"
#include "support/FailureReport.h"
#include "windows/dialogs/SelectViewsDialogs.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/StandardButtonPictures.h"

std::vector<TProcessingWindow*> ProcessingWindows;

namespace
{

// Where the unexpected-exception report of a multi-view run says the failure happened.
constexpr const char* ExecuteSource = "process/Process_T";
constexpr int ExecuteLine = 154;

// Calls the operation on every processing window by index, re-reading the count at each step: a window made during
// the broadcast is told too, and one destroyed meanwhile is simply no longer there.
template <typename Operation>
void Broadcast( Operation operation )
{
   for ( size_t i = 0; i < ProcessingWindows.size(); ++i )
      operation( *ProcessingWindows[i] );
}

// The processes tell the windows when an instance changed through the process layer's listener.
class ProcessUpdateBridge : public ProcessUpdateListener
{
public:
   void ProcessUpdated( Process& instance ) override
   {
      Broadcast( [&]( TProcessingWindow& w ) { w.ProcessUpdated( instance ); } );
   }
};

void ConnectProcessUpdates()
{
   static ProcessUpdateBridge bridge;
   static bool connected = false;
   if ( !connected )
   {
      AddProcessUpdateListener( &bridge );
      connected = true;
   }
}

void Warn( const QWidget& window, const char* text )
{
   platform::ShowMessage( platform::Icon::Warning, window.windowTitle(), text );
}

bool IsSelectedFor( const TImageWindow::View& view, const TProcessingWindow* window )
{
   return view.selectingWindows.Find( const_cast<TProcessingWindow*>( window ) ) != view.selectingWindows.End();
}

template <class ViewType>
bool AnySelectedFor( const std::vector<ViewType*>& views, const TProcessingWindow* window )
{
   return std::any_of( views.begin(), views.end(), [window]( const ViewType* v ) { return IsSelectedFor( *v, window ); } );
}

template <class ViewType>
std::vector<TImageWindow::View*> AsViews( const std::vector<ViewType*>& list )
{
   return std::vector<TImageWindow::View*>( list.begin(), list.end() );
}

std::string TaskText( TImageWindow::View& view )
{
   std::string text = "Processing ";
   text += view.IsPreview() ? "preview: " : "image: ";
   text += view.FullIdentifier();
   const auto* preview = view.IsPreview() ? static_cast<TImageWindow::Preview*>( &view ) : nullptr;
   text += ( preview != nullptr && preview->HasStoredState() ) ? ", stored subimage:" : ":";
   return text;
}

// After an abort on views[at]: the views processed so far (count of them, the aborted one included) are rolled
// back newest first while the user agrees; the others are only told that they changed.
void RollBack( Process& process, const std::vector<TImageWindow::View*>& views, size_t at, int32_t count,
               TProcessingWindow* window )
{
   bool recover = true;
   int32_t handled = 0;
   for ( size_t i = at + 1; i-- > 0 && handled < count; )
   {
      TImageWindow::View* view = views[i];
      if ( !IsSelectedFor( *view, window ) )
         continue;
      if ( recover )
      {
         try
         {
            if ( view->IsPreview() )
            {
               auto* preview = static_cast<TImageWindow::Preview*>( view );
               preview->Restore( false );
               preview->DiscardMaskingSource();
            }
            else
               view->Window()->Recover( false );
         }
         catch ( ... )
         {
            ReportCaughtFailure( ExecuteSource, ExecuteLine );
         }
      }
      else
         NotifyViewUpdated( *view );
      ++handled;
      if ( handled == 1 && handled < count )
         recover = platform::Ask( platform::Icon::Question, QString::fromStdString( process.Id() ),
                                  "Process Aborted.\nHowever, other images/previews were already processed.\n"
                                  "Do you want to recover/restore them now?",
                                  platform::Buttons::YesNo, platform::Answer::Yes ) == platform::Answer::Yes;
   }
   platform::ShowMessage( platform::Icon::Information, QString::fromStdString( process.Id() ), "Process Aborted." );
}

class BusyScope
{
public:
   BusyScope()
   {
      if ( MainWindow != nullptr )
         MainWindow->BeginProcessing();
      StatusDialog().BeginTasks();
   }
   ~BusyScope()
   {
      StatusDialog().EndTasks();
      if ( MainWindow != nullptr )
         MainWindow->EndProcessing();
   }
   BusyScope( const BusyScope& ) = delete;
   BusyScope& operator=( const BusyScope& ) = delete;
};

} // namespace

// ---- TProcessingWindow ------------------------------------------------------------------------------------------

TProcessingWindow::TProcessingWindow( QWidget* owner ) : TProcessingInterface( owner != nullptr ? owner : MainWindow )
{
   selectPreviewsDialog = std::make_unique<TSelectPreviewsDialog>( this );
   selectImagesDialog = std::make_unique<TSelectImagesDialog>( this );
   ProcessingWindows.push_back( this );
   ConnectProcessUpdates();
   setWindowFlags( Qt::Tool );
   CreateProcessDragObject( 18 );
}

TProcessingWindow::~TProcessingWindow()
{
   selectImagesDialog.reset();
   selectPreviewsDialog.reset();
   ProcessingWindows.erase( std::remove( ProcessingWindows.begin(), ProcessingWindows.end(), this ),
                            ProcessingWindows.end() );
   // No view may go on naming a window that is gone.
   for ( TImageWindow::View* view : MainViewList )
      view->selectingWindows.Remove( this );
   for ( TImageWindow::Preview* preview : PreviewList )
      preview->selectingWindows.Remove( this );
}

void TProcessingWindow::FormCreated()
{
   HookButtons( this );
   GiveStandardButtonsPictures( this );
   TProcessingInterface::FormCreated();
}

void TProcessingWindow::HookButtons( QWidget* control )
{
   for ( QAbstractButton* button : control->findChildren<QAbstractButton*>() )
   {
      if ( button->property( "lf_hooked" ).toBool() )
         continue;
      const QString name = button->objectName();
      void ( TProcessingWindow::*handler )() = nullptr;
      if ( name.contains( "Preview_" ) )
         handler = &TProcessingWindow::PreviewButtonClick;
      else if ( name.contains( "Apply_" ) )
         handler = &TProcessingWindow::ApplyButtonClick;
      else if ( name.contains( "SelectPreviews_" ) )
         handler = &TProcessingWindow::SelectPreviewsButtonClick;
      else if ( name.contains( "SelectImages_" ) )
         handler = &TProcessingWindow::SelectImagesButtonClick;
      if ( handler == nullptr )
         continue;
      button->setProperty( "lf_hooked", true );
      connect( button, &QAbstractButton::clicked, this, handler );
   }
}

void TProcessingWindow::PreviewButtonClick()
{
   CommitActiveEdit();
   if ( !inputError )
      ApplyToPreviews();
}

void TProcessingWindow::ApplyButtonClick()
{
   CommitActiveEdit();
   if ( !inputError )
      Apply();
}

void TProcessingWindow::SelectPreviewsButtonClick()
{
   CommitActiveEdit();
   if ( inputError )
      return;
   if ( PreviewList.empty() )
      Warn( *this, "No previews defined." );
   else
      platform::DialogRunner::exec( *selectPreviewsDialog );
}

void TProcessingWindow::SelectImagesButtonClick()
{
   CommitActiveEdit();
   if ( inputError )
      return;
   if ( MainViewList.empty() )
      Warn( *this, "No images available." );
   else
      platform::DialogRunner::exec( *selectImagesDialog );
}

void TProcessingWindow::ApplyToPreviews()
{
   // With nothing selected yet, the preview the user is looking at is offered ticked.
   TImageWindow* active = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
   TImageWindow::View* current = active != nullptr ? active->currentView : nullptr;
   ApplyToSelection( PreviewList, *selectPreviewsDialog, current != nullptr && current->IsPreview() ? current : nullptr,
                     "No previews defined.", "No previews selected." );
}

void TProcessingWindow::Apply()
{
   // With nothing selected yet, the active image is offered ticked.
   TImageWindow* active = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
   ApplyToSelection( MainViewList, *selectImagesDialog, active != nullptr ? active->mainView : nullptr,
                     "No images available.", "No images selected." );
}

template <class ViewType>
void TProcessingWindow::ApplyToSelection( const std::vector<ViewType*>& list, TSelectViewsDialog& selectDialog,
                                          TImageWindow::View* proposed, const char* noViews, const char* noneSelected )
{
   if ( list.empty() )
   {
      Warn( *this, noViews );
      return;
   }
   if ( !AnySelectedFor( list, this ) )
   {
      selectDialog.proposedView = proposed;
      platform::DialogRunner::exec( selectDialog );
      selectDialog.proposedView = nullptr;
      if ( !AnySelectedFor( list, this ) )
      {
         Warn( *this, noneSelected );
         return;
      }
   }
   if ( std::unique_ptr<Process> instance = NewInstance() )
      ExecuteProcessOnViews( *instance, AsViews( list ), this );
}

void TProcessingWindow::LoadSettings( platform::Registry& )
{
}

void TProcessingWindow::SaveSettings( platform::Registry& )
{
}

bool TProcessingWindow::WantChildKey( QWidget* child, QKeyEvent* key )
{
   if ( TProcessingInterface::WantChildKey( child, key ) )
      return true;
   const Qt::KeyboardModifiers modifiers = key->modifiers();
   if ( suppressShortcuts || ( modifiers & ( Qt::ShiftModifier | Qt::AltModifier ) ) )
      return false;
   const bool ctrl = ( modifiers & Qt::ControlModifier ) != 0;
   switch ( key->key() )
   {
   case Qt::Key_F5:
      ctrl ? SelectPreviewsButtonClick() : PreviewButtonClick();
      return true;
   case Qt::Key_F9:
      ctrl ? SelectImagesButtonClick() : ApplyButtonClick();
      return true;
   case Qt::Key_Escape:
      if ( ctrl )
         return false;
      showMinimized();
      return true;
   default:
      return false;
   }
}

void TProcessingWindow::FormActivate()
{
   ReenterActiveEdit();
}

void TProcessingWindow::FormDeactivate()
{
   CommitActiveEdit();
}

// ---- Runs on several views --------------------------------------------------------------------------------------

bool ExecuteProcessOnViews( Process& process, const std::vector<TImageWindow::View*>& views,
                            TProcessingWindow* window )
{
   int32_t count = 0;
   size_t at = 0;
   {
      BusyScope busy;
      try
      {
         for ( at = 0; at < views.size(); ++at )
         {
            TImageWindow::View* view = views[at];
            if ( !IsSelectedFor( *view, window ) )
               continue;
            StatusDialog().AddTask( TaskText( *view ), 0, 0 );
            StatusDialog().NextTask();
            ++count;
            process.ExecuteOn( *view, false );
         }
      }
      catch ( const qor::Image::AbortProcessEvent& )
      {
         if ( count > 0 )
            RollBack( process, views, at, count, window );
         return false;
      }
      catch ( ... )
      {
         ReportCaughtFailure( ExecuteSource, ExecuteLine );
         return false;
      }
   }
   for ( TImageWindow::View* view : views )
   {
      if ( view->Window() != nullptr && view->Window()->currentView == view )
         view->Window()->RedrawImage();
      if ( IsSelectedFor( *view, window ) )
         NotifyViewUpdated( *view );
   }
   return true;
}

bool ExecuteProcessOnPreviews( Process& process, TProcessingWindow* window )
{
   return ExecuteProcessOnViews( process, AsViews( PreviewList ), window );
}

bool ExecuteProcessOnImages( Process& process, TProcessingWindow* window )
{
   return ExecuteProcessOnViews( process, AsViews( MainViewList ), window );
}

// ---- Broadcasts ---------------------------------------------------------------------------------------------------

#define LF_VIEW_BROADCAST( Name )                                                                                   \
   void Notify##Name( TImageWindow::View& view )                                                                     \
   {                                                                                                                 \
      Broadcast( [&]( TProcessingWindow& w ) { w.Name( view ); } );                                                  \
   }

LF_VIEW_BROADCAST( ViewCreated )
LF_VIEW_BROADCAST( ViewUpdated )
LF_VIEW_BROADCAST( ViewRenamed )
LF_VIEW_BROADCAST( ViewDeleted )
LF_VIEW_BROADCAST( ColorManagementChanged )
LF_VIEW_BROADCAST( ViewSaved )
LF_VIEW_BROADCAST( MaskChanged )
LF_VIEW_BROADCAST( MaskEnabled )
LF_VIEW_BROADCAST( MaskDisabled )
LF_VIEW_BROADCAST( MaskShown )
LF_VIEW_BROADCAST( MaskHidden )
LF_VIEW_BROADCAST( PreviewStored )
LF_VIEW_BROADCAST( UndoStateChanged )
LF_VIEW_BROADCAST( HistogramsChanged )
LF_VIEW_BROADCAST( StatisticsChanged )
LF_VIEW_BROADCAST( EndReadout )

#undef LF_VIEW_BROADCAST

void NotifyBeginReadout( TImageWindow::View& view, float v0, float v1, float v2 )
{
   Broadcast( [&]( TProcessingWindow& w ) { w.BeginReadout( view, v0, v1, v2 ); } );
}

void NotifyUpdateReadout( TImageWindow::View& view, float v0, float v1, float v2 )
{
   Broadcast( [&]( TProcessingWindow& w ) { w.UpdateReadout( view, v0, v1, v2 ); } );
}

void NotifyRealTimePreviewOwner( QWidget* owner )
{
   Broadcast( [&]( TProcessingWindow& w ) { w.RealTimePreviewOwnerChanged( owner ); } );
}

void NotifyGlobalColorManagementChanged()
{
   Broadcast( []( TProcessingWindow& w ) { w.GlobalColorManagementChanged(); } );
}
