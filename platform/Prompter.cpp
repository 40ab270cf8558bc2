#include "platform/Prompter.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include <cstdio>
#include <string>

#include "classlib/Exception.h"
#include "platform/DialogRunner.h"

namespace platform
{

namespace
{

// The production prompter: a modal QMessageBox over the window that takes input.
class MessageBoxPrompter : public Prompter
{
public:
   Answer Ask( Icon icon, const QString& caption, const QString& text, Buttons buttons,
               Answer defaultAnswer ) override
   {
      if ( qobject_cast<QApplication*>( QCoreApplication::instance() ) == nullptr )
      {
         // No GUI (a command-line tool, a test without QApplication): say it, take the default.
         std::fprintf( stderr, "%s: %s\n", caption.toLocal8Bit().constData(), text.toLocal8Bit().constData() );
         return defaultAnswer;
      }

      QMessageBox box( MessageBoxParent() );
      box.setWindowTitle( caption );
      box.setText( text );
      WidenForCaption( box );
      switch ( icon )
      {
      case Icon::None: box.setIcon( QMessageBox::NoIcon ); break;
      case Icon::Information: box.setIcon( QMessageBox::Information ); break;
      case Icon::Warning: box.setIcon( QMessageBox::Warning ); break;
      case Icon::Error: box.setIcon( QMessageBox::Critical ); break;
      case Icon::Question: box.setIcon( QMessageBox::Question ); break;
      }

      QMessageBox::StandardButtons standard;
      switch ( buttons )
      {
      case Buttons::Ok: standard = QMessageBox::Ok; break;
      case Buttons::OkCancel: standard = QMessageBox::Ok | QMessageBox::Cancel; break;
      case Buttons::YesNo: standard = QMessageBox::Yes | QMessageBox::No; break;
      case Buttons::YesNoCancel: standard = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel; break;
      }
      box.setStandardButtons( standard );
      QMessageBox::StandardButton preferred = ToStandard( defaultAnswer );
      if ( standard.testFlag( preferred ) )
         box.setDefaultButton( preferred );

      // Above every window of the program, stay-on-top tool windows included.
      const ModalScope scope( box );
      switch ( static_cast<QMessageBox::StandardButton>( box.exec() ) )
      {
      case QMessageBox::Ok: return Answer::Ok;
      case QMessageBox::Cancel: return Answer::Cancel;
      case QMessageBox::Yes: return Answer::Yes;
      case QMessageBox::No: return Answer::No;
      default: break;
      }
      // Closed without a button (Esc on a box without Cancel, the window manager's close).
      if ( buttons == Buttons::Ok )
         return Answer::Ok;
      if ( buttons == Buttons::YesNo )
         return Answer::No;
      return Answer::Cancel;
   }

private:
   static QMessageBox::StandardButton ToStandard( Answer answer )
   {
      switch ( answer )
      {
      case Answer::Ok: return QMessageBox::Ok;
      case Answer::Cancel: return QMessageBox::Cancel;
      case Answer::Yes: return QMessageBox::Yes;
      case Answer::No: return QMessageBox::No;
      }
      return QMessageBox::NoButton;
   }
};

void ShowException( const std::string& caption, const std::string& message )
{
   if ( Prompter::Installed() == nullptr && qobject_cast<QApplication*>( QCoreApplication::instance() ) == nullptr )
   {
      std::fprintf( stderr, "%s: %s\n", caption.c_str(), message.c_str() );
      return;
   }
   ShowMessage( Icon::Warning, QString::fromStdString( caption ), QString::fromStdString( message ) );
}

} // namespace

Prompter::~Prompter() = default;

Prompter& Prompter::Current()
{
   static MessageBoxPrompter production;
   return *InstalledOr( production );
}

void Prompter::Install( Prompter* prompter )
{
   ServiceSlot<Prompter>::Install( prompter );
   InstallExceptionShowHandler();
}

Answer Ask( Icon icon, const QString& caption, const QString& text, Buttons buttons, Answer defaultAnswer )
{
   return Prompter::Current().Ask( icon, caption, text, buttons, defaultAnswer );
}

void ShowMessage( Icon icon, const QString& caption, const QString& text )
{
   Prompter::Current().Ask( icon, caption, text, Buttons::Ok, Answer::Ok );
}

void InstallExceptionShowHandler()
{
   qor::Exception::SetShowHandler( &ShowException );
}

QWidget* MessageBoxParent()
{
   auto takesInput = []( QWidget* w ) { return w != nullptr && w->isVisible() && w->isEnabled(); };
   if ( QWidget* modal = QApplication::activeModalWidget(); takesInput( modal ) )
      return modal;
   QWidget* active = QApplication::activeWindow();
   if ( takesInput( active ) )
      return active;
   if ( active != nullptr )
      for ( QWidget* w : QApplication::topLevelWidgets() )
         if ( w->windowType() == Qt::Dialog && takesInput( w ) )
            return w;
   return nullptr;
}

void WidenForCaption( QMessageBox& box )
{
   QFont title = box.font();
   title.setBold( true );
   title.setPointSizeF( title.pointSizeF() > 0 ? title.pointSizeF() * 1.25 : 12 );
   // The icon and the buttons at the ends of a title bar.
   constexpr int TitleBarButtons = 160;
   const int wanted = QFontMetrics( title ).horizontalAdvance( box.windowTitle() ) + TitleBarButtons;
   // A message box sizes itself to its layout: a spacer as wide as the caption needs widens it.
   if ( auto* grid = qobject_cast<QGridLayout*>( box.layout() ) )
      grid->addItem( new QSpacerItem( wanted, 0, QSizePolicy::Minimum, QSizePolicy::Minimum ), grid->rowCount(), 0,
                     1, grid->columnCount() );
}

QString AnswerText( Answer answer )
{
   switch ( answer )
   {
   case Answer::Ok: return QStringLiteral( "Ok" );
   case Answer::Cancel: return QStringLiteral( "Cancel" );
   case Answer::Yes: return QStringLiteral( "Yes" );
   case Answer::No: return QStringLiteral( "No" );
   }
   return QString();
}

} // namespace platform
