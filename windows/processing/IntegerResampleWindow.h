#ifndef LF_WINDOWS_PROCESSING_INTEGER_RESAMPLE_WINDOW_H
#define LF_WINDOWS_PROCESSING_INTEGER_RESAMPLE_WINDOW_H

// The processing window of IntegerResample: the factor, whether it subsamples or oversamples, and the size of the
// result against the target's.

#include "windows/processing/GeometryWindow.h"

class QLineEdit;
class QRadioButton;
class QToolButton;

class TIntegerResampleWindow : public TGeometryWindow
{
   Q_OBJECT

public:
   explicit TIntegerResampleWindow( QWidget* owner = nullptr );

   // -factor when subsampling, +factor otherwise.
   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;

   // The factor edit, the result size and memory.
   void UpdateInfo();
   // The result size of the factor and mode shown.
   void ResultSize( int32_t& width, int32_t& height ) const;

   void ResamplingFactor_EditExit();
   void Mode_RadioButtonClick();

   int32_t factor = 2;
   int32_t subsamplingLimit = 100;
   int32_t oversamplingLimit = 320;

   QLineEdit* ResamplingFactor_Edit = nullptr;
   QRadioButton* Subsample_RadioButton = nullptr;
   QRadioButton* Oversample_RadioButton = nullptr;

protected:
   // The sizes of the view's image (100 x 100, one channel, without a view) and the factor limits they allow.
   void TakeView( TImageWindow::View* view ) override;
   void UpdateControls() override { UpdateInfo(); }
   // Only a colour image becomes the target when the window is shown.
   void FormShow() override;
};

// The program's Integer Resample window, made on first use.
TIntegerResampleWindow& IntegerResampleWindow();

#endif
