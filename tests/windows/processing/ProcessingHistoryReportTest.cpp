// The processing history window and the processing report: a view's history after three runs as rows, its
// report (header, listing, colours) saved as rich text and plain text, the colouring rules, and the RTF writer's
// escaping. The saved rich text is read by another program's RTF reader (unrtf), which must find the same text.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTreeWidget>

#include "windows/image/ImageWindowTestSupport.h"
#include "process/Preferences.h"
#include "process/ProcessContainer.h"
#include "support/RichTextWriter.h"
#include "windows/frames/ProcessContainerViewFrame.h"
#include "windows/frames/ProcessingReportFrame.h"
#include "windows/processing/ProcessingHistoryWindow.h"
#include "windows/processing/ProcessingTestKit.h"

namespace
{

using Span = TProcessingReportFrame::Span;

class ProcessingHistoryReportTest : public test::ImageWindowProcessTest
{
protected:
   // An image run through Scale three times.
   TImageWindow* ProcessedImage()
   {
      TImageWindow* w = Make( RandomImage( 8, 8, 1, 0 ), "M42" );
      for ( float f : { 0.5f, 1.5f, 0.25f } )
      {
         test::Scale scale( f );
         EXPECT_TRUE( scale.LaunchOn( *w->mainView ) );
      }
      return w;
   }

   static QByteArray Read( const QString& path )
   {
      QFile f( path );
      return f.open( QIODevice::ReadOnly ) ? f.readAll() : QByteArray();
   }

   QTemporaryDir dir;
};

} // namespace

TEST_F( ProcessingHistoryReportTest, TheHistoryWindowFollowsTheChosenView )
{
   TImageWindow* w = ProcessedImage();
   TImageWindow* other = Make( RandomImage( 4, 4, 1, 0 ), "Other" );
   TProcessingHistoryWindow window;
   EXPECT_FALSE( window.Report_Button->isEnabled() );
   EXPECT_EQ( window.NewInstance(), nullptr );

   window.SelectView( w->mainView );
   EXPECT_TRUE( window.Report_Button->isEnabled() );
   ASSERT_EQ( window.ProcessContainerView->RowCount(), 3 );
   QTreeWidgetItem* row = window.ProcessContainerView->Processing_ListView->topLevelItem( 1 );
   EXPECT_EQ( row->text( 1 ), "Scale" );
   EXPECT_EQ( row->text( 5 ), "factor=1.500" );
   EXPECT_NE( row->text( 2 ), "n/a" );

   // A run on the chosen view adds its row at once; one on another view changes nothing.
   test::Scale scale( 2.0f );
   ASSERT_TRUE( scale.LaunchOn( *w->mainView ) );
   EXPECT_EQ( window.ProcessContainerView->RowCount(), 4 );
   ASSERT_TRUE( scale.LaunchOn( *other->mainView ) );
   EXPECT_EQ( window.ProcessContainerView->RowCount(), 4 );
   // The handle offers the whole history.
   std::unique_ptr<Process> history = window.NewInstance();
   EXPECT_EQ( static_cast<ProcessContainer&>( *history ).instances.Length(), 4u );

   // Closing the image empties the list and disables Report.
   delete w->Frame();
   EXPECT_EQ( window.ProcessContainerView->RowCount(), 0 );
   EXPECT_FALSE( window.Report_Button->isEnabled() );
}

TEST_F( ProcessingHistoryReportTest, TheReportListsTheHistoryAndSavesAsRichAndPlainText )
{
   TImageWindow* w = ProcessedImage();
   TProcessingReportFrame frame;
   frame.view = w->mainView;
   frame.Generate();
   const QString text = frame.Edit->toPlainText();
   const QStringList lines = text.split( '\n' );
   ASSERT_GE( lines.size(), 5 );
   EXPECT_TRUE( lines[0].startsWith( "// " ) );
   EXPECT_EQ( lines[1], "// Processing Report: M42" );
   EXPECT_EQ( lines[2], QString::fromStdString( "// M42 = " + CurrentPreferences.identifiers.newImageCaption ) );
   EXPECT_TRUE( lines[3].startsWith( "// Generated on " ) );
   EXPECT_EQ( text.count( "factor=" ), 3 );
   EXPECT_TRUE( text.contains( "factor=0.250" ) );

   // Identifiers before a brace are bold, comments dark green.
   QTextCursor cursor( frame.Edit->document() );
   const int scale = int( text.indexOf( "Scale" ) );
   cursor.setPosition( scale + 1 );
   EXPECT_EQ( cursor.charFormat().fontWeight(), QFont::Bold );
   cursor.setPosition( 1 );
   EXPECT_EQ( cursor.charFormat().foreground().color(), QColor( 0, 128, 0 ) );

   const QString rtf = dir.filePath( "report.RTF" );
   frame.SaveTo( rtf );
   const QByteArray rich = Read( rtf );
   EXPECT_TRUE( rich.startsWith( "{\\rtf1" ) );
   EXPECT_TRUE( rich.contains( "\\red0\\green128\\blue0;" ) );
   EXPECT_TRUE( rich.contains( "\\b Scale" ) );
   const QString txt = dir.filePath( "report.text" );
   frame.SaveTo( txt );
   EXPECT_EQ( QString::fromUtf8( Read( txt ) ), QString( text ).replace( "\n", "\r\n" ) + "\r\n" );

   // Without Beautify the report is plain, and holds the listing once.
   frame.Beautify_CheckBox->click();
   EXPECT_EQ( frame.Edit->toPlainText().count( "factor=" ), 3 );
   cursor = QTextCursor( frame.Edit->document() );
   cursor.setPosition( scale + 1 );
   EXPECT_NE( cursor.charFormat().fontWeight(), QFont::Bold );

   // Another program's RTF reader finds the report's lines in the file. It prints runs of blanks as one and adds
   // empty lines of its own, so the lines that hold text are compared with their blanks simplified.
   const QString reader = QStandardPaths::findExecutable( "unrtf" );
   ASSERT_FALSE( reader.isEmpty() ) << "unrtf is missing: tools/install-deps installs it";
   QProcess convert;
   convert.start( reader, { "--text", rtf } );
   ASSERT_TRUE( convert.waitForFinished( 60000 ) );
   ASSERT_EQ( convert.exitCode(), 0 ) << convert.readAllStandardError().toStdString();
   QStringList back = QString::fromUtf8( convert.readAllStandardOutput() ).split( '\n' );
   // The reader's own header ends with a rule of dashes.
   const qsizetype rule = back.indexOf( QRegularExpression( "^-+$" ) );
   ASSERT_GE( rule, 0 ) << back.join( '\n' ).toStdString();
   back.erase( back.begin(), back.begin() + rule + 1 );
   while ( !back.isEmpty() && back.back().trimmed().isEmpty() )
      back.removeLast();
   QStringList expected = text.trimmed().split( '\n' );
   for ( QStringList* list : { &back, &expected } )
   {
      for ( QString& line : *list )
         line = line.simplified();
      list->removeAll( QString() );
   }
   EXPECT_EQ( back, expected );
}

TEST_F( ProcessingHistoryReportTest, ColouringFollowsTheTokenRules )
{
   struct Case
   {
      const char* text;
      std::vector<Span> spans;
   };
   const std::vector<Case> cases = {
      { "true,", { { 0, 4, Span::Navy } } },
      { "x = true", {} },
      { "Curves(", { { 0, 6, Span::Bold } } },
      { "two words", {} },
      { "0x1F,", { { 0, 4, Span::Navy } } },
      { "1e-5;", { { 0, 4, Span::Navy } } },
      { "1-2;", { { 0, 1, Span::Navy }, { 2, 1, Span::Navy } } },
      { "// note\nx", { { 0, 7, Span::DarkGreen } } },
      { "\"a b\" 'c' ", { { 0, 5, Span::Navy }, { 6, 3, Span::Navy } } },
   };
   for ( const Case& c : cases )
   {
      const std::vector<Span> spans = TProcessingReportFrame::SyntaxSpans( c.text );
      ASSERT_EQ( spans.size(), c.spans.size() ) << c.text;
      for ( size_t i = 0; i < spans.size(); ++i )
      {
         EXPECT_EQ( spans[i].start, c.spans[i].start ) << c.text;
         EXPECT_EQ( spans[i].length, c.spans[i].length ) << c.text;
         EXPECT_EQ( spans[i].kind, c.spans[i].kind ) << c.text;
      }
   }
}

TEST_F( ProcessingHistoryReportTest, RichTextEscapesControlCharactersAndNonAsciiText )
{
   EXPECT_EQ( EscapeRichText( "a{b}\\c" ), QByteArray( "a\\{b\\}\\\\c" ) );
   EXPECT_EQ( EscapeRichText( QString::fromUtf8( "M\u00E9 \u03B1" ) ), QByteArray( "M\\u233? \\u945?" ) );
   EXPECT_EQ( EscapeRichText( QString( QChar( 0x1B ) ) ), QByteArray( "\\u27?" ) );
   EXPECT_EQ( EscapeRichText( QString::fromUtf8( "\uFFFD" ) ), QByteArray( "\\u-3?" ) );

   QTextDocument document;
   document.setPlainText( "{\\rtf1 evil}\nline2" );
   const QByteArray rtf = DocumentToRichText( document, "Courier New", 10 );
   EXPECT_TRUE( rtf.contains( "\\{\\\\rtf1 evil\\}" ) );
   EXPECT_TRUE( rtf.contains( "\\fs20" ) );
   // Braces balance: the document stays one group.
   int depth = 0;
   for ( int i = 0; i < rtf.size(); ++i )
   {
      if ( rtf[i] == '\\' )
         ++i;
      else if ( rtf[i] == '{' )
         ++depth;
      else if ( rtf[i] == '}' )
         --depth;
      EXPECT_GE( depth, 0 );
   }
   EXPECT_EQ( depth, 0 );
}
