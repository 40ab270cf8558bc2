#ifndef LF_WINDOWS_PROCESSING_FAST_ROTATE_WINDOW_H
#define LF_WINDOWS_PROCESSING_FAST_ROTATE_WINDOW_H

// The processing window of FastRotate: one radio button per transform.

#include "windows/processing/ProcessingWindow.h"

class QFrame;
class QRadioButton;
class QToolButton;

class TFastRotateWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TFastRotateWindow( QWidget* owner = nullptr );

   // A FastRotate of the first checked button (180 degrees when none is).
   std::unique_ptr<Process> NewInstance() override;
   // Checks the button of a FastRotate's rotation (180 degrees for an unknown one); ignores anything else.
   void ImportInstance( const Process& instance ) override;

   QFrame* RotationParameters_Panel = nullptr;
   // In rotation order: 180 degrees, 90 clockwise, 90 counter-clockwise, horizontal and vertical mirror.
   QRadioButton* _180_RadioButton = nullptr;
   QRadioButton* _90CW_RadioButton = nullptr;
   QRadioButton* _90CCW_RadioButton = nullptr;
   QRadioButton* HorzMirror_RadioButton = nullptr;
   QRadioButton* VertMirror_RadioButton = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;
   QToolButton* SelectImages_SpeedButton = nullptr;

private:
   QRadioButton* buttons[5] = {};
};

// The program's Fast Rotate window, made on first use.
TFastRotateWindow& FastRotateWindow();

#endif
