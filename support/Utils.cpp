#include "support/Utils.h"

#include <QAbstractItemModel>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QScreen>
#include <QSlider>
#include <QTreeView>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <locale.h>
#include <system_error>
#include <utility>
#include <vector>

#include "classlib/Exception.h"
#include "classlib/Math.h"
#include "platform/Prompter.h"
#include "support/ApplicationNames.h"

namespace
{

// Numbers are written and read with the C conventions, whatever locale the application runs in (QApplication
// takes the user's, and "%lf" would then want a decimal comma).
class CNumericLocale
{
public:
   CNumericLocale()
   {
      static locale_t c = ::newlocale( LC_NUMERIC_MASK, "C", static_cast<locale_t>( nullptr ) );
      previous = ( c != static_cast<locale_t>( nullptr ) ) ? ::uselocale( c ) : static_cast<locale_t>( nullptr );
   }
   ~CNumericLocale()
   {
      if ( previous != static_cast<locale_t>( nullptr ) )
         ::uselocale( previous );
   }
   CNumericLocale( const CNumericLocale& ) = delete;
   CNumericLocale& operator=( const CNumericLocale& ) = delete;

private:
   locale_t previous;
};

// printf into a string of the length it needs.
std::string Format( const char* format, ... ) __attribute__( ( format( printf, 1, 2 ) ) );
std::string Format( const char* format, ... )
{
   CNumericLocale cLocale;
   va_list args;
   va_start( args, format );
   va_list again;
   va_copy( again, args );
   int length = std::vsnprintf( nullptr, 0, format, args );
   va_end( args );
   std::string text;
   if ( length > 0 )
   {
      text.resize( static_cast<size_t>( length ) );
      std::vsnprintf( text.data(), text.size() + 1, format, again );
   }
   va_end( again );
   return text;
}

// Leading and trailing blanks and control characters removed.
std::string Trimmed( const std::string& text )
{
   auto isTrimmed = []( char c ) { return static_cast<unsigned char>( c ) <= ' '; };
   size_t begin = 0;
   size_t end = text.size();
   while ( begin < end && isTrimmed( text[begin] ) )
      ++begin;
   while ( end > begin && isTrimmed( text[end - 1] ) )
      --end;
   return text.substr( begin, end - begin );
}

bool IsWhiteSpace( char c )
{
   return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit( char c )
{
   return c >= '0' && c <= '9';
}

bool IsExponentSeparator( char c )
{
   return c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'F' || c == 'f';
}

constexpr double RangeTolerance = 1e-7;

// The tail shared by both edit readers: the error has been caught; tell the user, refocus, abandon the action.
void ReportInputError( QLineEdit* edit, const std::string* message, int line )
{
   if ( message != nullptr )
      platform::ShowMessage( platform::Icon::Warning, ApplicationTitle(), QString::fromStdString( *message ) );
   else
      ReportUnexpectedException( "support/Utils.cpp", line );
   if ( edit != nullptr && !edit->hasFocus() )
      edit->setFocus( Qt::OtherFocusReason );
   throw qor::CatchedException();
}

template <typename Read>
auto ReadFromEdit( QLineEdit* edit, Read read ) -> decltype( read() )
{
   try
   {
      return read();
   }
   catch ( const ToolkitError& x )
   {
      std::string message = x.what();
      ReportInputError( edit, &message, __LINE__ );
   }
   catch ( ... )
   {
      ReportInputError( edit, nullptr, __LINE__ );
   }
   throw qor::CatchedException(); // not reached: ReportInputError throws
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

long double ParseNumber( const std::string& rawText, double minimum, double maximum, bool real )
{
   std::string text = Trimmed( rawText );

   int digits = 0;                      // since the start or since the exponent separator
   int exponents = 0;
   int points = 0;
   size_t exponentAt = std::string::npos;
   for ( size_t i = 0; i < text.size(); ++i )
   {
      char c = text[i];
      if ( IsDigit( c ) )
         ++digits;
      else if ( c == '.' )
      {
         if ( !real )
            throw ConvertError( "Decimal point not allowed for integer value." );
         if ( exponents > 0 )
            throw ConvertError( "Misplaced decimal point." );
         if ( points > 0 )
            throw ConvertError( "Too many decimal points." );
         ++points;
      }
      else if ( c == '+' || c == '-' )
      {
         if ( i != 0 && ( exponentAt == std::string::npos || i != exponentAt + 1 ) )
            throw ConvertError( "Misplaced sign." );
      }
      else if ( IsExponentSeparator( c ) )
      {
         if ( !real )
            throw ConvertError( "Exponent not allowed for integer value." );
         if ( digits == 0 )
            throw ConvertError( "Misplaced exponent separator." );
         if ( exponents > 0 )
            throw ConvertError( "Too many exponent separators." );
         ++exponents;
         exponentAt = i;
         digits = 0;
      }
      else if ( IsWhiteSpace( c ) )
         throw ConvertError( "Misplaced whitespace." );
      else
         throw ConvertError( "Invalid character(s) in numeric literal." );
   }
   if ( digits == 0 )
      throw ConvertError( "Digit(s) expected." );

   if ( exponentAt != std::string::npos )
      text[exponentAt] = 'e';
   double value = 0;
   {
      CNumericLocale cLocale;
      if ( std::sscanf( text.c_str(), "%lf", &value ) != 1 )
         throw ConvertError( "Error parsing numeric literal." );
   }

   if ( value < minimum || value > maximum )
   {
      double excess = ( value < minimum ) ? minimum - value : value - maximum;
      if ( excess > RangeTolerance )
         throw RangeError( Format( "Numerical value out of range: %lg\nValid range is: ", value ) +
                           ( real ? Format( "%lg to %lg", minimum, maximum )
                                  : Format( "%.0lf to %.0lf", minimum, maximum ) ) );
      value = ( value < minimum ) ? minimum : maximum;
   }
   return value;
}

void ParseIdentifier( std::string& result, const std::string& rawText, bool allowMacros, bool allowEmpty,
                      const std::string& current, const IdentifierValidator& validator )
{
   std::string text = Trimmed( rawText );

   int identifierChars = 0;
   bool macroOpen = false;
   size_t macroStart = 0;
   int macrosClosed = 0;
   for ( size_t i = 0; i < text.size(); ++i )
   {
      char c = text[i];
      if ( ( c >= 'A' && c <= 'Z' ) || ( c >= 'a' && c <= 'z' ) || c == '_' )
         ++identifierChars;
      else if ( IsDigit( c ) )
      {
         if ( identifierChars == 0 )
            throw ConvertError( "Identifiers must begin with an alphabetic or underscore character." );
         ++identifierChars;
      }
      else if ( c == '&' )
      {
         if ( !allowMacros )
            throw ConvertError( "Macro expressions not allowed here." );
         if ( macroOpen )
            throw ConvertError( "Nested macro expressions not allowed." );
         macroOpen = true;
         macroStart = i + 1;
      }
      else if ( c == ';' )
      {
         if ( !macroOpen )
            throw ConvertError( "Misplaced macro expression terminating character." );
         if ( i == macroStart )
            throw ConvertError( "Macro expression is empty." );
         macroOpen = false;
         ++macrosClosed;
      }
      else if ( c == '.' )
         throw ConvertError( "Decimal point not allowed here." );
      else if ( c == ':' )
         throw ConvertError( "Scope resolution operator not allowed here." );
      else if ( IsWhiteSpace( c ) )
         throw ConvertError( "Whitespace not allowed in identifiers." );
      else
         throw ConvertError( "Invalid character(s) in identifier." );
   }
   if ( identifierChars == 0 && !allowEmpty )
      throw ConvertError( "Identifier cannot be empty in this context." );
   if ( macroOpen )
      throw ConvertError( "Unterminated macro expression." );

   if ( macrosClosed == 0 && text != current && validator )
   {
      std::string message;
      if ( !validator( text, message ) )
         throw ConvertError( message );
   }
   result = text;
}

long double ReadNumberFromEdit( QLineEdit* edit, double minimum, double maximum, bool real )
{
   return ReadFromEdit( edit, [&] { return ParseNumber( edit->text().toStdString(), minimum, maximum, real ); } );
}

void ReadIdentifierFromEdit( std::string& result, QLineEdit* edit, bool allowMacros, bool allowEmpty,
                             const std::string& current, const IdentifierValidator& validator )
{
   ReadFromEdit( edit, [&] {
      ParseIdentifier( result, edit->text().toStdString(), allowMacros, allowEmpty, current, validator );
   } );
}

// ---------------------------------------------------------------------------------------------------------------

std::string FormatReal( double value, int decimals, bool showSign )
{
   return ( showSign && value != 0 ) ? Format( "%+.*lf", decimals, value ) : Format( "%.*lf", decimals, value );
}

std::string FormatInteger( int value )
{
   return Format( "%d", value );
}

void WriteRealToEdit( QLineEdit* edit, double value, int decimals, bool showSign )
{
   edit->setText( QString::fromStdString( FormatReal( value, decimals, showSign ) ) );
}

void WriteRealToPanel( QLabel* panel, double value, int decimals, bool showSign )
{
   panel->setText( QString::fromStdString( FormatReal( value, decimals, showSign ) ) );
}

void SetPanelText( QLabel* panel, const QString& text )
{
   if ( panel != nullptr && panel->text() != text )
      panel->setText( text );
}

void SetPanelColor( QLabel* panel, const QColor& color )
{
   if ( panel == nullptr )
      return;
   panel->setAutoFillBackground( true );
   QPalette palette = panel->palette();
   if ( palette.color( QPalette::Window ) == color )
      return;
   palette.setColor( QPalette::Window, color );
   panel->setPalette( palette );
}

void ShowForm( QWidget* form )
{
   if ( form == nullptr )
      return;
   if ( form->isMinimized() )
      form->showNormal();
   else
      form->show();
   form->raise();
   form->activateWindow();
}

void WriteIntegerToEdit( QLineEdit* edit, int value )
{
   edit->setText( QString::fromStdString( FormatInteger( value ) ) );
}

void WriteIntegerToPanel( QLabel* panel, int value )
{
   panel->setText( QString::fromStdString( FormatInteger( value ) ) );
}

// ---------------------------------------------------------------------------------------------------------------

long double GetTrackBarValue( const QSlider* trackBar, double minimum, double maximum )
{
   // In 64 bits: a slider may span the whole int range, whose width overflows an int.
   int64_t span = int64_t( trackBar->maximum() ) - trackBar->minimum();
   if ( span == 0 )
      return minimum;
   int64_t offset = int64_t( trackBar->value() ) - trackBar->minimum();
   return minimum + static_cast<long double>( maximum - minimum ) * offset / span;
}

void SetTrackBarValue( QSlider* trackBar, double value, double minimum, double maximum )
{
   int lo = trackBar->minimum();
   int hi = trackBar->maximum();
   // An empty value range maps nowhere: dividing by it would send any other value to an end of the slider.
   if ( maximum == minimum )
   {
      trackBar->setValue( lo );
      return;
   }
   long double position =
      qor::Round( static_cast<long double>( value - minimum ) * ( int64_t( hi ) - lo ) / ( maximum - minimum ) + lo );
   // Clamped before the conversion: a huge or undefined position must not overflow the integer.
   int p = lo;
   if ( !std::isnan( position ) )
      p = ( position <= lo ) ? lo : ( position >= hi ) ? hi : static_cast<int>( position );
   trackBar->setValue( p );
}

// ---------------------------------------------------------------------------------------------------------------

void ReportUnexpectedException( const std::string& sourceFile, int line )
{
   int systemError = errno;
   std::string text = "Exception location:\n   File: " + sourceFile + "\n   Line: " + std::to_string( line );
   if ( systemError != 0 )
      text += "\n\nSystem error information:\n   " + std::generic_category().message( systemError );
   else
      text += "\n\nThere is no additional system error information.";
   platform::ShowMessage( platform::Icon::Warning, QStringLiteral( "Unexpected Exception" ),
                          QString::fromStdString( text ) );
}

std::string ProgramTitle()
{
   return "Corvanta Lumenforge " + GetProgramVersion();
}

std::string GetProgramVersion()
{
#ifdef LF_PRERELEASE
   return std::string( LF_VERSION ) + " beta";
#else
   return LF_VERSION;
#endif
}

std::string GetTempDirectory()
{
   QFileInfo info( QDir::tempPath() );
   if ( !info.isDir() )
      return std::string();
   // cleanPath drops a trailing separator, except the one of the root.
   return QDir::cleanPath( info.absoluteFilePath() ).toStdString();
}

void OpenInWebBrowser( const std::string& target, bool localFile )
{
   try
   {
      QString where = QString::fromStdString( target );
      QUrl url = localFile ? QUrl::fromLocalFile( where ) : QUrl::fromUserInput( where );
      // The URL goes to the desktop's opener as one argument: no command line is built, so nothing in the
      // target can add arguments to the browser.
      if ( !url.isValid() || !QDesktopServices::openUrl( url ) )
         throw ToolkitError( "Unable to launch the default web browser application." );
   }
   catch ( const ToolkitError& x )
   {
      platform::ShowMessage( platform::Icon::Warning, ApplicationTitle(), QString::fromStdString( x.what() ) );
   }
   catch ( ... )
   {
      ReportUnexpectedException( "support/Utils.cpp", __LINE__ );
   }
}

// ---------------------------------------------------------------------------------------------------------------

void ConvertCRToCRLF( std::string& text )
{
   text = ConvertCRToCRLF( std::as_const( text ) );
}

std::string ConvertCRToCRLF( const std::string& text )
{
   std::string result;
   result.reserve( text.size() + text.size() / 16 );
   for ( size_t i = 0; i < text.size(); ++i )
   {
      result += text[i];
      if ( text[i] == '\r' && ( i + 1 == text.size() || text[i + 1] != '\n' ) )
         result += '\n';
   }
   return result;
}

void ConvertCRLFToCR( std::string& text )
{
   text = ConvertCRLFToCR( std::as_const( text ) );
}

std::string ConvertCRLFToCR( const std::string& text )
{
   std::string result;
   result.reserve( text.size() );
   for ( size_t i = 0; i < text.size(); ++i )
   {
      result += text[i];
      if ( text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' )
         ++i;
   }
   return result;
}

std::string ConvertBackslashesToSlashes( const std::string& path )
{
   std::string result = path;
   std::replace( result.begin(), result.end(), '\\', '/' );
   return result;
}

// ---------------------------------------------------------------------------------------------------------------

namespace
{
const char* const AlignmentProperty = "lfAlignment";
}

void SetAlignment( QWidget* child, Alignment alignment )
{
   child->setProperty( AlignmentProperty, static_cast<int>( alignment ) );
}

Alignment GetAlignment( const QWidget* child )
{
   QVariant v = child->property( AlignmentProperty );
   return v.isValid() ? static_cast<Alignment>( v.toInt() ) : Alignment::None;
}

void GetFreeClientSize( int& width, int& height, const QWidget* window )
{
   QRect client = window->rect();
   int left = client.left();
   int top = client.top();
   int right = client.left() + client.width();
   int bottom = client.top() + client.height();
   for ( const QObject* object : window->children() )
   {
      const QWidget* child = qobject_cast<const QWidget*>( object );
      if ( child == nullptr || child->isWindow() )
         continue;
      QRect g = child->geometry();
      switch ( GetAlignment( child ) )
      {
      case Alignment::Top: top = std::max( top, g.y() + g.height() ); break;
      case Alignment::Bottom: bottom = std::min( bottom, g.y() ); break;
      case Alignment::Left: left = std::max( left, g.x() + g.width() ); break;
      case Alignment::Right: right = std::min( right, g.x() ); break;
      case Alignment::Client: width = height = 0; return;
      case Alignment::None: break;
      }
   }
   width = right - left - 4;
   height = bottom - top - 4;
}

QWidget* FindParentForm( const QWidget* control )
{
   if ( control == nullptr )
      return nullptr;
   for ( QWidget* w = control->parentWidget(); w != nullptr; w = w->parentWidget() )
      if ( w->isWindow() )
         return w;
   return nullptr;
}

namespace
{

// The width each column's texts need: its header and its cells in the given rows, each followed by "000".
std::vector<int> MeasureColumns( const QTreeView* view, const std::vector<int>& rows, int extraWidth )
{
   const QAbstractItemModel* model = view->model();
   QFontMetrics metrics( view->font() );
   auto measure = [&metrics]( const QVariant& text ) {
      return metrics.horizontalAdvance( text.toString() + QStringLiteral( "000" ) );
   };
   int columns = model->columnCount();
   std::vector<int> widths( static_cast<size_t>( columns ), 0 );
   for ( int c = 0; c < columns; ++c )
   {
      int w = measure( model->headerData( c, Qt::Horizontal, Qt::DisplayRole ) );
      for ( int row : rows )
         w = std::max( w, measure( model->index( row, c ).data( Qt::DisplayRole ) ) );
      if ( c == 0 )
         w += extraWidth;
      widths[static_cast<size_t>( c )] = w;
   }
   return widths;
}

// What the other columns leave of the view's width for the stretch column.
int FreeWidth( const QTreeView* view, int stretchColumn )
{
   int used = 0;
   for ( int c = 0; c < view->model()->columnCount(); ++c )
      if ( c != stretchColumn )
         used += view->columnWidth( c );
   return view->viewport()->width() - used;
}

} // namespace

void FitListViewColumns( QTreeView* listView, int stretchColumn, int extraWidth )
{
   if ( listView->model() == nullptr )
      return;
   std::vector<int> rows( static_cast<size_t>( listView->model()->rowCount() ) );
   for ( size_t i = 0; i < rows.size(); ++i )
      rows[i] = static_cast<int>( i );
   std::vector<int> widths = MeasureColumns( listView, rows, extraWidth );
   int columns = static_cast<int>( widths.size() );
   for ( int c = 0; c < columns; ++c )
      if ( c != stretchColumn )
         listView->setColumnWidth( c, widths[static_cast<size_t>( c )] );
   if ( stretchColumn >= 0 && stretchColumn < columns )
   {
      int wanted = std::max( FreeWidth( listView, stretchColumn ), widths[static_cast<size_t>( stretchColumn )] );
      listView->setColumnWidth( stretchColumn, wanted );
   }
}

void FitListViewColumnsToItem( QTreeView* listView, int row, int stretchColumn, int extraWidth )
{
   if ( listView->model() == nullptr )
      return;
   std::vector<int> widths = MeasureColumns( listView, { row }, extraWidth );
   int columns = static_cast<int>( widths.size() );
   for ( int c = 0; c < columns; ++c )
      if ( c != stretchColumn && listView->columnWidth( c ) < widths[static_cast<size_t>( c )] )
         listView->setColumnWidth( c, widths[static_cast<size_t>( c )] );
   if ( stretchColumn >= 0 && stretchColumn < columns )
   {
      int wanted = std::max( FreeWidth( listView, stretchColumn ), widths[static_cast<size_t>( stretchColumn )] );
      if ( listView->columnWidth( stretchColumn ) < wanted )
         listView->setColumnWidth( stretchColumn, wanted );
   }
}

int AutoFontHeight()
{
   const QScreen* screen = QGuiApplication::primaryScreen();
   return AutoFontHeightForScreenWidth( screen != nullptr ? screen->geometry().width() : 0 );
}

int AutoFontHeightForScreenWidth( int screenWidth )
{
   return ( screenWidth <= 1280 ) ? 12 : 16;
}
