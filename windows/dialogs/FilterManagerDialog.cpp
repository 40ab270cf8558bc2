#include "windows/dialogs/FilterManagerDialog.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "classlib/Exception.h"
#include "platform/FileDialogs.h"
#include "platform/Prompter.h"
#include "support/Utils.h"
#include "windows/frames/FilterEditorFrame.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"

namespace
{

const char* const FileFilter = "Filter Set Modules (*.lf-fsm)";

QLabel* MakeLabel( QWidget* parent, const char* name, const char* text )
{
   auto* label = new QLabel( text, parent );
   label->setObjectName( name );
   return label;
}

QLabel* MakeCaption( QWidget* parent, const char* name, const char* text )
{
   QLabel* caption = MakeLabel( parent, name, text );
   caption->setFrameShape( QFrame::Panel );
   caption->setFrameShadow( QFrame::Raised );
   return caption;
}

bool Updating()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

// Trimmed of leading and trailing blanks and control characters.
QString Trimmed( const QString& text )
{
   int begin = 0, end = int( text.size() );
   while ( begin < end && text[begin].unicode() <= ' ' )
      ++begin;
   while ( end > begin && text[end - 1].unicode() <= ' ' )
      --end;
   return text.mid( begin, end - begin );
}

} // namespace

TFilterManagerDialog::TFilterManagerDialog( QWidget* owner ) : QDialog( owner )
{
   setObjectName( "FilterManagerDialog" );
   setWindowTitle( "Manage Filters" );
   FilterSetModuleCaption_Panel = MakeCaption( this, "FilterSetModuleCaption_Panel", "  Filter Set Module" );
   CurrentModule_Label = MakeLabel( this, "CurrentModule_Label", "Current module:" );
   CurrentModule_Panel = MakeLabel( this, "CurrentModule_Panel", "" );
   CurrentModule_Panel->setFrameShape( QFrame::Panel );
   CurrentModule_Panel->setFrameShadow( QFrame::Sunken );
   CurrentModule_Panel->setMinimumWidth( 320 );
   LoadFilterSetModule_Button = new QPushButton( "Load filter set module...", this );
   LoadFilterSetModule_Button->setObjectName( "LoadFilterSetModule_Button" );
   SaveFilterSetModule_Button = new QPushButton( "Save current filter set...", this );
   SaveFilterSetModule_Button->setObjectName( "SaveFilterSetModule_Button" );
   CurrentFilterCaption_Panel = MakeCaption( this, "CurrentFilterCaption_Panel", "  Current Filter" );
   CurrentName_Label = MakeLabel( this, "CurrentName_Label", "Current name:" );
   CurrentName_Edit = new QLineEdit( this );
   CurrentName_Edit->setObjectName( "CurrentName_Edit" );
   CurrentName_Edit->setReadOnly( true );
   NewName_Label = MakeLabel( this, "NewName_Label", "New name:" );
   NewName_Edit = new QLineEdit( this );
   NewName_Edit->setObjectName( "NewName_Edit" );
   Add_RadioButton = new QRadioButton( "Add", this );
   Add_RadioButton->setObjectName( "Add_RadioButton" );
   Replace_RadioButton = new QRadioButton( "Replace", this );
   Replace_RadioButton->setObjectName( "Replace_RadioButton" );
   Remove_RadioButton = new QRadioButton( "Remove", this );
   Remove_RadioButton->setObjectName( "Remove_RadioButton" );
   MakeChangesPermanent_CheckBox = new QCheckBox( "Make changes permanent", this );
   MakeChangesPermanent_CheckBox->setObjectName( "MakeChangesPermanent_CheckBox" );
   OK_Button = new QPushButton( "OK", this );
   OK_Button->setObjectName( "OK_Button" );
   OK_Button->setDefault( true );
   Cancel_Button = new QPushButton( "Cancel", this );
   Cancel_Button->setObjectName( "Cancel_Button" );
   Add_RadioButton->setChecked( true );
   MakeChangesPermanent_CheckBox->setChecked( true );

   auto* moduleRow = new QHBoxLayout;
   moduleRow->addWidget( CurrentModule_Label );
   moduleRow->addWidget( CurrentModule_Panel, 1 );
   auto* fileButtons = new QHBoxLayout;
   fileButtons->addWidget( LoadFilterSetModule_Button );
   fileButtons->addWidget( SaveFilterSetModule_Button );
   auto* names = new QGridLayout;
   names->addWidget( CurrentName_Label, 0, 0 );
   names->addWidget( CurrentName_Edit, 0, 1 );
   names->addWidget( NewName_Label, 1, 0 );
   names->addWidget( NewName_Edit, 1, 1 );
   auto* actions = new QHBoxLayout;
   actions->addWidget( Add_RadioButton );
   actions->addWidget( Replace_RadioButton );
   actions->addWidget( Remove_RadioButton );
   actions->addStretch();
   actions->addWidget( MakeChangesPermanent_CheckBox );
   auto* okCancel = new QHBoxLayout;
   okCancel->addStretch();
   okCancel->addWidget( OK_Button );
   okCancel->addWidget( Cancel_Button );
   auto* layout = new QVBoxLayout( this );
   layout->addWidget( FilterSetModuleCaption_Panel );
   layout->addLayout( moduleRow );
   layout->addLayout( fileButtons );
   layout->addWidget( CurrentFilterCaption_Panel );
   layout->addLayout( names );
   layout->addLayout( actions );
   layout->addLayout( okCancel );

   for ( QRadioButton* b : { Add_RadioButton, Replace_RadioButton, Remove_RadioButton } )
      connect( b, &QRadioButton::clicked, this, [this] { RadioButtonClick(); } );
   connect( NewName_Edit, &QLineEdit::editingFinished, this, [this] { NewName_EditExit(); } );
   connect( OK_Button, &QPushButton::clicked, this, [this] { done( QDialog::Accepted ); } );
   connect( Cancel_Button, &QPushButton::clicked, this, [this] { done( QDialog::Rejected ); } );
   connect( LoadFilterSetModule_Button, &QPushButton::clicked, this, [this] { LoadFilterSetModule_ButtonClick(); } );
   connect( SaveFilterSetModule_Button, &QPushButton::clicked, this, [this] { SaveFilterSetModule_ButtonClick(); } );
}

void TFilterManagerDialog::showEvent( QShowEvent* event )
{
   QWidget* parentForm = frame != nullptr ? FindParentForm( frame ) : nullptr;
   const QString parentCaption = parentForm != nullptr ? parentForm->windowTitle().trimmed() : QString();
   setWindowTitle( parentCaption.isEmpty() ? QString( "Manage Filters" ) : "Manage Filters: " + parentCaption );
   ShowModulePath();
   CurrentName_Edit->setText( QString::fromLatin1( currentName.c_str() ) );
   NewName_Edit->setText( QString::fromLatin1( currentName.c_str() ) );
   locked = false;
   UpdateControls();
   QDialog::showEvent( event );
}

void TFilterManagerDialog::ShowModulePath()
{
   const QString path = frame != nullptr ? QString::fromStdString( frame->module.FilePath() ) : QString();
   const int room = std::max( 0, CurrentModule_Panel->contentsRect().width() - 32 );
   CurrentModule_Panel->setText( " " + CurrentModule_Panel->fontMetrics().elidedText( path, Qt::ElideMiddle, room ) );
   CurrentModule_Panel->setToolTip( path );
}

void TFilterManagerDialog::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   QString caption = "  Current Filter";
   if ( protectedFilter )
      caption += currentName.empty() ? " - new filter" : " - read-only filter, cannot change source";
   CurrentFilterCaption_Panel->setText( caption );
   if ( locked || protectedFilter || currentName.empty() )
   {
      Add_RadioButton->setChecked( true );
      Replace_RadioButton->setEnabled( false );
      Remove_RadioButton->setEnabled( false );
   }
   else
   {
      Replace_RadioButton->setEnabled( !locked );
      Remove_RadioButton->setEnabled( !locked );
   }
   const bool naming = Add_RadioButton->isChecked() || Replace_RadioButton->isChecked();
   NewName_Label->setEnabled( naming && !locked );
   NewName_Edit->setEnabled( naming && !locked );
   if ( naming && NewName_Edit->text().isEmpty() )
      NewName_Edit->setText( QString::fromLatin1( currentName.c_str() ) );
}

void TFilterManagerDialog::RadioButtonClick()
{
   if ( !Updating() )
      UpdateControls();
}

void TFilterManagerDialog::NewName_EditExit()
{
   NewName_Edit->setText( Trimmed( NewName_Edit->text() ) );
   UpdateControls();
}

void TFilterManagerDialog::done( int result )
{
   const bool wasVisible = isVisible();
   QDialog::done( result );
   if ( wasVisible && result == QDialog::Accepted && !locked )
      Apply();
}

void TFilterManagerDialog::Apply()
{
   if ( frame == nullptr )
      return;
   std::string name = Trimmed( NewName_Edit->text() ).toLatin1().toStdString();
   if ( Add_RadioButton->isChecked() )
   {
      if ( name.empty() )
      {
         if ( currentName.empty() )
            name = "New Filter";
         else if ( frame->module.Find( currentName ) != nullptr )
            name = "Copy of " + currentName;
      }
      const std::string base = name;
      for ( int n = 1; frame->module.Find( name ) != nullptr; ++n )
         name = base + " (" + std::to_string( n ) + ")";
      frame->AddFilter( name );
   }
   else if ( Replace_RadioButton->isChecked() )
      frame->ReplaceFilter( name.empty() ? currentName : name );
   else if ( Remove_RadioButton->isChecked() )
      frame->RemoveFilter();

   if ( MakeChangesPermanent_CheckBox->isChecked() )
      // A failed write is reported like every other library file error; the change stays in the library.
      frame->SaveFilterSetModule( std::string() );
}

std::string TFilterManagerDialog::PickFile( bool save )
{
   const QFileInfo current( QString::fromStdString( frame->module.FilePath() ) );
   const QString start = frame->module.FilePath().empty() ? QString()
                                                          : current.dir().filePath( current.completeBaseName() );
   QString chosen = save ? platform::FileDialogs::getSaveFileName( this, "Save Filter Set Module", start, FileFilter )
                         : platform::FileDialogs::getOpenFileName( this, "Open Filter Set Module", start, FileFilter );
   if ( chosen.isEmpty() )
      return std::string();
   if ( QFileInfo( chosen ).suffix().isEmpty() )
      chosen += ".lf-fsm";
   return chosen.toStdString();
}

void TFilterManagerDialog::LoadFilterSetModule_ButtonClick()
{
   if ( frame == nullptr )
      return;
   const std::string path = PickFile( false );
   if ( path.empty() )
      return;
   frame->LoadFilterSetModule( path );
   ShowModulePath();
   Lock();
}

void TFilterManagerDialog::SaveFilterSetModule_ButtonClick()
{
   if ( frame == nullptr )
      return;
   const std::string path = PickFile( true );
   if ( path.empty() )
      return;
   frame->SaveFilterSetModule( path );
   ShowModulePath();
   Lock();
}

void TFilterManagerDialog::Lock()
{
   locked = true;
   for ( QWidget* w : std::initializer_list<QWidget*>{ CurrentName_Label, CurrentName_Edit, NewName_Label, NewName_Edit,
                                                       Add_RadioButton, Replace_RadioButton, Remove_RadioButton,
                                                       MakeChangesPermanent_CheckBox, OK_Button } )
      w->setEnabled( false );
   Cancel_Button->setText( "Done" );
}
