#include "windows/processing/ProcessingDialog.h"

#include <QAbstractButton>
#include <QKeyEvent>

#include "platform/DialogRunner.h"
#include "windows/image/Cursors.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"

TProcessingDialog::TProcessingDialog( QWidget* owner ) : TProcessingInterface( owner )
{
}

TProcessingDialog::~TProcessingDialog() = default;

void TProcessingDialog::FormCreated()
{
   TProcessingInterface::FormCreated();
   HookButtons( this );
}

void TProcessingDialog::HookButtons( QWidget* control )
{
   for ( QAbstractButton* button : control->findChildren<QAbstractButton*>() )
   {
      if ( button->property( "lf_hooked" ).toBool() )
         continue;
      const QString name = button->objectName();
      if ( name.contains( "OK_" ) )
      {
         connect( button, &QAbstractButton::clicked, this, &TProcessingDialog::OKButtonClick );
         button->setCursor( ScreenCursor( CursorOK ) );
      }
      else if ( name.contains( "Cancel_" ) )
      {
         connect( button, &QAbstractButton::clicked, this, &TProcessingDialog::CancelButtonClick );
         button->setCursor( ScreenCursor( CursorCancel ) );
      }
      else
         continue;
      button->setProperty( "lf_hooked", true );
   }
}

int TProcessingDialog::ShowModal()
{
   modal = true;
   return platform::DialogRunner::exec( *this );
}

void TProcessingDialog::ImportInstance( const Process& instance )
{
   importing = true;
   DoImportInstance( instance );
}

void TProcessingDialog::DoImportInstance( const Process& )
{
}

void TProcessingDialog::Apply()
{
   executing = true;
   struct ExecutingScope
   {
      TProcessingDialog& dialog;
      ~ExecutingScope()
      {
         dialog.executing = false;
         dialog.executedInstance = nullptr;
      }
   } scope{ *this };

   std::unique_ptr<Process> instance = NewInstance();
   executedInstance = instance.get();
   if ( instance == nullptr )
      return;
   TImageWindow* window = TargetWindow();
   if ( window != nullptr && window->mainView != nullptr )
      instance->LaunchOn( *window->mainView );
   else
      instance->LaunchGlobal();
}

TImageWindow* TProcessingDialog::TargetWindow() const
{
   return MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
}

bool TProcessingDialog::EditReturnHandled() const
{
   return false;
}

bool TProcessingDialog::CloseAfterApply() const
{
   return true;
}

void TProcessingDialog::OKButtonClick()
{
   CommitActiveEdit();
   if ( inputError )
      return;
   Apply();
   if ( CloseAfterApply() )
   {
      setResult( QDialog::Accepted );
      if ( modal )
         done( QDialog::Accepted );
      else
         hide();
   }
}

void TProcessingDialog::CancelButtonClick()
{
   setResult( QDialog::Rejected );
   if ( modal )
      done( QDialog::Rejected );
   else
      hide();
}

bool TProcessingDialog::WantChildKey( QWidget* child, QKeyEvent* key )
{
   if ( TProcessingInterface::WantChildKey( child, key ) )
      return true;
   if ( suppressShortcuts || ( key->modifiers() & ( Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier ) ) )
      return false;
   switch ( key->key() )
   {
   case Qt::Key_Return:
   case Qt::Key_Enter:
   case Qt::Key_F9:
      OKButtonClick();
      return true;
   case Qt::Key_Escape:
      CancelButtonClick();
      return true;
   default:
      return false;
   }
}

void TProcessingDialog::hideEvent( QHideEvent* event )
{
   executing = false;
   importing = false;
   modal = false;
   TProcessingInterface::hideEvent( event );
}
