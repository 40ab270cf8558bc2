#include "windows/dialogs/AboutDialog.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

#include "support/Utils.h"
#include "windows/frames/SplashFrame.h"
#include "windows/main/Application.h"

namespace
{

const QColor LinkColor( 255, 255, 255 );
const QColor LinkHoverColor( 166, 202, 240 );
const QColor SectionColor( 255, 128, 0 );

void SetTextColor( QLabel* label, const QColor& colour )
{
   QPalette palette = label->palette();
   palette.setColor( QPalette::WindowText, colour );
   label->setPalette( palette );
}

QLabel* AddLabel( QVBoxLayout* layout, QWidget* parent, const QString& text, const QColor& colour, bool bold = false )
{
   auto* label = new QLabel( text, parent );
   SetTextColor( label, colour );
   if ( bold )
   {
      QFont font = label->font();
      font.setBold( true );
      label->setFont( font );
   }
   layout->addWidget( label );
   return label;
}

} // namespace

TAboutDialog::TAboutDialog( QWidget* owner ) : QDialog( owner, Qt::Dialog | Qt::FramelessWindowHint )
{
   setObjectName( "AboutDialog" );
   setWindowTitle( "About Lumenforge" );

   auto* outer = new QVBoxLayout( this );
   outer->setContentsMargins( 0, 0, 0, 0 );
   About_Panel = new QWidget( this );
   About_Panel->setObjectName( "About_Panel" );
   About_Panel->setAutoFillBackground( true );
   QPalette dark = About_Panel->palette();
   dark.setColor( QPalette::Window, QColor( 32, 32, 32 ) );
   About_Panel->setPalette( dark );
   About_Panel->installEventFilter( this );
   outer->addWidget( About_Panel );

   // The splash picture at the left, the texts to its right.
   auto* row = new QHBoxLayout( About_Panel );
   row->setContentsMargins( 0, 0, 0, 0 );
   Splash_Frame = new TSplashFrame( About_Panel );
   row->addWidget( Splash_Frame );
   auto* layout = new QVBoxLayout();
   layout->setContentsMargins( 16, 16, 16, 16 );
   row->addLayout( layout );
   Version_Label = AddLabel( layout, About_Panel, ApplicationTitle(), Qt::white, true );
   Version_Label->setObjectName( "Version_Label" );
   Special_Label = AddLabel( layout, About_Panel, "Astronomical image processing", Qt::white );
   Special_Label->setObjectName( "Special_Label" );
   URL_Label = AddLabel( layout, About_Panel, ProductAddress, LinkColor );
   URL_Label->setObjectName( "URL_Label" );
   MakeLink( URL_Label, ProductAddress );
   layout->addSpacing( 12 );
   AddLabel( layout, About_Panel, "Program Design and Development", SectionColor, true );
   AddLabel( layout, About_Panel, "Corvanta Lumenforge Team", Qt::white );
   AddLabel( layout, About_Panel, "Beta Test / Development Team", SectionColor, true );
   AddLabel( layout, About_Panel, "Corvanta Lumenforge Testers", Qt::white );
   AddLabel( layout, About_Panel, "Project Management", SectionColor, true );
   MakeLink( AddLabel( layout, About_Panel, "Corvanta", LinkColor ), "https://www.corvanta.com/" );
   layout->addSpacing( 12 );

   Ack_Memo = new QPlainTextEdit( About_Panel );
   Ack_Memo->setObjectName( "Ack_Memo" );
   Ack_Memo->setReadOnly( true );
   Ack_Memo->setFrameShape( QFrame::NoFrame );
   Ack_Memo->setFocusPolicy( Qt::NoFocus );
   Ack_Memo->setVerticalScrollBarPolicy( Qt::ScrollBarAlwaysOn );
   Ack_Memo->setPlainText( "Lumenforge is built with:\n"
                           "- Qt, the cross-platform application toolkit.\n"
                           "- CFITSIO, the FITS file library of NASA's HEASARC.\n"
                           "- LibTIFF, the TIFF library and tools.\n"
                           "- libjpeg-turbo, which is based in part on the work of the Independent JPEG Group.\n"
                           "- Little CMS, the colour management engine.\n" );
   layout->addWidget( Ack_Memo );

   setFixedSize( 816, 450 );
   if ( QScreen* screen = QGuiApplication::primaryScreen() )
      move( screen->geometry().center() - rect().center() );
}

void TAboutDialog::MakeLink( QLabel* label, const QString& address )
{
   label->setCursor( Qt::PointingHandCursor );
   label->setProperty( "lf_link", address );
   label->installEventFilter( this );
}

void TAboutDialog::FormClick()
{
   done( 1 );
}

void TAboutDialog::mousePressEvent( QMouseEvent* event )
{
   FormClick();
   event->accept();
}

void TAboutDialog::keyPressEvent( QKeyEvent* event )
{
   FormClick();
   event->accept();
}

bool TAboutDialog::eventFilter( QObject* watched, QEvent* event )
{
   auto* label = qobject_cast<QLabel*>( watched );
   const QString address = label != nullptr ? label->property( "lf_link" ).toString() : QString();
   if ( address.isEmpty() )
   {
      if ( watched == About_Panel && event->type() == QEvent::MouseButtonPress )
      {
         FormClick();
         return true;
      }
      return QDialog::eventFilter( watched, event );
   }
   switch ( event->type() )
   {
   case QEvent::Enter:
   case QEvent::Leave:
   {
      const bool inside = event->type() == QEvent::Enter;
      SetTextColor( label, inside ? LinkHoverColor : LinkColor );
      QFont font = label->font();
      font.setUnderline( inside );
      label->setFont( font );
      return false;
   }
   case QEvent::MouseButtonPress:
      OpenInWebBrowser( address.toStdString(), false );
      return true;
   default:
      return false;
   }
}
