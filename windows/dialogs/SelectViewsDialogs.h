#ifndef LF_WINDOWS_DIALOGS_SELECT_VIEWS_DIALOGS_H
#define LF_WINDOWS_DIALOGS_SELECT_VIEWS_DIALOGS_H

// The dialogs that pick views.
//
// Every processing window owns one TSelectImagesDialog and one TSelectPreviewsDialog: they choose the images (main
// views) and the previews that the window's Apply and Apply to Previews run on, by editing each view's
// selectingWindows. Both are one design over two lists: entries "<full identifier>: <width>×<height>" sorted by
// identifier (a preview with a stored state adds ", stored"), checked when the window is among the view's selecting
// windows; an info line counts the checked views and their pixels. OK writes the checks into the views; any other
// answer changes nothing.
//
// TSelectMaskDialog chooses the mask of the active image window among the images that can mask it; the opener reads
// maskWindow after OK and sets it.

#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

#include "windows/image/ImageWindow.h"

class QComboBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class TProcessingWindow;

class TSelectViewsDialog : public QDialog
{
   Q_OBJECT

public:
   enum class Kind
   {
      Images,
      Previews
   };

   TSelectViewsDialog( TProcessingWindow* owner, Kind kind );
   ~TSelectViewsDialog() override;

   // The listed views, sorted by full identifier, each checked when the owner is among its selecting windows.
   void FillList();
   // "<n> image(s) selected, <total> total pixels." (and the side of a square of as many pixels when n > 1), or
   // "No images selected.".
   void UpdateInfo();
   void ClearAll_ButtonClick();
   void SelectAll_ButtonClick();

   // The entry text of a view.
   std::string EntryText( const TImageWindow::View& view ) const;

   QListWidget* CheckListBox = nullptr; // Images_CheckListBox or Previews_CheckListBox
   QPushButton* ClearAll_Button = nullptr;
   QPushButton* SelectAll_Button = nullptr;
   QLabel* Info_StaticText = nullptr;
   QPushButton* OK_Button = nullptr;
   QPushButton* Cancel_Button = nullptr;

   // The listed views, in list order, while the dialog is shown; not owning.
   std::vector<TImageWindow::View*> views;
   // A view shown ticked although it is not selected yet (the view an apply would be expected to run on); OK
   // selects it like the others. None.
   TImageWindow::View* proposedView = nullptr;

   void done( int result ) override;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   TProcessingWindow* ownerWindow;
   Kind kind;
};

class TSelectImagesDialog : public TSelectViewsDialog
{
   Q_OBJECT

public:
   explicit TSelectImagesDialog( TProcessingWindow* owner ) : TSelectViewsDialog( owner, Kind::Images ) {}
};

class TSelectPreviewsDialog : public TSelectViewsDialog
{
   Q_OBJECT

public:
   explicit TSelectPreviewsDialog( TProcessingWindow* owner ) : TSelectViewsDialog( owner, Kind::Previews ) {}
};

class TSelectMaskDialog : public QDialog
{
   Q_OBJECT

public:
   // For the window whose mask is chosen (the active image window).
   TSelectMaskDialog( QWidget* owner, TImageWindow* target );

   // "<* No mask *>" first, then every image that can mask the target; the current mask selected.
   void FillList();
   void Images_ComboBoxChange();

   QComboBox* Images_ComboBox = nullptr;
   QPushButton* OK_Button = nullptr;
   QPushButton* Cancel_Button = nullptr;
   // The chosen mask, or nullptr for none.
   TImageWindow* maskWindow = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   TImageWindow* target;
};

#endif
