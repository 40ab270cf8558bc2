#include "windows/dialogs/ProfileChoiceControls.h"

#include <QDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "windows/main/MainWindow.h"

ProfileChoiceControls MakeProfileChoiceDialog( QDialog* dialog, const char* objectName, const char* caption,
                                               const char* note )
{
   dialog->setObjectName( objectName );
   dialog->setWindowTitle( caption );
   dialog->setModal( true );
   ProfileChoiceControls c;
   c.layout = new QVBoxLayout( dialog );
   c.imagePath = new QLabel( dialog );
   c.imagePath->setObjectName( "ImagePath_Panel" );
   c.imagePath->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   c.imagePath->setMinimumWidth( 360 );
   c.memo = new QPlainTextEdit( dialog );
   c.memo->setObjectName( "Memo1" );
   c.memo->setReadOnly( true );
   c.memo->setPlainText( QString( note ) + "\nSelect one option to proceed:" );
   c.memo->setMaximumHeight( 60 );
   c.layout->addWidget( c.imagePath );
   c.layout->addWidget( c.memo );
   return c;
}

void FinishProfileChoiceDialog( QDialog* dialog, ProfileChoiceControls& c )
{
   c.ok = new QPushButton( "OK", dialog );
   c.ok->setObjectName( "OK_Button" );
   c.ok->setDefault( true );
   c.cancel = new QPushButton( "Cancel", dialog );
   c.cancel->setObjectName( "Cancel_Button" );
   QObject::connect( c.ok, &QPushButton::clicked, dialog, &QDialog::accept );
   QObject::connect( c.cancel, &QPushButton::clicked, dialog, &QDialog::reject );
   auto* buttons = new QHBoxLayout;
   buttons->addStretch();
   buttons->addWidget( c.ok );
   buttons->addWidget( c.cancel );
   c.layout->addLayout( buttons );
}

QRadioButton* MakeChoiceButton( QDialog* dialog, QVBoxLayout* layout, const char* objectName, const char* text,
                                uint8_t number, uint8_t& choice )
{
   auto* button = new QRadioButton( text, dialog );
   button->setObjectName( objectName );
   QObject::connect( button, &QRadioButton::clicked, dialog,
                     [number, &choice]
                     {
                        if ( MainWindow == nullptr || !MainWindow->UpdatingControls() )
                           choice = number;
                     } );
   layout->addWidget( button );
   return button;
}

QLabel* MakeDescriptionPanel( QDialog* dialog, QVBoxLayout* layout, const char* objectName )
{
   auto* panel = new QLabel( dialog );
   panel->setObjectName( objectName );
   panel->setIndent( 20 );
   layout->addWidget( panel );
   return panel;
}

void ShowImagePath( QLabel* panel, const std::string& path )
{
   const QString full = QString::fromStdString( path );
   panel->setText( QFontMetrics( panel->font() ).elidedText( full, Qt::ElideMiddle, std::max( 0, panel->width() - 8 ) ) );
   panel->setToolTip( full );
}
