#include "windows/processing/FITSHeaderWindow.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QToolButton>

#include <algorithm>
#include <stdexcept>

#include "classlib/Exception.h"
#include "formats/FITS.h"
#include "platform/FileDialogs.h"
#include "platform/Prompter.h"
#include "process/Preferences.h"
#include "support/FailureReport.h"
#include "support/ToolkitError.h"
#include "support/Utils.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"

namespace
{

constexpr const char* SourceName = "windows/processing/FITSHeaderWindow_";
constexpr const char* ModuleExtension = ".lf-hkm";
constexpr double LargestValue = 3.4028234663852886e38;

std::string TrimmedText( const QLineEdit* edit )
{
   const std::string text = edit->text().toStdString();
   const size_t first = text.find_first_not_of( ' ' );
   if ( first == std::string::npos )
      return std::string();
   return text.substr( first, text.find_last_not_of( ' ' ) - first + 1 );
}

QLineEdit* MakeEdit( QWidget* parent, const char* name, int maximumLength )
{
   auto* edit = new QLineEdit( parent );
   edit->setObjectName( name );
   edit->setMaxLength( maximumLength );
   return edit;
}

QPushButton* MakeButton( QWidget* parent, const char* name, const char* caption )
{
   auto* button = new QPushButton( caption, parent );
   button->setObjectName( name );
   return button;
}

QString ModuleFilter()
{
   return QString( "FITS Header Keywords Modules (*" ) + ModuleExtension + ")";
}

QString TextFilter()
{
   return "Plain Text Files (*.txt)";
}

} // namespace

TFITSHeaderWindow::TFITSHeaderWindow( QWidget* owner ) : TViewDataWindow( owner )
{
   setObjectName( "FITSHeaderWindow" );
   setWindowTitle( "FITS Header" );
   auto* layout = new QGridLayout( this );

   ViewPath_Label = new QLabel( this );
   ViewPath_Label->setObjectName( "ViewPath_Label" );
   ViewPath_Label->setMinimumWidth( 200 );
   layout->addWidget( MakeSelectedViewPanel( ViewPath_Label ), 0, 0, 1, 4 );

   layout->addWidget( MakeCaptionPanel( this, "Keywords_Panel", "  Primary HDU Keywords" ), 1, 0, 1, 4 );
   Keywords_ListView = new QTableWidget( 0, 3, this );
   Keywords_ListView->setObjectName( "Keywords_ListView" );
   Keywords_ListView->setHorizontalHeaderLabels( { "Name", "Value", "Comments" } );
   Keywords_ListView->setEditTriggers( QAbstractItemView::NoEditTriggers );
   Keywords_ListView->setSelectionBehavior( QAbstractItemView::SelectRows );
   Keywords_ListView->setSelectionMode( QAbstractItemView::SingleSelection );
   Keywords_ListView->setShowGrid( true );
   Keywords_ListView->verticalHeader()->hide();
   Keywords_ListView->horizontalHeader()->setStretchLastSection( true );
   Keywords_ListView->setMinimumSize( 560, 240 );
   connect( Keywords_ListView, &QTableWidget::currentCellChanged, this,
            [this]( int row, int, int, int ) { Keywords_ListViewSelect( row ); } );
   layout->addWidget( Keywords_ListView, 2, 0, 1, 4 );
   layout->setRowStretch( 2, 1 );

   Name_Label = new QLabel( "Name:", this );
   Value_Label = new QLabel( "Value:", this );
   Comment_Label = new QLabel( "Comment:", this );
   Name_Edit = MakeEdit( this, "Name_Edit", 67 );
   Value_Edit = MakeEdit( this, "Value_Edit", 70 );
   Comment_Edit = MakeEdit( this, "Comment_Edit", 72 );
   SetEditExitHandler( Name_Edit, [this] { Name_EditExit(); } );
   SetEditExitHandler( Value_Edit, [this] { Value_EditExit(); } );
   SetEditExitHandler( Comment_Edit, [this] { Comment_EditExit(); } );
   layout->addWidget( Name_Label, 3, 0 );
   layout->addWidget( Name_Edit, 3, 1 );
   layout->addWidget( Value_Label, 4, 0 );
   layout->addWidget( Value_Edit, 4, 1 );
   layout->addWidget( Comment_Label, 5, 0 );
   layout->addWidget( Comment_Edit, 5, 1 );

   Replace_Button = MakeButton( this, "Replace_Button", "Replace" );
   Add_Button = MakeButton( this, "Add_Button", "Add" );
   Delete_Button = MakeButton( this, "Delete_Button", "Delete" );
   Reset_Button = MakeButton( this, "Reset_Button", "Reset" );
   Load_Button = MakeButton( this, "Load_Button", "Load..." );
   Save_Button = MakeButton( this, "Save_Button", "Save..." );
   connect( Replace_Button, &QPushButton::clicked, this, [this] { Replace_ButtonClick(); } );
   connect( Add_Button, &QPushButton::clicked, this, [this] { Add_ButtonClick(); } );
   connect( Delete_Button, &QPushButton::clicked, this, [this] { Delete_ButtonClick(); } );
   connect( Reset_Button, &QPushButton::clicked, this, [this] { Reset_ButtonClick(); } );
   connect( Load_Button, &QPushButton::clicked, this, [this] { Load_ButtonClick(); } );
   connect( Save_Button, &QPushButton::clicked, this, [this] { Save_ButtonClick(); } );
   layout->addWidget( Replace_Button, 3, 2 );
   layout->addWidget( Add_Button, 4, 2 );
   layout->addWidget( Delete_Button, 5, 2 );
   layout->addWidget( Reset_Button, 3, 3 );
   layout->addWidget( Load_Button, 4, 3 );
   layout->addWidget( Save_Button, 5, 3 );

   ButtonRow buttons = MakeButtonRow( this, { "Apply_SpeedButton", "SelectImages_SpeedButton" } );
   buttons.row->setObjectName( "Bottom_Panel" );
   Apply_SpeedButton = buttons.buttons[0];
   Apply_SpeedButton->setText( "Apply" );
   SelectImages_SpeedButton = buttons.buttons[1];
   layout->addWidget( buttons.row, 6, 3, Qt::AlignRight );
   NoHeader_Label = new QLabel( "No FITS header: this image was not read from a FITS file.", this );
   NoHeader_Label->setObjectName( "NoHeader_Label" );
   NoHeader_Label->hide();
   layout->addWidget( NoHeader_Label, 6, 0, 1, 3 );

   ViewsList->Rebuild();
   SelectView( nullptr );
}

void TFITSHeaderWindow::SelectView( TImageWindow::View* view )
{
   if ( view != nullptr )
   {
      keywords.clear();
      for ( const FITSHeaderKeyword* k : view->Window()->fitsOptions->keywords )
         keywords.push_back( *k );
   }
   else
      std::erase_if( keywords, []( const FITSHeaderKeyword& k ) { return IsReservedFITSKeyword( k.name ); } );
   SetCurrentView( view );
   currentRow = 0;
   RefreshList();
   RefreshPath();
   if ( isVisible() )
      Keywords_ListView->setFocus();
}

std::unique_ptr<Process> TFITSHeaderWindow::NewInstance()
{
   auto instance = std::make_unique<FITSKeywords>();
   for ( const FITSHeaderKeyword& k : keywords )
      if ( !IsReservedFITSKeyword( k.name ) )
         instance->Values().keywords.push_back( k );
   return instance;
}

void TFITSHeaderWindow::ImportInstance( const Process& instance )
{
   const auto* process = dynamic_cast<const FITSKeywords*>( &instance );
   if ( process == nullptr )
      return;
   keywords = process->Values().keywords;
   KeepImportedData();
   SelectView( nullptr );
}

void TFITSHeaderWindow::ViewDeleted( TImageWindow::View& view )
{
   ViewsList->RemoveView( &view );
   if ( &view == currentView )
      SelectView( nullptr );
}

// ---- Display -------------------------------------------------------------------------------------------------------

void TFITSHeaderWindow::RefreshList()
{
   currentRow = std::clamp<int32_t>( currentRow, 0, int32_t( keywords.size() ) );
   TMainWindow::ControlUpdateGuard guard;
   const QSignalBlocker blocker( Keywords_ListView );
   Keywords_ListView->setRowCount( int( keywords.size() ) + 1 );
   for ( int row = 0; row <= int( keywords.size() ); ++row )
   {
      const bool blank = row == int( keywords.size() );
      const bool reserved = !blank && IsReservedFITSKeyword( keywords[row].name );
      const std::string texts[3] = { blank ? "" : keywords[row].name, blank ? "" : keywords[row].value,
                                     blank ? "" : keywords[row].comment };
      for ( int column = 0; column < 3; ++column )
      {
         auto* item = new QTableWidgetItem( QString::fromStdString( texts[column] ) );
         if ( reserved )
            item->setForeground( palette().color( QPalette::Disabled, QPalette::Text ) );
         Keywords_ListView->setItem( row, column, item );
      }
   }
   Keywords_ListView->resizeColumnsToContents();
   Keywords_ListView->horizontalHeader()->setStretchLastSection( true );
   Keywords_ListView->setCurrentCell( currentRow, 0 );
   RefreshEdits();
}

void TFITSHeaderWindow::RefreshEdits()
{
   TMainWindow::ControlUpdateGuard guard;
   const bool blank = currentRow >= int32_t( keywords.size() );
   bool editable = true;
   if ( blank )
   {
      Name_Edit->clear();
      Value_Edit->clear();
      Comment_Edit->clear();
   }
   else
   {
      const FITSHeaderKeyword& k = keywords[size_t( currentRow )];
      Name_Edit->setText( QString::fromStdString( k.name ) );
      Value_Edit->setText( QString::fromStdString( k.value ) );
      Comment_Edit->setText( QString::fromStdString( k.comment ) );
      editable = !IsReservedFITSKeyword( k.name );
   }
   for ( QWidget* control : std::initializer_list<QWidget*>{ Name_Edit, Value_Edit, Comment_Edit, Name_Label,
                                                               Value_Label, Comment_Label, Add_Button } )
      control->setEnabled( editable );
   Replace_Button->setEnabled( !blank && editable );
   Delete_Button->setEnabled( !blank && editable );
}

void TFITSHeaderWindow::RefreshPath()
{
   QString path;
   if ( currentView != nullptr )
   {
      const std::string& file = currentView->Window()->filePath;
      path = QString::fromStdString( file.empty() ? CurrentPreferences.identifiers.newImageCaption : file );
      path = QFontMetrics( ViewPath_Label->font() ).elidedText( path, Qt::ElideMiddle, ViewPath_Label->width() );
   }
   ViewPath_Label->setText( path );
   // An empty list says why it is empty when the image has no header to show.
   const TImageWindow* window = currentView != nullptr ? currentView->Window() : nullptr;
   NoHeader_Label->setVisible( window != nullptr && window->fileFormat != FITSImageFileFormat &&
                               window->fitsOptions->keywords.IsEmpty() );
}

void TFITSHeaderWindow::Keywords_ListViewSelect( int row )
{
   if ( row < 0 || row == currentRow )
      return;
   currentRow = row;
   RefreshEdits();
}

// ---- Validation ----------------------------------------------------------------------------------------------------

std::string TFITSHeaderWindow::ValidateName()
{
   const std::string name = TrimmedText( Name_Edit );
   if ( name.empty() )
      throw std::runtime_error( "Keyword name cannot be empty." );
   if ( IsReservedFITSKeyword( name ) )
      throw std::runtime_error( name + " is a reserved keyword you cannot use." );
   const std::string problem = FITSKeywordProblem( FITSHeaderKeyword( name, "", "" ) );
   if ( !problem.empty() )
      throw std::runtime_error( problem );
   return name;
}

std::string TFITSHeaderWindow::ValidateValue()
{
   std::string value = TrimmedText( Value_Edit );
   if ( value.empty() )
      return value;
   const char first = value.front();
   if ( first == '\'' )
   {
      if ( value.size() == 1 || value.back() != '\'' )
         value += '\'';
   }
   else if ( first == '"' )
   {
      std::string inner = value.substr( 1 );
      if ( !inner.empty() && inner.back() == '"' )
         inner.pop_back();
      value = QuotedFITSString( inner );
   }
   else if ( first == '+' || first == '-' || first == '.' || ( first >= '0' && first <= '9' ) )
      ReadNumberFromEdit( Value_Edit, -LargestValue, LargestValue, true );
   else if ( value != "T" && value != "F" )
      value = QuotedFITSString( value );
   if ( !IsValidFITSKeywordValue( value ) )
   {
      // Said of the name typed when it is one, so that the reason names the keyword.
      std::string name = TrimmedText( Name_Edit );
      if ( !FITSKeywordProblem( FITSHeaderKeyword( name, "", "" ) ).empty() )
         name = "VALUE";
      throw std::runtime_error( FITSKeywordProblem( FITSHeaderKeyword( name, value, "" ) ) );
   }
   return value;
}

std::string TFITSHeaderWindow::ValidateComment()
{
   return TrimmedText( Comment_Edit );
}

FITSHeaderKeyword TFITSHeaderWindow::ValidateCard()
{
   FITSHeaderKeyword keyword;
   keyword.name = ValidateName();
   keyword.value = ValidateValue();
   keyword.comment = ValidateComment();
   const std::string problem = FITSKeywordProblem( keyword );
   if ( !problem.empty() )
      throw std::runtime_error( problem );
   return keyword;
}

template <class Work>
bool TFITSHeaderWindow::Validated( Work work )
{
   try
   {
      work();
      return true;
   }
   catch ( const qor::CatchedException& )
   {
   }
   catch ( const std::runtime_error& error )
   {
      platform::ShowMessage( platform::Icon::Warning, ApplicationTitle(), QString::fromStdString( error.what() ) );
   }
   inputError = true;
   return false;
}

void TFITSHeaderWindow::Name_EditExit()
{
   if ( !Name_Edit->isEnabled() )
      return;
   if ( !Validated( [this] { Name_Edit->setText( QString::fromStdString( ValidateName() ) ); } ) )
      RefreshEdits();
}

void TFITSHeaderWindow::Value_EditExit()
{
   if ( !Value_Edit->isEnabled() )
      return;
   if ( !Validated( [this] { Value_Edit->setText( QString::fromStdString( ValidateValue() ) ); } ) )
      RefreshEdits();
}

void TFITSHeaderWindow::Comment_EditExit()
{
   if ( Comment_Edit->isEnabled() )
      Comment_Edit->setText( QString::fromStdString( ValidateComment() ) );
}

// ---- Buttons -------------------------------------------------------------------------------------------------------

void TFITSHeaderWindow::Replace_ButtonClick()
{
   if ( currentRow >= int32_t( keywords.size() ) )
      return;
   FITSHeaderKeyword keyword;
   if ( !Validated( [&] { keyword = ValidateCard(); } ) )
   {
      RefreshEdits();
      return;
   }
   keywords[size_t( currentRow )] = keyword;
   RefreshList();
}

void TFITSHeaderWindow::Add_ButtonClick()
{
   FITSHeaderKeyword keyword;
   if ( !Validated( [&] { keyword = ValidateCard(); } ) )
   {
      RefreshList();
      return;
   }
   keywords.push_back( keyword );
   currentRow = int32_t( keywords.size() );
   RefreshList();
}

void TFITSHeaderWindow::Delete_ButtonClick()
{
   if ( currentRow >= int32_t( keywords.size() ) )
      return;
   keywords.erase( keywords.begin() + currentRow );
   RefreshList();
}

void TFITSHeaderWindow::Reset_ButtonClick()
{
   keywords.clear();
   SelectView( nullptr );
}

void TFITSHeaderWindow::Load_ButtonClick()
{
   const QString name = ModuleToLoad( "Load FITS Header Keywords", ModuleFilter(), ModuleExtension );
   if ( name.isEmpty() )
      return;
   Reset_ButtonClick();
   try
   {
      FITSKeywordsModule module( keywords );
      module.Read( name.toStdString() );
   }
   catch ( ... )
   {
      ReportCaughtFailure( SourceName, 655 );
   }
   currentRow = 0;
   RefreshList();
}

void TFITSHeaderWindow::Save_ButtonClick()
{
   QString filter = ModuleFilter();
   QString name = platform::FileDialogs::getSaveFileName( this, "Save FITS Header Keywords", lastSaveName,
                                                          ModuleFilter() + ";;" + TextFilter(), &filter );
   if ( name.isEmpty() )
      return;
   lastSaveName = name;
   const QString suffix = QFileInfo( name ).suffix();
   if ( suffix.isEmpty() )
      name += filter == TextFilter() ? ".txt" : ModuleExtension;
   try
   {
      const QString extension = "." + QFileInfo( name ).suffix();
      if ( extension.compare( ModuleExtension, Qt::CaseInsensitive ) == 0 )
      {
         FITSKeywordsModule module( keywords );
         module.Write( name.toStdString() );
      }
      else if ( extension.compare( ".txt", Qt::CaseInsensitive ) == 0 )
         ExportFITSKeywordsText( name.toStdString(), keywords );
      else
         // Any other name could be an image or another file of value: the listing never goes there.
         throw ToolkitError( "FITS header keywords are saved as a keywords module (" + std::string( ModuleExtension ) +
                             ") or listed in a text file (.txt): " + name.toStdString() + " is neither." );
   }
   catch ( ... )
   {
      ReportCaughtFailure( SourceName, 733 );
   }
}

TFITSHeaderWindow& FITSHeaderWindow()
{
   static QPointer<TFITSHeaderWindow> window;
   if ( window == nullptr )
      window = new TFITSHeaderWindow( MainWindow );
   return *window;
}
