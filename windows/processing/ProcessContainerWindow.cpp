#include "windows/processing/ProcessContainerWindow.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "platform/Prompter.h"
#include "process/ProcessContainer.h"
#include "windows/frames/ProcessContainerViewFrame.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/dialogs/ProcessingReportDialogs.h"

namespace
{

// Removes an instance from its owner container and hands it over (nullptr when it has no owner).
std::unique_ptr<Process> Detach( Process* instance )
{
   ProcessContainer* owner = instance->owner;
   if ( owner == nullptr )
      return nullptr;
   owner->instances.Remove( instance );
   instance->owner = nullptr;
   return std::unique_ptr<Process>( instance );
}

// The place of an instance in its owner container.
size_t IndexIn( const ProcessContainer& c, const Process* instance )
{
   for ( size_t i = 0; i < c.instances.Length(); ++i )
      if ( c.instances[i] == instance )
         return i;
   return c.instances.Length();
}

void InsertInto( ProcessContainer& c, size_t index, std::unique_ptr<Process> instance )
{
   index = std::min( index, c.instances.Length() );
   instance->owner = &c;
   c.instances.Insert( c.instances.Begin() + index, instance.release() );
}

// A nested container left without instances goes too (the top-level one stays).
void RemoveIfEmptyNested( ProcessContainer* c, const ProcessContainer* top )
{
   if ( c != nullptr && c != top && c->instances.Length() == 0 && c->owner != nullptr )
      Detach( c ).reset();
}

} // namespace

TProcessContainerWindow::TProcessContainerWindow( QWidget* owner )
   : TProcessingWindow( owner ), container( std::make_unique<ProcessContainer>() )
{
   setObjectName( "ProcessContainerWindow" );
   setWindowTitle( "  Process Container" );

   ProcessContainer_Panel = new QWidget( this );
   ProcessContainer_Panel->setObjectName( "ProcessContainer_Panel" );
   ProcessContainerView = new TProcessContainerViewFrame( ProcessContainer_Panel );
   Clear_Button = new QPushButton( "Clear", ProcessContainer_Panel );
   Clear_Button->setObjectName( "Clear_Button" );
   Report_Button = new QPushButton( "Report", ProcessContainer_Panel );
   Report_Button->setObjectName( "Report_Button" );
   auto* panel = new QVBoxLayout( ProcessContainer_Panel );
   panel->setContentsMargins( 0, 0, 0, 0 );
   panel->addWidget( ProcessContainerView, 1 );
   auto* panelButtons = new QHBoxLayout;
   panelButtons->addWidget( Clear_Button );
   panelButtons->addWidget( Report_Button );
   panelButtons->addStretch( 1 );
   panel->addLayout( panelButtons );

   ButtonRow buttons =
      MakeButtonRow( this, { "Preview_SpeedButton", "Apply_SpeedButton", "SelectPreviews_SpeedButton",
                             "SelectImages_SpeedButton" } );
   SpeedButtons_Panel = buttons.row;
   SpeedButtons_Panel->setObjectName( "SpeedButtons_Panel" );

   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 4, 4, 4, 4 );
   layout->addWidget( ProcessContainer_Panel, 1 );
   layout->addWidget( SpeedButtons_Panel, 0, Qt::AlignRight );
   resize( 560, 320 );

   connect( Clear_Button, &QPushButton::clicked, this, [this] { Clear_ButtonClick(); } );
   connect( Report_Button, &QPushButton::clicked, this, [this] { Report_ButtonClick(); } );

   QTreeWidget* list = ProcessContainerView->Processing_ListView;
   list->viewport()->setAcceptDrops( true );
   list->viewport()->installEventFilter( this );
   list->installEventFilter( this );
   setAcceptDrops( true );

   ProcessContainerView->container = container.get();
   ProcessContainerView->Refresh();
}

TProcessContainerWindow::~TProcessContainerWindow()
{
   ProcessContainerView->container = nullptr;
}

std::unique_ptr<Process> TProcessContainerWindow::NewInstance()
{
   return container->Clone();
}

std::unique_ptr<Process> TProcessContainerWindow::NewProbeInstance()
{
   return container->ProbeInstance();
}

void TProcessContainerWindow::ImportInstance( const Process& instance )
{
   if ( const auto* other = dynamic_cast<const ProcessContainer*>( &instance ) )
   {
      std::unique_ptr<Process> copy = other->Clone();
      container.reset( static_cast<ProcessContainer*>( copy.release() ) );
      container->owner = nullptr;
      ProcessContainerView->container = container.get();
      ProcessContainerView->Refresh();
      return;
   }
   AppendInstance( instance.Clone() );
}

void TProcessContainerWindow::ProcessUpdated( Process& instance )
{
   if ( instance.owner == container.get() )
      ProcessContainerView->Refresh();
}

void TProcessContainerWindow::AppendInstance( std::unique_ptr<Process> instance )
{
   container->AddInstance( std::move( instance ) );
   ProcessContainerView->Refresh();
   ProcessContainerView->SelectRow( ProcessContainerView->RowCount() - 1 );
}

void TProcessContainerWindow::InsertInstance( std::unique_ptr<Process> instance )
{
   Process* before = ProcessContainerView->InstanceAtRow( ProcessContainerView->SelectedRow() );
   if ( before == nullptr || before->owner == nullptr )
   {
      AppendInstance( std::move( instance ) );
      return;
   }
   ProcessContainer& into = *before->owner;
   InsertInto( into, IndexIn( into, before ), std::move( instance ) );
   ProcessContainerView->Refresh();
}

void TProcessContainerWindow::RemoveSelected()
{
   Process* instance = ProcessContainerView->InstanceAtRow( ProcessContainerView->SelectedRow() );
   if ( instance == nullptr )
      return;
   ProcessContainer* owner = instance->owner;
   Detach( instance ).reset();
   RemoveIfEmptyNested( owner, container.get() );
   ProcessContainerView->Refresh();
}

bool TProcessContainerWindow::MoveInstance( Process* moved, Process* target )
{
   if ( moved == nullptr || moved == target || moved->owner == nullptr )
      return true;
   if ( target != nullptr )
      for ( const ProcessContainer* c = target->owner; c != nullptr; c = c->owner )
         if ( c == moved )
         {
            platform::ShowMessage( platform::Icon::Error, "ProcessContainer",
                                   "The target instance is a descendant of the container being moved" );
            return false;
         }

   ProcessContainer* from = moved->owner;
   std::unique_ptr<Process> taken = Detach( moved );
   if ( target == nullptr )
      InsertInto( *from, from->instances.Length(), std::move( taken ) );
   else
   {
      ProcessContainer& into = *target->owner;
      InsertInto( into, IndexIn( into, target ), std::move( taken ) );
      RemoveIfEmptyNested( from, container.get() );
   }
   ProcessContainerView->Refresh();
   ProcessContainerView->SelectRow( ProcessContainerView->RowOfInstance( moved ) );
   return true;
}

void TProcessContainerWindow::Clear_ButtonClick()
{
   container->DeleteInstances();
   ProcessContainerView->Refresh();
}

void TProcessContainerWindow::Report_ButtonClick()
{
   ShowContainerReport( "Processing Report: Process Container", nullptr, container.get() );
}

// ---- Drops --------------------------------------------------------------------------------------------------------

bool TProcessContainerWindow::AcceptsEnvelope( TProcessEnvelope* envelope )
{
   if ( envelope == nullptr || envelope == processDragObject )
      return false;
   Process* instance = envelope->Instance();
   if ( instance == nullptr )
      return false;
   envelope->ReleaseInstance( instance );
   return true;
}

int32_t TProcessContainerWindow::RowAt( QPoint point ) const
{
   QTreeWidget* list = ProcessContainerView->Processing_ListView;
   QTreeWidgetItem* item = list->itemAt( point );
   return item != nullptr ? list->indexOfTopLevelItem( item ) : -1;
}

bool TProcessContainerWindow::ListDragOver( TProcessEnvelope* envelope, QPoint point )
{
   if ( !AcceptsEnvelope( envelope ) )
      return false;
   const int32_t row = RowAt( point );
   ProcessContainerView->SelectRow( row >= 0 ? row : ProcessContainerView->RowCount() - 1 );
   return true;
}

void TProcessContainerWindow::ListDragDrop( TProcessEnvelope* envelope, QPoint point )
{
   if ( !AcceptsEnvelope( envelope ) )
      return;
   Process* offered = envelope->Instance();
   std::unique_ptr<Process> clone;
   try
   {
      clone = offered->Clone();
   }
   catch ( ... )
   {
      envelope->ReleaseInstance( offered );
      throw;
   }
   envelope->ReleaseInstance( offered );
   const int32_t row = RowAt( point );
   if ( row >= 0 )
   {
      ProcessContainerView->SelectRow( row );
      InsertInstance( std::move( clone ) );
      return;
   }
   const int32_t selected = ProcessContainerView->SelectedRow();
   if ( selected < 0 || selected == ProcessContainerView->RowCount() - 1 )
      AppendInstance( std::move( clone ) );
   else
      InsertInstance( std::move( clone ) );
}

void TProcessContainerWindow::dragEnterEvent( QDragEnterEvent* event )
{
   dragMoveEvent( event );
}

void TProcessContainerWindow::dragMoveEvent( QDragMoveEvent* event )
{
   TProcessEnvelope* envelope = DraggedEnvelope( event->mimeData() );
   const bool accept = AcceptsEnvelope( envelope );
   if ( accept && !isActiveWindow() )
      raise();
   AnswerEnvelopeDrag( event, accept, this );
}

void TProcessContainerWindow::dropEvent( QDropEvent* event )
{
   TProcessEnvelope* envelope = DraggedEnvelope( event->mimeData() );
   if ( !AcceptsEnvelope( envelope ) )
   {
      event->ignore();
      return;
   }
   event->acceptProposedAction();
   if ( !isActiveWindow() )
      raise();
   Process* offered = envelope->Instance();
   try
   {
      offered->ImportToInterface( *this );
   }
   catch ( ... )
   {
      envelope->ReleaseInstance( offered );
      throw;
   }
   envelope->ReleaseInstance( offered );
}

bool TProcessContainerWindow::eventFilter( QObject* watched, QEvent* event )
{
   QTreeWidget* list = ProcessContainerView->Processing_ListView;
   if ( watched == list && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>( event )->key() == Qt::Key_Delete )
   {
      RemoveSelected();
      return true;
   }
   if ( watched != list->viewport() )
      return TProcessingWindow::eventFilter( watched, event );

   switch ( event->type() )
   {
   case QEvent::MouseButtonPress:
   {
      auto* e = static_cast<QMouseEvent*>( event );
      const int32_t row = RowAt( e->position().toPoint() );
      if ( row >= 0 )
         ProcessContainerView->SelectRow( row );
      if ( e->button() == Qt::LeftButton && row >= 0 )
      {
         moving = true;
         movedInstance = ProcessContainerView->InstanceAtRow( row );
      }
      return false;
   }
   case QEvent::MouseMove:
      if ( moving )
      {
         const int32_t row = RowAt( static_cast<QMouseEvent*>( event )->position().toPoint() );
         if ( row >= 0 )
            ProcessContainerView->SelectRow( row );
         return true;
      }
      return false;
   case QEvent::MouseButtonRelease:
      if ( moving )
      {
         moving = false;
         const int32_t row = RowAt( static_cast<QMouseEvent*>( event )->position().toPoint() );
         MoveInstance( movedInstance, ProcessContainerView->InstanceAtRow( row ) );
         movedInstance = nullptr;
      }
      return false;
   case QEvent::DragEnter:
   case QEvent::DragMove:
   {
      auto* e = static_cast<QDragMoveEvent*>( event );
      AnswerEnvelopeDrag( e, ListDragOver( DraggedEnvelope( e->mimeData() ), e->position().toPoint() ), list );
      return true;
   }
   case QEvent::Drop:
   {
      auto* e = static_cast<QDropEvent*>( event );
      TProcessEnvelope* envelope = DraggedEnvelope( e->mimeData() );
      if ( !AcceptsEnvelope( envelope ) )
      {
         e->ignore();
         return true;
      }
      e->acceptProposedAction();
      ListDragDrop( envelope, e->position().toPoint() );
      return true;
   }
   default:
      return false;
   }
}

TProcessContainerWindow& ProcessContainerWindow()
{
   static QPointer<TProcessContainerWindow> window;
   if ( window == nullptr )
      window = new TProcessContainerWindow;
   return *window;
}
