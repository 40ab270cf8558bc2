#ifndef LF_WINDOWS_DIALOGS_FILTER_MANAGER_DIALOG_H
#define LF_WINDOWS_DIALOGS_FILTER_MANAGER_DIALOG_H

// The modal dialog behind the filter editor's "Manage" button: stores the editor's working kernel into its library
// (as a new filter or in place of the selected one), removes the selected filter, optionally writes the library
// back to its file, and loads or saves whole filter set files. A new dialog is made for every use.
//
// OK applies the chosen action to the frame when the dialog closes. After a load or a save from the dialog it is
// locked: only "Done" (which applies nothing) remains.

#include <QDialog>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class TFilterEditorFrame;

class TFilterManagerDialog : public QDialog
{
   Q_OBJECT

public:
   explicit TFilterManagerDialog( QWidget* owner = nullptr );

   TFilterEditorFrame* frame = nullptr;
   std::string currentName;      // the selected library filter's name; empty for a new filter
   bool protectedFilter = false; // no library filter selected, or a read-only one
   bool locked = false;

   void done( int result ) override;

   void RadioButtonClick();
   void NewName_EditExit();
   void LoadFilterSetModule_ButtonClick();
   void SaveFilterSetModule_ButtonClick();

   QLabel* FilterSetModuleCaption_Panel = nullptr;
   QLabel* CurrentModule_Label = nullptr;
   QLabel* CurrentModule_Panel = nullptr;
   QPushButton* LoadFilterSetModule_Button = nullptr;
   QPushButton* SaveFilterSetModule_Button = nullptr;
   QLabel* CurrentFilterCaption_Panel = nullptr;
   QLabel* CurrentName_Label = nullptr;
   QLineEdit* CurrentName_Edit = nullptr;
   QLabel* NewName_Label = nullptr;
   QLineEdit* NewName_Edit = nullptr;
   QRadioButton* Add_RadioButton = nullptr;
   QRadioButton* Replace_RadioButton = nullptr;
   QRadioButton* Remove_RadioButton = nullptr;
   QCheckBox* MakeChangesPermanent_CheckBox = nullptr;
   QPushButton* OK_Button = nullptr;
   QPushButton* Cancel_Button = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   void UpdateControls();
   void ShowModulePath();
   void Lock();
   // The file name chosen in a picker with ".lf-fsm" added when it has no extension; empty when cancelled.
   std::string PickFile( bool save );
   void Apply();
};

#endif
