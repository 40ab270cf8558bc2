#ifndef LF_WINDOWS_PROCESSING_RESAMPLE_WINDOW_H
#define LF_WINDOWS_PROCESSING_RESAMPLE_WINDOW_H

// The processing window of Resample. The new size is edited in pixels, percent, centimetres, inches or memory, and
// every entry is turned at once into the others, so that all fields describe the same pixel size; the print
// resolution, the interpolation and the way the instance stores the size (the process mode) are chosen too. The
// target view only supplies the current size, resolution and channel count.

#include <QString>

#include "windows/processing/GeometryWindow.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class TInterpolationParameters_Frame;

class TResampleWindow : public TGeometryWindow
{
   Q_OBJECT

public:
   enum Unit
   {
      Pixels = 0,
      Percent = 1,
      Centimeters = 2,
      Inches = 3
   };

   explicit TResampleWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;

   void UpdateDimensions();
   void UpdateMemorySizes();
   void UpdateResolution();
   void Update();

   // Exit of the edit of a side (0 width, 1 height) in a unit. Text left as it was written changes nothing, so
   // that leaving an edit never moves the size by the rounding of the shown value.
   void Dimension_EditExit( int side, Unit unit );
   // Exit of a result-size edit: 4, 2 or 1 bytes per sample.
   void ResultSize_EditExit( int bytesPerSample );
   void Resolution_EditExit();
   void Units_RadioButtonClick();
   void ResampleMode_ComboBoxSelect();

   // Pixels per centimetre and per inch at the edited resolution.
   double PixelsPerCm() const;
   double PixelsPerInch() const;

   int32_t sourceWidth = 100, sourceHeight = 100;
   int32_t width = 100, height = 100;
   float sourceResolution = 72, resolution = 72;
   bool sourceMetric = false, metric = false;
   int32_t minWidth = 1, maxWidth = 32000, minHeight = 1, maxHeight = 32000;
   bool imported = false;

   QLineEdit* WidthInPixels_Edit = nullptr;
   QLineEdit* HeightInPixels_Edit = nullptr;
   QLineEdit* WidthPercent_Edit = nullptr;
   QLineEdit* HeightPercent_Edit = nullptr;
   QLineEdit* WidthInCm_Edit = nullptr;
   QLineEdit* HeightInCm_Edit = nullptr;
   QLineEdit* WidthInInches_Edit = nullptr;
   QLineEdit* HeightInInches_Edit = nullptr;
   QCheckBox* PreserveAspectRatio_CheckBox = nullptr;
   QLineEdit* Resolution_Edit = nullptr;
   QRadioButton* PixelsPerInch_RadioButton = nullptr;
   QRadioButton* PixelsPerCm_RadioButton = nullptr;
   QLabel* _32BitOriginalSize_Panel = nullptr;
   QLabel* _16BitOriginalSize_Panel = nullptr;
   QLabel* _8BitOriginalSize_Panel = nullptr;
   QLineEdit* _32BitResultSize_Edit = nullptr;
   QLineEdit* _16BitResultSize_Edit = nullptr;
   QLineEdit* _8BitResultSize_Edit = nullptr;
   QRadioButton* MB_RadioButton = nullptr;
   QRadioButton* KB_RadioButton = nullptr;
   QRadioButton* Bytes_RadioButton = nullptr;
   TInterpolationParameters_Frame* InterpolationParameters_Frame = nullptr;
   QComboBox* ResampleMode_ComboBox = nullptr;
   QCheckBox* ForceResolution_CheckBox = nullptr;
   QComboBox* AbsMode_ComboBox = nullptr;

protected:
   // With a view: its size, its window's resolution and its channels; without one the values stay.
   void TakeView( TImageWindow::View* view ) override;
   void UpdateControls() override { Update(); }
   // An instance imported since the window was hidden keeps its values; otherwise the active image is the target.
   void FormShow() override;

private:
   QLineEdit* edits[2][4] = {};
   // The text an edit shows for the stored size.
   QString DimensionText( int side, Unit unit ) const;
   // Bytes per memory unit (1, 1024, 1048576) and its decimals.
   double UnitFactor() const;
   int UnitDecimals() const;
};

// The program's Resample window, made on first use.
TResampleWindow& ResampleWindow();

#endif
