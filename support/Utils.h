#ifndef LF_SUPPORT_UTILS_H
#define LF_SUPPORT_UTILS_H

// Helpers shared by the windows: reading numbers and identifiers typed into edits (with fixed messages for every
// malformed literal), writing numbers back into edits, labels and sliders, the report of an unexpected exception,
// the program's version, the temporary folder, the default web browser, line-break conversions and a few layout
// measures.
//
// An input error is reported once, where it happens: Read*FromEdit shows the message in a warning box, gives the
// edit the focus back and throws qor::CatchedException, which tells every catcher up the chain that the user has
// already been told. The handler that read the edit keeps the value it was about to change and writes it back,
// so the edit shows its last valid value again:
//
//    try { sigma = ReadNumberFromEdit( Sigma_Edit, 0.1, 10, true ); }
//    catch ( const qor::CatchedException& ) {}
//    WriteRealToEdit( Sigma_Edit, sigma, 2 );
//
// Numbers are read and written with the C conventions whatever the user's locale (a point before the decimals),
// so that a text the program wrote can always be read back.

#include <cstdint>
#include <functional>
#include <string>

#include "support/ToolkitError.h"

class QColor;
class QLabel;
class QLineEdit;
class QSlider;
class QString;
class QTreeView;
class QWidget;

// --- Parsing -----------------------------------------------------------------------------------------------------

// Checks a numeric literal and returns its value within [minimum, maximum]. With real false the literal must be an
// integer (no decimal point, no exponent). Accepted exponent separators: E e D d F f. A value outside the range by
// no more than 1e-7 is taken as the range end. Throws ConvertError for a malformed literal, RangeError for a value
// out of range.
long double ParseNumber( const std::string& text, double minimum, double maximum, bool real );

// Optional extra check of an identifier: false rejects it, with the message it writes.
using IdentifierValidator = std::function<bool( const std::string& identifier, std::string& message )>;

// Checks an identifier (letters, digits and underscores, not beginning with a digit; with allowMacros, macro
// expressions "&name;" as well) and stores the trimmed text into result. The validator runs only when the text
// holds no macro expression and differs from the current value. Throws ConvertError; result is left untouched then.
void ParseIdentifier( std::string& result, const std::string& text, bool allowMacros, bool allowEmpty,
                      const std::string& current = std::string(), const IdentifierValidator& validator = nullptr );

// --- Reading from edits (report, refocus, throw qor::CatchedException on failure) --------------------------------

long double ReadNumberFromEdit( QLineEdit* edit, double minimum, double maximum, bool real );
void ReadIdentifierFromEdit( std::string& result, QLineEdit* edit, bool allowMacros, bool allowEmpty,
                             const std::string& current = std::string(),
                             const IdentifierValidator& validator = nullptr );

// --- Writing to controls ----------------------------------------------------------------------------------------

// "%+.*f" when showSign is set and the value is not 0, else "%.*f". Any value fits: there is no length limit.
std::string FormatReal( double value, int decimals, bool showSign = false );
std::string FormatInteger( int value );

void WriteRealToEdit( QLineEdit* edit, double value, int decimals, bool showSign = false );
void WriteRealToPanel( QLabel* panel, double value, int decimals, bool showSign = false );
void WriteIntegerToEdit( QLineEdit* edit, int value );
void WriteIntegerToPanel( QLabel* panel, int value );
// A panel's text and background colour, each set only when it differs (nothing for a null panel).
void SetPanelText( QLabel* panel, const QString& text );
void SetPanelColor( QLabel* panel, const QColor& color );

// --- Forms ----------------------------------------------------------------------------------------------------------

// Shows a form: visible, restored when minimised, brought to the front and activated (nothing for a null form).
void ShowForm( QWidget* form );

// --- Sliders (track bars) ---------------------------------------------------------------------------------------

// minimum + (maximum - minimum) * (position - Min) / (Max - Min); minimum when the slider's range is empty.
long double GetTrackBarValue( const QSlider* trackBar, double minimum, double maximum );
// Position = Round( (value - minimum) * (Max - Min) / (maximum - minimum) + Min ), ties to even, clamped to the
// slider's range; Min for an empty value range or a value that is not a number.
void SetTrackBarValue( QSlider* trackBar, double value, double minimum, double maximum );

// --- Reports and system information ------------------------------------------------------------------------------

// A warning box "Unexpected Exception" naming the source file and line, with the text of the calling thread's
// last system error (errno) when there is one.
void ReportUnexpectedException( const std::string& sourceFile, int line );

// The program's version ("1.0.0"), followed by " beta" in a pre-release build.
std::string GetProgramVersion();
// "Corvanta Lumenforge " and the program version: the program's name in its boxes and in the files it writes.
std::string ProgramTitle();

// The system temporary folder as an absolute path without a trailing separator (the root keeps its own); empty
// when that folder does not exist.
std::string GetTempDirectory();

// Opens a web page, or with localFile a local file, in the default web browser. Reports its own failure in a box;
// never throws.
void OpenInWebBrowser( const std::string& target, bool localFile );

// --- Texts --------------------------------------------------------------------------------------------------------

// A line feed is inserted after every carriage return that lacks one (also a final one).
void ConvertCRToCRLF( std::string& text );
std::string ConvertCRToCRLF( const std::string& text );
// Every CR LF pair becomes a lone CR; lone CRs and LFs stay.
void ConvertCRLFToCR( std::string& text );
std::string ConvertCRLFToCR( const std::string& text );
std::string ConvertBackslashesToSlashes( const std::string& path );

// --- Windows and controls ------------------------------------------------------------------------------------------

// How a child is docked in its parent, for GetFreeClientSize. Stored on the child (SetAlignment); a child without
// one is not docked.
enum class Alignment
{
   None,
   Top,
   Bottom,
   Left,
   Right,
   Client
};

void SetAlignment( QWidget* child, Alignment alignment );
Alignment GetAlignment( const QWidget* child );

// The part of the window's client area that its docked children leave free, less 4 pixels each way; 0 x 0 when a
// child fills the client area.
void GetFreeClientSize( int& width, int& height, const QWidget* window );

// The nearest window (form) among the control's parents, not the control itself; nullptr when there is none.
QWidget* FindParentForm( const QWidget* control );

// Column widths of a list (a QTreeView over a flat model, such as a QTreeWidget): every column as wide as its
// widest text (header or item) followed by "000", column 0 wider by extra; the stretch column (none when
// negative) fills what the others leave of the view, never narrower than its text.
void FitListViewColumns( QTreeView* listView, int stretchColumn, int extraWidth );
// The same measured on the header and one row only, and only widening: for a row just added or changed.
void FitListViewColumnsToItem( QTreeView* listView, int row, int stretchColumn, int extraWidth );

// Font height in pixels of view tabs, process icon captions and preview titles: 12 on a screen at most 1280
// pixels wide, else 16.
int AutoFontHeight();
int AutoFontHeightForScreenWidth( int screenWidth );

#endif
