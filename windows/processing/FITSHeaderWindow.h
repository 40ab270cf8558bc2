#ifndef LF_WINDOWS_PROCESSING_FITS_HEADER_WINDOW_H
#define LF_WINDOWS_PROCESSING_FITS_HEADER_WINDOW_H

// The FITS Header window, the processing window of FITSKeywords: the header keywords of the image chosen in its
// views list, in a list the user edits (replace, add, delete), loads and saves as keyword modules (".lf-hkm") or
// lists as text (".txt"), and applies to images with Apply. The list is a copy: nothing reaches an image before
// Apply. Reserved keywords are shown greyed and cannot be edited; they are never applied or saved.
//
// A keyword is checked when it is stored in the list (Replace, Add): besides the rules of the editor (a name, not a
// reserved one, a value normalised to its FITS form, one card of 80 columns), a keyword that strict FITS cannot hold
// as it is (FITSKeywordProblem) is refused with the reason, so that a later save never drops or changes it.

#include <QString>

#include "process/FITSKeywords.h"
#include "windows/processing/ViewDataWindow.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QToolButton;

class TFITSHeaderWindow : public TViewDataWindow
{
   Q_OBJECT

public:
   explicit TFITSHeaderWindow( QWidget* owner = nullptr );

   // With a view: the list becomes a copy of all keywords of its window; with none the reserved keywords leave
   // the list. The current row becomes 0.
   void SelectView( TImageWindow::View* view ) override;
   std::unique_ptr<Process> NewInstance() override;
   // A FITSKeywords instance: its keywords, no image selected, and the next show keeps them.
   void ImportInstance( const Process& instance ) override;

   void ViewDeleted( TImageWindow::View& view ) override;

   // The validators: each reads its edit, trims it and returns the normalised text, or throws
   // std::runtime_error with the message (qor::CatchedException after a number error it has shown itself).
   std::string ValidateName();
   std::string ValidateValue();
   std::string ValidateComment();
   FITSHeaderKeyword ValidateCard();

   void Name_EditExit();
   void Value_EditExit();
   void Comment_EditExit();
   void Replace_ButtonClick();
   void Add_ButtonClick();
   void Delete_ButtonClick();
   void Reset_ButtonClick();
   void Load_ButtonClick();
   void Save_ButtonClick();
   void Keywords_ListViewSelect( int row );

   // The list, the rows and the edits from the keywords.
   void RefreshList();
   void RefreshEdits();
   void RefreshPath();

   FITSKeywordList keywords;
   int32_t currentRow = 0;

   QLabel* ViewPath_Label = nullptr;
   QLabel* NoHeader_Label = nullptr; // shown for an image that did not come from a FITS file
   QTableWidget* Keywords_ListView = nullptr;
   QLabel* Name_Label = nullptr;
   QLabel* Value_Label = nullptr;
   QLabel* Comment_Label = nullptr;
   QLineEdit* Name_Edit = nullptr;
   QLineEdit* Value_Edit = nullptr;
   QLineEdit* Comment_Edit = nullptr;
   QPushButton* Replace_Button = nullptr;
   QPushButton* Add_Button = nullptr;
   QPushButton* Delete_Button = nullptr;
   QPushButton* Reset_Button = nullptr;
   QPushButton* Load_Button = nullptr;
   QPushButton* Save_Button = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;
   QToolButton* SelectImages_SpeedButton = nullptr;

private:
   // Runs a validation of an edit exit, Replace or Add: a refusal is shown (unless already shown), sets the input
   // error and returns false.
   template <class Work>
   bool Validated( Work work );
   QString lastSaveName;
};

// The program's FITS Header window, made on first use.
TFITSHeaderWindow& FITSHeaderWindow();

#endif
