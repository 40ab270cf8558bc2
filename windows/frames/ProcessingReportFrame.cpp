#include "windows/frames/ProcessingReportFrame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QVBoxLayout>

#include <cctype>

#include "classlib/DateTime.h"
#include "classlib/StatusCallback.h"
#include "platform/FileDialogs.h"
#include "process/Preferences.h"
#include "process/ProcessContainer.h"
#include "support/FailureReport.h"
#include "support/RichTextWriter.h"
#include "support/Utils.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace
{

const char* const SaveFilter = "Rich Text Format (*.rtf);;Plain Text (*.txt)";

// The scan stops by throwing this when the user aborts.
struct ColoringAborted
{
};

bool IsLetter( char c )
{
   return std::isalpha( static_cast<unsigned char>( c ) ) != 0;
}

bool IsDigit( char c )
{
   return c >= '0' && c <= '9';
}

} // namespace

TProcessingReportFrame::TProcessingReportFrame( QWidget* owner )
   : QFrame( owner ), fontName( ReportFontName ), fontSize( DefaultReportFontSize )
{
   setObjectName( "ProcessingReport" );
   Edit = MakeReportEdit( this );
   Info_Panel = new QLabel( this );
   Info_Panel->setObjectName( "Info_Panel" );
   Info_Panel->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   FontSize_Label = new QLabel( "Font Size:", this );
   FontSize_Label->setObjectName( "FontSize_Label" );
   FontSize_ComboBox = new QComboBox( this );
   FontSize_ComboBox->setObjectName( "FontSize_ComboBox" );
   Beautify_CheckBox = new QCheckBox( "Beautify", this );
   Beautify_CheckBox->setObjectName( "Beautify_CheckBox" );
   Beautify_CheckBox->setChecked( true );
   Save_Button = new QPushButton( "Save...", this );
   Save_Button->setObjectName( "Save_Button" );

   auto* bar = new QHBoxLayout;
   bar->addWidget( Info_Panel, 1 );
   bar->addWidget( FontSize_Label );
   bar->addWidget( FontSize_ComboBox );
   bar->addWidget( Beautify_CheckBox );
   bar->addWidget( Save_Button );
   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 0, 0, 0, 0 );
   layout->addWidget( Edit, 1 );
   layout->addLayout( bar );

   {
      TMainWindow::ControlUpdateGuard guard;
      for ( int32_t size = MinReportFontSize; size <= MaxReportFontSize; ++size )
         FontSize_ComboBox->addItem( " " + QString::number( size ) );
   }
   SelectFontSizeEntry();

   connect( Edit, &QTextEdit::cursorPositionChanged, this, [this] { UpdateInfo(); } );
   connect( FontSize_ComboBox, &QComboBox::activated, this, [this]( int index ) { FontSize_ComboBoxSelect( index ); } );
   connect( Beautify_CheckBox, &QCheckBox::clicked, this, [this] { Beautify_CheckBoxClick(); } );
   connect( Save_Button, &QPushButton::clicked, this, [this] { Save_ButtonClick(); } );
}

void TProcessingReportFrame::SelectFontSizeEntry()
{
   TMainWindow::ControlUpdateGuard guard;
   for ( int i = 0; i < FontSize_ComboBox->count(); ++i )
      if ( FontSize_ComboBox->itemText( i ).trimmed().toInt() == fontSize )
      {
         FontSize_ComboBox->setCurrentIndex( i );
         break;
      }
}

void TProcessingReportFrame::UpdateInfo()
{
   const QTextCursor cursor = Edit->textCursor();
   Info_Panel->setText( QString( " Line:%1/%2" )
                           .arg( cursor.blockNumber() + 1 )
                           .arg( Edit->document()->blockCount() + 1 ) );
}

void TProcessingReportFrame::Generate()
{
   const QSignalBlocker blocker( Edit );
   Edit->setUpdatesEnabled( false );
   ClearReport( Edit, fontName, fontSize );

   std::vector<std::string> lines;
   lines.push_back( "// " + ApplicationTitle().toStdString() );
   if ( view != nullptr )
   {
      lines.push_back( "// Processing Report: " + view->FullIdentifier() );
      const TImageWindow* window = view->Window();
      const std::string file = window->filePath.empty() ? CurrentPreferences.identifiers.newImageCaption
                                                        : ConvertBackslashesToSlashes( window->filePath );
      lines.push_back( "// " + window->mainView->Identifier() + " = " + file );
   }
   else if ( container != nullptr )
      lines.push_back( "// Processing Report: " + container->Id() );
   lines.push_back( "// Generated on " + ProcessContainer::FormatDateTime( qor::DateTime::Now() ) );
   lines.push_back( std::string() );
   if ( view != nullptr )
      view->ListHistory( lines );
   else if ( container != nullptr )
      container->ListInstances( lines, 0 );

   std::string text;
   for ( size_t i = 0; i < lines.size(); ++i )
   {
      if ( i > 0 )
         text += '\n';
      text += lines[i];
   }
   Edit->setPlainText( QString::fromStdString( text ) );

   if ( Beautify_CheckBox->isChecked() )
      Colorize();

   QTextCursor start( Edit->document() );
   Edit->setTextCursor( start );
   Edit->setUpdatesEnabled( true );
   Edit->update();
   UpdateInfo();
}

void TProcessingReportFrame::Colorize()
{
   const std::string text = Edit->toPlainText().toStdString();
   TProcessingStatusDialog& status = StatusDialog();
   bool aborted = false;
   if ( MainWindow != nullptr )
      MainWindow->BeginProcessing();
   status.BeginTasks( [&] {
      status.AddTask( "Processing Report: Beautify", 0, 0 );
      status.NextTask();
      qor::StatusCallback monitor;
      monitor.SetCallback( &TProcessingStatusDialog::ProgressCallback, &status );
      monitor.Initialize( "Syntax highlighting", int64_t( text.size() ) );
      try
      {
         ApplySpans( SyntaxSpans( text, [&monitor]( int64_t ) {
            monitor.Advance( 1 );
            return monitor.IsAborted();
         } ) );
      }
      catch ( const ColoringAborted& )
      {
         aborted = true;
      }
      catch ( const qor::Exception& )
      {
         aborted = true;
      }
   } );
   status.EndTasks();
   if ( MainWindow != nullptr )
      MainWindow->EndProcessing();
   if ( aborted )
   {
      // The report is made again from the start, without colours: the listing appears once.
      Beautify_CheckBox->setChecked( false );
      Generate();
   }
}

void TProcessingReportFrame::ApplySpans( const std::vector<Span>& spans )
{
   QTextCursor cursor( Edit->document() );
   for ( const Span& s : spans )
   {
      cursor.setPosition( int( s.start ) );
      cursor.setPosition( int( s.start + s.length ), QTextCursor::KeepAnchor );
      QTextCharFormat format;
      if ( s.kind == Span::Bold )
         format.setFontWeight( QFont::Bold );
      else
         format.setForeground( s.kind == Span::Navy ? QColor( 0, 0, 128 ) : QColor( 0, 128, 0 ) );
      cursor.mergeCharFormat( format );
   }
}

std::vector<TProcessingReportFrame::Span> TProcessingReportFrame::SyntaxSpans(
   const std::string& text, const std::function<bool( int64_t )>& progress )
{
   std::vector<Span> spans;
   const int64_t n = int64_t( text.size() );
   auto at = [&]( int64_t i ) { return text[size_t( i )]; };
   int64_t i = 0;
   int64_t reported = 0;
   while ( i < n )
   {
      if ( progress )
         for ( ; reported < i; ++reported )
            if ( progress( reported ) )
               throw ColoringAborted();
      const char c = at( i );
      if ( c == '"' || c == '\'' )
      {
         int64_t j = i + 1;
         while ( j < n && at( j ) != c )
            ++j;
         if ( j >= n )
            break; // open at the end: default format
         spans.push_back( { i, j + 1 - i, Span::Navy } );
         i = j + 1;
      }
      else if ( c == '+' || c == '-' || c == '.' || IsDigit( c ) )
      {
         bool hex = false, exponent = false, sign = false;
         int64_t j = i + 1;
         for ( ; j < n; ++j )
         {
            const char d = char( std::toupper( static_cast<unsigned char>( at( j ) ) ) );
            if ( IsDigit( d ) )
               continue;
            if ( d == 'A' || d == 'B' || d == 'C' || d == 'F' )
            {
               if ( hex )
                  continue;
               break;
            }
            if ( d == 'D' || d == 'E' )
            {
               if ( hex )
                  continue;
               if ( exponent )
                  break;
               exponent = true;
               continue;
            }
            if ( ( d == '+' || d == '-' ) && exponent && !sign )
            {
               sign = true;
               continue;
            }
            if ( d == '.' && !hex && !exponent )
               continue;
            if ( d == 'X' && j == i + 1 )
            {
               hex = true;
               continue;
            }
            break;
         }
         if ( j >= n )
            break;
         spans.push_back( { i, j - i, Span::Navy } );
         i = j + 1; // the ending character starts nothing
      }
      else if ( c == '/' )
      {
         if ( i + 1 < n && at( i + 1 ) == '/' )
         {
            int64_t j = i + 2;
            while ( j < n && at( j ) != '\r' && at( j ) != '\n' )
               ++j;
            if ( j >= n )
               break;
            spans.push_back( { i, j - i, Span::DarkGreen } );
            i = j;
         }
         else
            i += 2;
      }
      else if ( IsLetter( c ) || c == '_' )
      {
         int64_t j = i + 1;
         while ( j < n && ( IsLetter( at( j ) ) || IsDigit( at( j ) ) || at( j ) == '_' ) )
            ++j;
         if ( j >= n )
            break;
         const char end = at( j );
         if ( end == '\r' || end == '\n' || end == '(' || end == ',' || end == ':' || end == ';' || end == '{' )
         {
            const std::string word = text.substr( size_t( i ), size_t( j - i ) );
            spans.push_back( { i, j - i, word == "true" || word == "false" ? Span::Navy : Span::Bold } );
         }
         i = j + 1;
      }
      else
         ++i;
   }
   if ( progress )
      for ( ; reported < n; ++reported )
         if ( progress( reported ) )
            throw ColoringAborted();
   return spans;
}

void TProcessingReportFrame::FontSize_ComboBoxSelect( int index )
{
   if ( MainWindow != nullptr && MainWindow->UpdatingControls() )
      return;
   fontSize = MinReportFontSize + index;
   const QSignalBlocker blocker( Edit );
   QTextCursor all( Edit->document() );
   all.select( QTextCursor::Document );
   QTextCharFormat size;
   size.setFontPointSize( fontSize );
   all.mergeCharFormat( size );
   QFont font = Edit->document()->defaultFont();
   font.setPointSize( fontSize );
   Edit->document()->setDefaultFont( font );
   UpdateInfo();
}

void TProcessingReportFrame::Beautify_CheckBoxClick()
{
   Generate();
}

void TProcessingReportFrame::SaveTo( const QString& path )
{
   SaveReportDocument( *Edit->document(), fontName, fontSize, path );
}

void TProcessingReportFrame::Save_ButtonClick()
{
   QString directory;
   QString proposed;
   if ( view != nullptr && !view->Window()->filePath.empty() )
   {
      const QFileInfo file( QString::fromStdString( view->Window()->filePath ) );
      directory = file.absolutePath();
      proposed = file.completeBaseName();
      if ( view->IsPreview() )
         proposed += "_" + QString::fromStdString( view->Identifier() );
      proposed += "_processing";
   }
   const QString name = AskReportFileName( "Save Processing Report", directory, proposed );
   if ( name.isEmpty() )
      return;
   try
   {
      SaveTo( name );
   }
   catch ( ... )
   {
      ReportCaughtFailure( "windows/frames/ProcessingReportFrame", __LINE__ );
   }
}

QTextEdit* MakeReportEdit( QWidget* parent )
{
   auto* edit = new QTextEdit( parent );
   edit->setObjectName( "Edit" );
   edit->setReadOnly( true );
   edit->setLineWrapMode( QTextEdit::NoWrap );
   edit->setHorizontalScrollBarPolicy( Qt::ScrollBarAlwaysOn );
   edit->setVerticalScrollBarPolicy( Qt::ScrollBarAlwaysOn );
   QPalette p = edit->palette();
   p.setColor( QPalette::Base, parent->palette().color( QPalette::ToolTipBase ) );
   edit->setPalette( p );
   return edit;
}

void ClearReport( QTextEdit* edit, const QString& fontName, int32_t pointSize )
{
   edit->clear();
   QFont font( fontName );
   font.setStyleHint( QFont::Monospace );
   font.setPointSize( pointSize );
   edit->document()->setDefaultFont( font );
}

QString AskReportFileName( const QString& title, const QString& directory, const QString& proposedName )
{
   QString selected;
   const QString start = proposedName.isEmpty() ? directory : QDir( directory ).filePath( proposedName );
   QString name = platform::FileDialogs::getSaveFileName( nullptr, title, start, SaveFilter, &selected );
   if ( name.isEmpty() )
      return name;
   if ( QFileInfo( name ).suffix().isEmpty() )
      name += selected.startsWith( "Plain Text" ) ? ".txt" : ".rtf";
   return name;
}
