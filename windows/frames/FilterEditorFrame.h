#ifndef LF_WINDOWS_FRAMES_FILTER_EDITOR_FRAME_H
#define LF_WINDOWS_FRAMES_FILTER_EDITOR_FRAME_H

// A reusable frame that edits one square convolution kernel (the working kernel) on a grid of numeric cells, and
// keeps a library of named kernels (a KernelFilterSetModule) from which kernels are chosen by name and into which
// the filter manager dialog stores them.
//
// The owner sets the limit fields, loads or creates the library, then calls Reset. The working kernel (`filter`)
// is read directly by the owner. Library file errors are shown in message boxes and never leave the frame.

#include <QFrame>

#include <cstdint>
#include <string>
#include <vector>

#include "process/KernelFilterSetModule.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;

class TFilterEditorFrame : public QFrame
{
   Q_OBJECT

public:
   explicit TFilterEditorFrame( QWidget* owner = nullptr );

   // Limits and the grid size after Reset (set them before Reset).
   int32_t cellsPerRow = 7;
   int32_t cellGap = 2;
   int32_t defaultSize = 5;
   int32_t minSize = 3;
   int32_t maxSize = 21;
   float minCoefficient = -100;
   float maxCoefficient = 100;
   int32_t decimals = 4;

   KernelFilterSetModule module; // the library and the file it was read from or written to
   KernelFilter filter;          // the working kernel
   int32_t currentRow = 0;       // offsets of the cell last entered from the centre cell (positive: below, right)
   int32_t currentColumn = 0;

   // Applies the limits, rebuilds the grid at defaultSize, refills the name list and starts a new filter.
   void Reset();
   // Reads / writes the library file; failures are shown. A load refills the list and matches the selection.
   void LoadFilterSetModule( const std::string& path );
   void SaveFilterSetModule( const std::string& path );
   // Selects the first library filter of that name and loads its kernel; false when there is none.
   bool SelectFilter( const std::string& name );
   // Loads the kernel and selects the first library filter bit-for-bit equal to it, else the new filter item.
   void SetFilter( int32_t size, const std::vector<float>& coefficients );
   // All coefficients 0, the new filter item selected.
   void NewFilter();
   // The library edits of the filter manager.
   void AddFilter( const std::string& name );
   void ReplaceFilter( const std::string& name );
   void RemoveFilter();
   // Keeps the selected filter when it equals the working kernel, else selects the first equal one or item 0.
   void SyncSelection();
   // The selected library filter, or nullptr for the new filter item.
   KernelFilter* SelectedFilter() const;
   // Gives the focus to the current cell.
   void FocusCurrentCell();

   // Rounds a coefficient to the decimals in single precision (ties to even; -0 becomes 0).
   static float RoundCoefficient( float value, int32_t decimals );
   // The text of a cell: empty for 0, an integral value without decimals, any other with the decimals.
   static QString CellText( float value, int32_t decimals );

   // Handlers.
   void FilterNames_ComboBoxSelect();
   void FilterSize_UpDownClick( bool up );
   void AllZero_ButtonClick();
   void AllOnes_ButtonClick();
   void AllMinusOne_ButtonClick();
   void Symmetric_ButtonClick();
   void Normalize_ButtonClick();
   void Manage_ButtonClick();
   void CellEnter( int32_t row, int32_t column );
   void CellExit( int32_t row, int32_t column );

   QComboBox* FilterNames_ComboBox = nullptr;
   QScrollArea* Filter_ScrollBox = nullptr;
   QLabel* FilterSize_Panel = nullptr;
   QSpinBox* FilterSize_UpDown = nullptr;
   QLabel* Position_Panel = nullptr;
   QLabel* FilterWeight_Panel = nullptr;
   QPushButton* AllZero_Button = nullptr;
   QPushButton* AllOnes_Button = nullptr;
   QPushButton* AllMinusOne_Button = nullptr;
   QPushButton* Symmetric_Button = nullptr;
   QPushButton* Normalize_Button = nullptr;
   QPushButton* Manage_Button = nullptr;

   // The cell of (row, column), 0-based from the top left.
   QLineEdit* Cell( int32_t row, int32_t column ) const;

protected:
   bool eventFilter( QObject* watched, QEvent* event ) override;

private:
   void RebuildGrid( int32_t size );
   void LoadKernel( int32_t size, const std::vector<float>& coefficients );
   void RefillNames();
   void SelectItem( int index );
   void RestoreNames();
   void SelectMatchingFilter();
   void MarkModified();
   void RefreshCells();
   void RefreshWeight();
   void AfterButton();
   template <class Operation>
   void Guarded( Operation operation, int line );

   std::vector<QLineEdit*> cells;
   QWidget* grid = nullptr;
};

#endif
