#ifndef LF_WINDOWS_PROCESSING_BOX_FILTER_WINDOW_H
#define LF_WINDOWS_PROCESSING_BOX_FILTER_WINDOW_H

// The common form of the box-filter windows (median, minimum/maximum): the box size and iteration lists, the
// amount edit with its track bar, the circular-box and luminance check boxes and the four standard buttons. The
// window's own controls go into Options_Layout. The controls edit the fields of the window's parameter set, which
// the derived window binds with Bind().

#include "process/IteratedFilter.h"
#include "windows/processing/FilterWindowParts.h"
#include "windows/processing/ProcessingWindow.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QSlider;

class TBoxFilterWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TBoxFilterWindow( QWidget* owner );

   // Handlers.
   virtual void BoxSize_ComboBoxChange();
   void Iterations_ComboBoxChange();
   virtual void CircularKernel_CheckBoxClick();
   void UseLuminance_CheckBoxClick();
   void Amount_EditExit();
   void Amount_TrackBarChange();

   QComboBox* BoxSize_ComboBox = nullptr;
   QComboBox* Iterations_ComboBox = nullptr;
   QLineEdit* Amount_Edit = nullptr;
   QSlider* Amount_TrackBar = nullptr;
   QCheckBox* CircularKernel_CheckBox = nullptr;
   QCheckBox* UseLuminance_CheckBox = nullptr;

protected:
   // The window's parameter set, which the common controls edit.
   void Bind( BoxFilterParameters& p ) { fields = &p; }
   // Writes the common controls from the fields; the caller holds a TMainWindow::ControlUpdateGuard.
   void UpdateCommonControls();

   QGridLayout* Options_Layout = nullptr;
   BoxFilterParameters* fields = nullptr;
};

#endif
