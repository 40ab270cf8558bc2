#ifndef LF_WINDOWS_PROCESSING_IPTC_PHOTO_INFO_WINDOW_H
#define LF_WINDOWS_PROCESSING_IPTC_PHOTO_INFO_WINDOW_H

// The IPTC Photo Info window, the processing window of IPTCPhotoInfoData: the 27 IPTC items of the image chosen in
// its views list on six pages, which the user edits, loads and saves as IPTC modules (".lf-iptc") and applies to
// images with Apply. Texts are edits and memos (a memo's line breaks are stored as CR), repeatable items are memos
// of one element per line (stored joined by ";"), the urgency a list of nine entries and the two dates three edits
// each (stored as the eight digits YYYYMMDD).
//
// Dates are checked when they are stored: a year, month and day that make no date of the calendar (the 31st of a
// month of 30 days, the 29th of February outside a leap year) are refused with the reason before anything is applied
// or saved.

#include <QString>

#include <ctime>
#include <functional>
#include <vector>

#include "classlib/IPTCPhotoInfo.h"
#include "windows/processing/ViewDataWindow.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

class TIPTCPhotoInfoWindow : public TViewDataWindow
{
   Q_OBJECT

public:
   explicit TIPTCPhotoInfoWindow( QWidget* owner = nullptr );

   // With a view, its window's information is shown; without one, the window's own copy.
   void SelectView( TImageWindow::View* view ) override;
   void LoadControls( const qor::IPTCPhotoInfo& info );
   // false, after a warning that names the date, when a date of the controls is no date of the calendar.
   bool StoreControls( qor::IPTCPhotoInfo& info );
   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;

   void ViewDeleted( TImageWindow::View& view ) override;

   void OnChangeItem();
   void Load_ButtonClick();
   void Save_ButtonClick();
   void ClearAll_ButtonClick();
   void CreationDateSystemDate_ButtonClick();
   void DigitalCreationDateSystemDate_ButtonClick();
   // The exit of a date edit: a number in its range (1-9999, 1-12, 1-31) written back as an integer.
   void DateEditExit( QLineEdit* edit, int maximum );
   void UpdateStatus();

   // The clock of the System Date buttons (tests set it): the current time.
   std::function<std::time_t()> clock;

   qor::IPTCPhotoInfo photoInfo;
   int32_t changeCount = 0;

   QTabWidget* Info_PageControl = nullptr;
   QLabel* ViewInfo_Label = nullptr;
   QPushButton* Load_Button = nullptr;
   QPushButton* Save_Button = nullptr;
   QPushButton* ClearAll_Button = nullptr;
   QPushButton* CreationDateSystemDate_Button = nullptr;
   QPushButton* DigitalCreationDateSystemDate_Button = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;
   QToolButton* SelectImages_SpeedButton = nullptr;

   QPlainTextEdit* Caption_Memo = nullptr;
   QLineEdit* CaptionWriter_Edit = nullptr;
   QPlainTextEdit* HeadLine_Memo = nullptr;
   QPlainTextEdit* SpecialInstructions_Memo = nullptr;
   QLineEdit* EditStatus_Edit = nullptr;
   QComboBox* Urgency_ComboBox = nullptr;
   QLineEdit* Category_Edit = nullptr;
   QPlainTextEdit* SupplementalCategories_Memo = nullptr;
   QPlainTextEdit* Keywords_Memo = nullptr;
   QLineEdit* ObjectName_Edit = nullptr;
   QLineEdit* FixtureIdentifier_Edit = nullptr;
   QPlainTextEdit* ContentLocations_Memo = nullptr;
   QLineEdit* OriginatingProgram_Edit = nullptr;
   QLineEdit* ProgramVersion_Edit = nullptr;
   QLineEdit* CreationDateYear_Edit = nullptr;
   QLineEdit* CreationDateMonth_Edit = nullptr;
   QLineEdit* CreationDateDay_Edit = nullptr;
   QLineEdit* DigitalCreationDateYear_Edit = nullptr;
   QLineEdit* DigitalCreationDateMonth_Edit = nullptr;
   QLineEdit* DigitalCreationDateDay_Edit = nullptr;
   QLineEdit* Country_Edit = nullptr;
   QLineEdit* StateProvince_Edit = nullptr;
   QLineEdit* City_Edit = nullptr;
   QLineEdit* Sublocation_Edit = nullptr;
   QLineEdit* OriginalTransmissionReference_Edit = nullptr;
   QPlainTextEdit* CopyrightNotice_Memo = nullptr;
   QPlainTextEdit* BylineNames_Memo = nullptr;
   QPlainTextEdit* BylineTitles_Memo = nullptr;
   QLineEdit* Credit_Edit = nullptr;
   QLineEdit* Source_Edit = nullptr;
   QPlainTextEdit* Contacts_Memo = nullptr;

private:
   enum class Kind
   {
      Text,
      List,
      Urgency,
      Date
   };
   // One item: its dataset's name, its kind and its control (the three edits of a date).
   struct Item
   {
      const char* dataset;
      Kind kind;
      QWidget* control;
      QLineEdit* month = nullptr;
      QLineEdit* day = nullptr;
      const char* label = "";
   };
   std::vector<Item> items;

   void EmptyControls();
   void SetDate( QLineEdit* year, QLineEdit* month, QLineEdit* day, std::time_t when );
};

// The program's IPTC Photo Info window, made on first use.
TIPTCPhotoInfoWindow& IPTCPhotoInfoWindow();

#endif
