#ifndef LF_WINDOWS_PROCESSING_PIXEL_MATH_WINDOW_H
#define LF_WINDOWS_PROCESSING_PIXEL_MATH_WINDOW_H

// The Pixel Math window, the processing window of PixelMathTransform. It edits one parameter set: the source list
// (row 0 is the target; every later row an operand image chosen in the views list, or constants when no view is
// chosen, with its operator, factors and inversion), the result stage and the destination. Preview and Apply run a
// new instance made from the set.
//
// The list shows each row as it is drawn, after its item's link was looked up again: an item whose image was closed
// reads "<identifier> <*broken*>" and comes back to life when an image of that identifier is open again.

#include <cstdint>

#include "process/PixelMathTransform.h"
#include "windows/processing/ProcessingWindow.h"

class QAbstractTableModel;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class QTreeView;
class TViewsListFrame;

class TPixelMathWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TPixelMathWindow( QWidget* owner = nullptr );
   ~TPixelMathWindow() override;

   std::unique_ptr<Process> NewInstance() override;
   std::unique_ptr<Process> NewProbeInstance() override;
   void ImportInstance( const Process& instance ) override;

   void ViewCreated( TImageWindow::View& view ) override;
   void ViewUpdated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;

   // The texts of a cell of the source list, as drawn (the item's link is looked up first).
   QString SourceCellText( int32_t row, int32_t column );

   // Handlers.
   void Source_ListViewMouseDown( int32_t row );
   void Source_ListViewSelectItem( int32_t row );
   void Operator_ComboBoxSelect();
   void ViewsList_ViewSelected( TImageWindow::View* view );
   void SrcFactor_EditExit( int32_t channel );
   void SrcInvert_CheckBoxClick();
   void ResetSourceFactors_ButtonClick();
   void Up_SpeedButtonClick();
   void Down_SpeedButtonClick();
   void New_ButtonClick();
   void Delete_ButtonClick();
   void Clear_ButtonClick();
   void ResetResultData_ButtonClick();
   void ResFactor_EditExit( int32_t channel );
   void AddConstant_EditExit();
   void ResInvert_CheckBoxClick();
   void Rescale_CheckBoxClick();
   void RescaleLower_EditExit();
   void RescaleUpper_EditExit();
   void Replace_RadioButtonClick();
   void CreateNew_RadioButtonClick();

   // The refreshes: every row of the list, one row, the controls of the current item, the result stage and the
   // destination.
   void RefreshSourceList();
   void RefreshRow( int32_t row );
   void RefreshItemControls();
   void RefreshResultControls();
   void RefreshDestination();

   PixelMathTransform::Parameters parameters;
   int32_t currentItem = 0;

   QFrame* Source_Panel = nullptr;
   QTreeView* Source_ListView = nullptr;
   QLabel* Operator_Label = nullptr;
   QComboBox* Operator_ComboBox = nullptr;
   QLabel* Operand_Label = nullptr;
   TViewsListFrame* ViewsList = nullptr; // main views only, with the no-view entry
   QLabel* SrcR_Label = nullptr;
   QLineEdit* SrcR_Edit = nullptr;
   QLabel* SrcG_Label = nullptr;
   QLineEdit* SrcG_Edit = nullptr;
   QLabel* SrcB_Label = nullptr;
   QLineEdit* SrcB_Edit = nullptr;
   QCheckBox* SrcInvert_CheckBox = nullptr;
   QPushButton* ResetSourceFactors_Button = nullptr;
   QToolButton* Up_SpeedButton = nullptr;
   QToolButton* Down_SpeedButton = nullptr;
   QPushButton* New_Button = nullptr;
   QPushButton* Delete_Button = nullptr;
   QPushButton* Clear_Button = nullptr;
   QFrame* Result_Panel = nullptr;
   QPushButton* ResetResultData_Button = nullptr;
   QLabel* ResR_Label = nullptr;
   QLineEdit* ResR_Edit = nullptr;
   QLabel* ResG_Label = nullptr;
   QLineEdit* ResG_Edit = nullptr;
   QLabel* ResB_Label = nullptr;
   QLineEdit* ResB_Edit = nullptr;
   QCheckBox* ResInvert_CheckBox = nullptr;
   QLabel* AddConstant_Label = nullptr;
   QLineEdit* AddConstant_Edit = nullptr;
   QCheckBox* Rescale_CheckBox = nullptr;
   QLineEdit* RescaleLower_Edit = nullptr;
   QLineEdit* RescaleUpper_Edit = nullptr;
   QFrame* Destination_Panel = nullptr;
   QRadioButton* Replace_RadioButton = nullptr;
   QRadioButton* CreateNew_RadioButton = nullptr;
   QToolButton* Preview_SpeedButton = nullptr;
   QToolButton* SelectPreviews_SpeedButton = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;
   QToolButton* SelectImages_SpeedButton = nullptr;

private:
   PixelMathTransform::SourceItem& Current() { return parameters.sources[size_t( currentItem )]; }
   // The current item clamped into the list, its row selected.
   void SelectCurrentRow();
   // Exchanges the current item with the one step rows below (negative: above) and follows it.
   void MoveCurrentItem( int32_t step );
   // The image of an item's linked view (looked up again), or nullptr.
   const qor::Image* ItemImage( PixelMathTransform::SourceItem& item );

   class SourceListModel;
   SourceListModel* sourceModel = nullptr;
   QLineEdit* srcEdits[3] = {};
   QLineEdit* resEdits[3] = {};
};

// The program's Pixel Math window, made on first use.
TPixelMathWindow& PixelMathWindow();

#endif
