#include "platform/DialogRunner.h"

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <QWindow>

namespace platform
{

namespace
{

class ModalDialogRunner : public DialogRunner
{
public:
   int Run( QDialog& dialog ) override { return dialog.exec(); }
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------

namespace
{

bool Shown( const QWidget* w, const QWidget* except )
{
   return w != nullptr && w != except && w->isVisible() && !w->isMinimized();
}

bool AnyStaysOnTop( const QWidget* except )
{
   for ( const QWidget* w : QApplication::topLevelWidgets() )
      if ( Shown( w, except ) && w->windowFlags().testFlag( Qt::WindowStaysOnTopHint ) &&
           w->windowType() != Qt::ToolTip && w->windowType() != Qt::Popup )
         return true;
   return false;
}

} // namespace

QWidget* TopmostWindow( const QWidget* except )
{
   if ( qobject_cast<QApplication*>( QCoreApplication::instance() ) == nullptr )
      return nullptr;
   if ( QWidget* modal = QApplication::activeModalWidget(); Shown( modal, except ) )
      return modal;
   if ( QWidget* active = QApplication::activeWindow(); Shown( active, except ) )
      return active;
   QWidget* any = nullptr;
   QWidget* floating = nullptr;
   for ( QWidget* w : QApplication::topLevelWidgets() )
   {
      if ( !Shown( w, except ) || w->windowType() == Qt::ToolTip || w->windowType() == Qt::Popup ||
           w->windowType() == Qt::Desktop )
         continue;
      any = w;
      if ( w->windowFlags().testFlag( Qt::WindowStaysOnTopHint ) )
         floating = w;
   }
   return floating != nullptr ? floating : any;
}

ModalScope::ModalScope( QWidget& w ) : window( &w )
{
   if ( qobject_cast<QApplication*>( QCoreApplication::instance() ) == nullptr )
      return;
   // The style first: changing it re-creates the system window, which would lose the transient link below.
   if ( !w.windowFlags().testFlag( Qt::WindowStaysOnTopHint ) && AnyStaysOnTop( &w ) )
   {
      w.setWindowFlag( Qt::WindowStaysOnTopHint, true );
      madeStayOnTop = true;
   }
   if ( QWidget* top = TopmostWindow( &w ) )
   {
      w.winId();
      if ( QWindow* handle = w.windowHandle(); handle != nullptr && top->window()->windowHandle() != nullptr )
         handle->setTransientParent( top->window()->windowHandle() );
   }
   // Once it shows (inside the modal loop): on top and taking the keys.
   QPointer<QWidget> shown( &w );
   QTimer::singleShot( 0, &w,
                       [shown]
                       {
                          if ( shown != nullptr && shown->isVisible() )
                          {
                             shown->raise();
                             shown->activateWindow();
                          }
                       } );
}

ModalScope::~ModalScope()
{
   if ( madeStayOnTop && window != nullptr && !window->isVisible() )
      window->setWindowFlag( Qt::WindowStaysOnTopHint, false );
}

// ---------------------------------------------------------------------------------------------------------------

DialogRunner::~DialogRunner() = default;

int DialogRunner::exec( QDialog& dialog )
{
   ModalScope scope( dialog );
   return Current().Run( dialog );
}

DialogRunner& DialogRunner::Current()
{
   static ModalDialogRunner production;
   return *InstalledOr( production );
}

// ---------------------------------------------------------------------------------------------------------------

QString DialogExpectation::Describe() const
{
   return QStringLiteral( "dialog \"%1\"" ).arg( objectName.isEmpty() ? QStringLiteral( "*" ) : objectName );
}

QString DialogRecord::Describe() const
{
   return QStringLiteral( "dialog \"%1\" (%2) -> %3" ).arg( objectName, title ).arg( result );
}

ScriptedDialogRunner& ScriptedDialogRunner::Expect( const QString& objectName, Handler handler )
{
   AddExpectation( DialogExpectation{ objectName, std::move( handler ) } );
   return *this;
}

ScriptedDialogRunner& ScriptedDialogRunner::ExpectResult( const QString& objectName, int result )
{
   return Expect( objectName, [result]( QDialog& ) { return result; } );
}

int ScriptedDialogRunner::Run( QDialog& dialog )
{
   Record r;
   r.objectName = dialog.objectName();
   r.title = dialog.windowTitle();
   // Taken off the queue before the handler runs: the handler may open further dialogs.
   DialogExpectation e;
   auto accepts = [&r]( const DialogExpectation& front ) {
      return front.objectName.isEmpty() || front.objectName == r.objectName;
   };
   if ( !TakeFront( accepts, e ) )
   {
      r.result = QDialog::Rejected;
      RecordUnexpected( r );
      return QDialog::Rejected;
   }

   dialog.setResult( 0 );
   dialog.show();
   int result = e.handler( dialog );
   if ( dialog.isVisible() )
      dialog.done( result );
   else
      result = dialog.result();

   r.result = result;
   RecordExpected( r );
   return result;
}

} // namespace platform
