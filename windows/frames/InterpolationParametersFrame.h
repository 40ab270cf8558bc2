#ifndef LF_WINDOWS_FRAMES_INTERPOLATION_PARAMETERS_FRAME_H
#define LF_WINDOWS_FRAMES_INTERPOLATION_PARAMETERS_FRAME_H

// Edits an interpolation choice: one of the four algorithms and, for the bicubic spline only, a block size of 5 to 9.
// The frame holds the values; the owning window reads them into the instances it builds and writes an imported
// instance's values into them, then calls UpdateControls.

#include <QFrame>

#include <cstdint>

class QComboBox;
class QLabel;

class TInterpolationParameters_Frame : public QFrame
{
   Q_OBJECT

public:
   explicit TInterpolationParameters_Frame( QWidget* owner = nullptr );

   // Selects the algorithm and the block size; the block-size controls are enabled for the bicubic spline only.
   void UpdateControls();

   void InterpolationAlgorithm_ComboBoxSelect();
   void BlockSize_ComboBoxSelect();

   int32_t algorithm = 1;
   int32_t blockSize = 5;

   QFrame* Interpolation_Panel = nullptr;
   QLabel* InterpolationCaption_Panel = nullptr;
   QLabel* Label1 = nullptr;
   QComboBox* InterpolationAlgorithm_ComboBox = nullptr;
   QLabel* BlockSize_Label = nullptr;
   QComboBox* BlockSize_ComboBox = nullptr;
};

#endif
