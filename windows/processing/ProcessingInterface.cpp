#include "windows/processing/ProcessingInterface.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>

#include "process/Process.h"
#include "windows/processing/StandardButtonPictures.h"

namespace
{

// The box layout, within the layout tree, that holds the widget itself; none.
QBoxLayout* BoxHolding( QLayout* layout, const QWidget* widget )
{
   if ( layout == nullptr )
      return nullptr;
   for ( int i = 0; i < layout->count(); ++i )
   {
      QLayoutItem* item = layout->itemAt( i );
      if ( item->widget() == widget )
         return qobject_cast<QBoxLayout*>( layout );
      if ( QBoxLayout* inner = BoxHolding( item->layout(), widget ) )
         return inner;
   }
   return nullptr;
}

// The row of the form's standard buttons (the apply buttons, else OK and Cancel), when they lie in a box layout.
QBoxLayout* StandardButtonRow( QWidget* form )
{
   const QList<QAbstractButton*> buttons = form->findChildren<QAbstractButton*>();
   for ( const char* prefix : { "Preview_", "Apply_", "SelectPreviews_", "SelectImages_", "OK_", "Cancel_" } )
      for ( QAbstractButton* button : buttons )
         if ( button->objectName().startsWith( prefix ) && qobject_cast<QCheckBox*>( button ) == nullptr &&
              button->window() == form )
            if ( QBoxLayout* row = BoxHolding( button->parentWidget()->layout(), button ) )
               return row;
   return nullptr;
}

// The exit handler of an edit, kept as a child of the edit so that it goes with it.
class EditExitHook : public QObject
{
public:
   EditExitHook( QLineEdit* edit, std::function<void()> handler ) : QObject( edit ), handler( std::move( handler ) )
   {
      setObjectName( "EditExitHook" );
   }
   std::function<void()> handler;
};

EditExitHook* HookOf( QLineEdit* edit )
{
   return edit != nullptr ? edit->findChild<EditExitHook*>( "EditExitHook", Qt::FindDirectChildrenOnly ) : nullptr;
}

// Routes the keys typed in the controls of an interface through its WantChildKey, and the focus changes of edits
// to their enter and exit behaviour. One for the application.
class InterfaceKeyRouter : public QObject
{
public:
   static void Install()
   {
      static InterfaceKeyRouter* router = nullptr;
      if ( router == nullptr && QCoreApplication::instance() != nullptr )
      {
         router = new InterfaceKeyRouter;
         router->setParent( QCoreApplication::instance() );
         QCoreApplication::instance()->installEventFilter( router );
      }
   }

protected:
   bool eventFilter( QObject* watched, QEvent* event ) override
   {
      switch ( event->type() )
      {
      case QEvent::KeyPress:
         if ( auto* widget = qobject_cast<QWidget*>( watched ) )
         {
            // A key the control did not take travels on to its parents as the same event: it was routed once.
            if ( event == routedKey && routedTo != nullptr && routedTo != widget && widget->isAncestorOf( routedTo ) )
               break;
            routedKey = event;
            routedTo = widget;
            if ( TProcessingInterface* form = InterfaceOf( widget ) )
               if ( widget->isEnabled() && form->isEnabled() )
                  return form->WantChildKey( widget, static_cast<QKeyEvent*>( event ) );
         }
         break;
      case QEvent::KeyRelease:
         routedKey = nullptr;
         routedTo = nullptr;
         break;
      case QEvent::FocusIn:
         if ( auto* edit = qobject_cast<QLineEdit*>( watched ) )
            if ( TProcessingInterface* form = InterfaceOf( edit ) )
               form->EditEnter();
         break;
      case QEvent::FocusOut:
         if ( auto* edit = qobject_cast<QLineEdit*>( watched ) )
         {
            // Leaving the window (to a message box, another application or a menu) is no exit from the edit: the
            // window commits the edit itself when it is deactivated.
            const Qt::FocusReason reason = static_cast<QFocusEvent*>( event )->reason();
            if ( reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason )
               RunEditExitHandler( edit );
         }
         break;
      default:
         break;
      }
      return false;
   }

private:
   const QEvent* routedKey = nullptr;
   QPointer<QWidget> routedTo;
};

bool IsEnterKey( const QKeyEvent* key )
{
   return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

} // namespace

// ---- Edit hooks ---------------------------------------------------------------------------------------------------

void SetEditExitHandler( QLineEdit* edit, std::function<void()> handler )
{
   delete HookOf( edit );
   new EditExitHook( edit, std::move( handler ) );
   InterfaceKeyRouter::Install();
}

bool RunEditExitHandler( QLineEdit* edit )
{
   EditExitHook* hook = HookOf( edit );
   if ( hook == nullptr || !hook->handler )
      return false;
   // The handler may show a message box that moves the focus; a copy keeps it alive whatever happens to the hook.
   const std::function<void()> handler = hook->handler;
   handler();
   return true;
}

TProcessingInterface* InterfaceOf( QWidget* control )
{
   return control != nullptr ? qobject_cast<TProcessingInterface*>( control->window() ) : nullptr;
}

void MarkInputError( QWidget* control )
{
   if ( TProcessingInterface* form = InterfaceOf( control ) )
      form->inputError = true;
}

// ---- TProcessingInterface -----------------------------------------------------------------------------------------

TProcessingInterface::TProcessingInterface( QWidget* owner ) : QDialog( owner )
{
   setAcceptDrops( true );
   InterfaceKeyRouter::Install();
}

TProcessingInterface::~TProcessingInterface() = default;

std::unique_ptr<Process> TProcessingInterface::NewProbeInstance()
{
   return NewInstance();
}

void TProcessingInterface::ImportInstance( const Process& )
{
}

void TProcessingInterface::Apply()
{
}

bool TProcessingInterface::EditReturnHandled() const
{
   return true;
}

bool TProcessingInterface::WantChildKey( QWidget* child, QKeyEvent* key )
{
   suppressShortcuts = false;
   if ( !IsEnterKey( key ) )
      return false;
   if ( child == nullptr || InterfaceOf( child ) != this )
      return true;
   // A multi-line text takes its line break, and the window's shortcuts stay quiet.
   if ( qobject_cast<QPlainTextEdit*>( child ) != nullptr || qobject_cast<QTextEdit*>( child ) != nullptr )
   {
      suppressShortcuts = true;
      return false;
   }
   if ( key->modifiers() & Qt::ControlModifier )
      return true;
   auto* edit = qobject_cast<QLineEdit*>( child );
   if ( edit == nullptr )
      return false;
   QPointer<QLineEdit> guard( edit );
   inputError = false;
   RunEditExitHandler( edit );
   suppressShortcuts = inputError;
   if ( guard )
      guard->selectAll();
   return EditReturnHandled();
}

void TProcessingInterface::EditEnter()
{
   inputError = false;
}

void TProcessingInterface::CommitActiveEdit()
{
   inputError = false;
   if ( auto* edit = qobject_cast<QLineEdit*>( focusWidget() ) )
      RunEditExitHandler( edit );
}

void TProcessingInterface::ReenterActiveEdit()
{
   inputError = false;
}

void TProcessingInterface::CreateProcessDragObject( int32_t size )
{
   delete processDragObject;
   processDragObject = new ProcessDragObject( this );
   processDragObject->setObjectName( "ProcessDragObject" );
   processDragObject->setToolTip( "Drag a new instance of this process" );
   processDragObject->setFixedSize( size, size );
   processDragObject->move( 4, height() - size - 4 );
   processDragObject->show();
}

void TProcessingInterface::PlaceProcessDragObject()
{
   // A window without a handle (the tool windows hide theirs) keeps no room for one.
   if ( processDragObject == nullptr || processDragObject->isHidden() )
      return;
   // The handle leads the row of the standard buttons: it neither covers a button nor lies under one.
   if ( QBoxLayout* row = StandardButtonRow( this ); row != nullptr && layout() != nullptr )
   {
      row->insertWidget( 0, processDragObject, 0, Qt::AlignVCenter );
      return;
   }
   // Otherwise in the bottom-left corner, below the controls: a strip is kept free for it where they reach it.
   const QRect corner( 4, height() - processDragObject->height() - 4, processDragObject->width(),
                       processDragObject->height() );
   bool covered = false;
   for ( QObject* child : children() )
      if ( auto* control = qobject_cast<QWidget*>( child ); control != nullptr && !control->isWindow() &&
                                                             control != processDragObject && !control->isHidden() &&
                                                             control->geometry().intersects( corner ) )
         covered = true;
   if ( covered )
   {
      const int strip = processDragObject->height() + 4;
      if ( layout() != nullptr )
      {
         QMargins margins = layout()->contentsMargins();
         margins.setBottom( margins.bottom() + strip );
         layout()->setContentsMargins( margins );
         adjustSize();
      }
      else
         resize( width(), height() + strip );
   }
   processDragObject->raise();
   KeepProcessDragObjectInCorner();
}

void TProcessingInterface::KeepProcessDragObjectInCorner()
{
   if ( processDragObject != nullptr && processDragObject->parentWidget() == this )
      processDragObject->move( 4, height() - processDragObject->height() - 4 );
}

bool TProcessingInterface::DragObjectStartDrag()
{
   CommitActiveEdit();
   return !inputError;
}

void TProcessingInterface::FitToControls()
{
   if ( layout() != nullptr )
      adjustSize();
   else
   {
      int right = 0;
      int bottom = 0;
      for ( QObject* child : children() )
         if ( auto* control = qobject_cast<QWidget*>( child ); control != nullptr && !control->isWindow() &&
                                                                control != processDragObject )
         {
            right = std::max( right, control->geometry().right() + 1 );
            bottom = std::max( bottom, control->geometry().bottom() + 1 );
         }
      resize( right + 4, bottom + 4 );
   }
   PlaceProcessDragObject();
   setWindowTitle( windowTitle().trimmed() );
}

void TProcessingInterface::FormCreated()
{
   // Enter means what WantChildKey says, never "click the dialog's default button".
   for ( QPushButton* button : findChildren<QPushButton*>() )
   {
      button->setAutoDefault( false );
      button->setDefault( false );
   }
   FitToControls();
}

bool TProcessingInterface::event( QEvent* event )
{
   if ( event->type() == QEvent::Resize )
      KeepProcessDragObjectInCorner();
   if ( event->type() == QEvent::Polish && !created )
   {
      created = true;
      FormCreated();
   }
   return QDialog::event( event );
}

void TProcessingInterface::setVisible( bool visible )
{
   if ( visible )
   {
      // The window takes its size from FitToControls (run when it is first polished) or from its saved place. The
      // toolkit fits a window that was never explicitly resized to its children's rectangle at each showing, and
      // that rectangle reaches the drag handle in the bottom corner, so the window would grow at every showing.
      ensurePolished();
      setAttribute( Qt::WA_Resized );
   }
   QDialog::setVisible( visible );
}

void TProcessingInterface::keyPressEvent( QKeyEvent* event )
{
   // Esc and Enter mean what the window's own shortcuts say, not the dialog's default close and default button.
   QWidget::keyPressEvent( event );
}

void TProcessingInterface::changeEvent( QEvent* event )
{
   if ( event->type() == QEvent::ActivationChange )
   {
      if ( isActiveWindow() )
         FormActivate();
      else
         FormDeactivate();
   }
   QDialog::changeEvent( event );
}

bool TProcessingInterface::FormDragOver( const QMimeData* data )
{
   TProcessEnvelope* envelope = DraggedEnvelope( data );
   if ( envelope == nullptr || envelope == processDragObject )
      return false;
   Process* instance = envelope->Instance();
   if ( instance == nullptr )
      return false;
   bool accept = false;
   try
   {
      accept = instance->IsInterface( this );
   }
   catch ( ... )
   {
   }
   envelope->ReleaseInstance( instance );
   if ( accept && !isActiveWindow() )
      raise();
   return accept;
}

void TProcessingInterface::FormDragDrop( const QMimeData* data )
{
   TProcessEnvelope* envelope = DraggedEnvelope( data );
   if ( envelope == nullptr || envelope == processDragObject )
      return;
   Process* instance = envelope->Instance();
   if ( instance == nullptr )
      return;
   try
   {
      if ( instance->IsInterface( this ) )
      {
         if ( !isActiveWindow() )
            raise();
         instance->ImportToInterface( *this );
      }
   }
   catch ( ... )
   {
      envelope->ReleaseInstance( instance );
      throw;
   }
   envelope->ReleaseInstance( instance );
}

void TProcessingInterface::dragEnterEvent( QDragEnterEvent* event )
{
   dragMoveEvent( event );
}

void TProcessingInterface::dragMoveEvent( QDragMoveEvent* event )
{
   const bool accept = FormDragOver( event->mimeData() );
   if ( TProcessEnvelope::DragObject* drag = TProcessEnvelope::DragObject::Current() )
      drag->ShowDragCursor( accept, this );
   if ( accept )
      event->acceptProposedAction();
   else
      event->ignore();
}

void TProcessingInterface::dropEvent( QDropEvent* event )
{
   if ( DraggedEnvelope( event->mimeData() ) == nullptr )
   {
      event->ignore();
      return;
   }
   event->acceptProposedAction();
   FormDragDrop( event->mimeData() );
}

// ---- ProcessDragObject --------------------------------------------------------------------------------------------

TProcessingInterface::ProcessDragObject::ProcessDragObject( TProcessingInterface* owner )
   : TProcessEnvelope( owner ), owner( owner )
{
   // Its caption is a picture: an arrow pointing out of the window, the way an instance leaves it.
   auto* caption = new QLabel( this );
   caption->setObjectName( "ProcessDragObject_Label" );
   caption->setPixmap( NewInstancePicture().pixmap( 14, 14 ) );
   caption->setAlignment( Qt::AlignCenter );
   caption->setAttribute( Qt::WA_TransparentForMouseEvents );
   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 0, 0, 0, 0 );
   layout->addWidget( caption );
}

Process* TProcessingInterface::ProcessDragObject::Instance()
{
   return owner->NewInstance().release();
}

Process* TProcessingInterface::ProcessDragObject::ProbeInstance()
{
   return owner->NewProbeInstance().release();
}

void TProcessingInterface::ProcessDragObject::ReleaseInstance( Process* instance )
{
   delete instance;
}

bool TProcessingInterface::ProcessDragObject::IsInstanceTransferable() const
{
   return true;
}

bool TProcessingInterface::ProcessDragObject::StartDrag()
{
   // The dragged instance is built from committed values.
   return owner->DragObjectStartDrag();
}
