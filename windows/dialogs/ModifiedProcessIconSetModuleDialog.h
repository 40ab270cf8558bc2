#ifndef LF_WINDOWS_DIALOGS_MODIFIED_PROCESS_ICON_SET_MODULE_DIALOG_H
#define LF_WINDOWS_DIALOGS_MODIFIED_PROCESS_ICON_SET_MODULE_DIALOG_H

// The question asked before the desktop's process icons are thrown away while they hold unsaved changes (a load
// that replaces them, Remove Process Icons, the program's exit): "The process icon set has been modified and is
// unsaved. OK to lose all process icons?" over the path of the set's file and the buttons No, Yes and, when
// cancelAllowed, Cancel.
//
// Y and N answer in either case; Esc answers Cancel only when Cancel is allowed. Any other way of closing it
// counts as No.

#include <QDialog>

class QLabel;
class QToolButton;
class QWidget;

class TModifiedProcessIconSetModuleDialog : public QDialog
{
   Q_OBJECT

public:
   static constexpr int YesResult = 6;
   static constexpr int NoResult = 7;
   static constexpr int CancelResult = 2;

   explicit TModifiedProcessIconSetModuleDialog( QWidget* parent = nullptr );

   // Runs the dialog showing the set's file path; returns one of the three results.
   int Ask( const QString& filePath );

   bool cancelAllowed = false;
   QLabel* Message_Label = nullptr;
   QLabel* FilePath_Label = nullptr;
   QWidget* Buttons_Panel = nullptr;
   QToolButton* No_SpeedButton = nullptr;
   QToolButton* Yes_SpeedButton = nullptr;
   QToolButton* Cancel_SpeedButton = nullptr;

protected:
   void keyPressEvent( QKeyEvent* event ) override;
   void reject() override;
};

extern TModifiedProcessIconSetModuleDialog* ModifiedProcessIconSetModuleDialog;
TModifiedProcessIconSetModuleDialog& GetModifiedProcessIconSetModuleDialog();

#endif
