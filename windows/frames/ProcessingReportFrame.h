#ifndef LF_WINDOWS_FRAMES_PROCESSING_REPORT_FRAME_H
#define LF_WINDOWS_FRAMES_PROCESSING_REPORT_FRAME_H

// A processing report: the source-text listing of a view's processing history, or of a process container's
// instances, under a short header ("// " comment lines naming the program, the view or container, the image's
// file and the time), shown read-only, optionally with syntax colouring (strings, characters, numbers and true /
// false navy, comments dark green, identifiers that begin a call or block bold), in a chosen font size, and saved
// as rich text or plain text.

#include <QFrame>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "windows/image/ImageWindow.h"

class ProcessContainer;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTextEdit;

class TProcessingReportFrame : public QFrame
{
   Q_OBJECT

public:
   // A coloured run of the report text.
   struct Span
   {
      enum Kind
      {
         Navy,
         DarkGreen,
         Bold
      };
      int64_t start;
      int64_t length;
      Kind kind;
   };

   explicit TProcessingReportFrame( QWidget* owner = nullptr );

   // Builds the report of the view (when set) or the container.
   void Generate();
   void SelectFontSizeEntry();
   void UpdateInfo();
   void FontSize_ComboBoxSelect( int index );
   void Beautify_CheckBoxClick();
   void Save_ButtonClick();
   // Saves the report to a file: rich text for ".rtf" (any letter case), plain text otherwise.
   void SaveTo( const QString& path );

   // The coloured runs of a text, in order. progress( characters done ) returns true to abort: the scan then
   // stops by throwing.
   static std::vector<Span> SyntaxSpans( const std::string& text,
                                         const std::function<bool( int64_t )>& progress = nullptr );

   TImageWindow::View* view = nullptr;
   ProcessContainer* container = nullptr;
   QString fontName;
   int32_t fontSize;

   QTextEdit* Edit = nullptr;
   QLabel* Info_Panel = nullptr;
   QLabel* FontSize_Label = nullptr;
   QComboBox* FontSize_ComboBox = nullptr;
   QCheckBox* Beautify_CheckBox = nullptr;
   QPushButton* Save_Button = nullptr;

private:
   void Colorize();
   void ApplySpans( const std::vector<Span>& spans );
};

constexpr const char* ReportFontName = "Courier New";
constexpr int32_t DefaultReportFontSize = 10;
constexpr int32_t MinReportFontSize = 6;
constexpr int32_t MaxReportFontSize = 12;

// The read-only text box of a report: no word wrap, both scroll bars, on the tooltip background.
QTextEdit* MakeReportEdit( QWidget* parent );
// Empties the box and gives its document the report font (a fixed-pitch font when the name is not installed).
void ClearReport( QTextEdit* edit, const QString& fontName, int32_t pointSize );

// The save dialog of reports: the chosen name with ".txt" or ".rtf" added when it has no extension (by the
// filter chosen); empty when cancelled.
QString AskReportFileName( const QString& title, const QString& directory, const QString& proposedName );

#endif
