#include "platform/DialogRunner.h"

#include <QDialog>

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

DialogRunner::~DialogRunner() = default;

int DialogRunner::exec( QDialog& dialog )
{
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
