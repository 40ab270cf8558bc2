#ifndef LF_WINDOWS_PROCESSING_RGB_SPACE_PARAMETERS_WINDOW_H
#define LF_WINDOWS_PROCESSING_RGB_SPACE_PARAMETERS_WINDOW_H

// The processing window of RGBSpaceParameters: the luminance coefficients and chromaticities of the primaries, the
// gamma or the sRGB function, and whether the target is to share the global working space. Values are loaded from
// the selected image window's working space, the global one or the default one. Values that make no working space
// are refused here, before an instance reaches any image.

#include "process/RGBSpaceParameters.h"
#include "windows/processing/ProcessingWindow.h"

class QCheckBox;
class TViewsListFrame;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;

class TRGBSpaceParametersWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TRGBSpaceParametersWindow( QWidget* owner = nullptr );

   // The view (a main view, or none) whose window's working space the controls show; its values are loaded with
   // mode ApplyThis. None keeps the values.
   void SelectView( TImageWindow::View* view );
   // An instance of the values; nullptr, after a warning, when they make no working space.
   std::unique_ptr<Process> NewInstance() override;
   // The same without the warning (a drag probe).
   std::unique_ptr<Process> NewProbeInstance() override;
   void ImportInstance( const Process& instance ) override;
   void UpdateControls();
   // When shown: the active image window's values unless an instance was just imported; without one the global
   // values.
   void FormShow();

   void ViewCreated( TImageWindow::View& view ) override;
   void ViewUpdated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;

   void Y_EditExit( int i );
   void Y_TrackBarChange( int i );
   void x_EditExit( int i );
   void aY_EditExit( int i );
   void Gamma_EditExit();
   void Gamma_TrackBarChange();
   void sRGBGamma_CheckBoxClick();
   void LoadGlobal_ButtonClick();
   void LoadDefault_ButtonClick();
   void ApplyGlobal_CheckBoxClick();

   RGBSpaceParameters::Parameters parameters;
   TImageWindow::View* currentView = nullptr;
   bool instanceImported = false;

   TViewsListFrame* ViewsList = nullptr; // main views only, with the no-view entry
   QLineEdit* Y_Edit[3] = {};     // Red_Edit, Green_Edit, Blue_Edit
   QSlider* Y_TrackBar[3] = {};   // Red_TrackBar, Green_TrackBar, Blue_TrackBar
   QLineEdit* x_Edit[3] = {};     // x0_Edit .. x2_Edit
   QLineEdit* y_Edit[3] = {};     // y0_Edit .. y2_Edit
   QLineEdit* Gamma_Edit = nullptr;
   QSlider* Gamma_TrackBar = nullptr;
   QCheckBox* sRGBGamma_CheckBox = nullptr;
   QCheckBox* ApplyGlobal_CheckBox = nullptr;
   QPushButton* LoadGlobal_Button = nullptr;
   QPushButton* LoadDefault_Button = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;
   QToolButton* SelectImages_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   void ReadReal( QLineEdit* edit, float& value, double minimum, double maximum, int decimals );
   std::vector<QWidget*> editableControls;
   std::vector<QWidget*> gammaControls;
};

// The program's RGB Working Space Parameters window, made on first use.
TRGBSpaceParametersWindow& RGBSpaceParametersWindow();

#endif
