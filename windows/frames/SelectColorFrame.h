#ifndef LF_WINDOWS_FRAMES_SELECT_COLOR_FRAME_H
#define LF_WINDOWS_FRAMES_SELECT_COLOR_FRAME_H

// Edits one colour as three channel values in [0, 1] (red, green and blue, or one grey value K): an edit with four
// decimals and a track bar per channel, five preset levels, a grey mode, and a sample patch that opens the colour
// picker.
//
// The owning form sets grayOnly and color, calls UpdateControls, and connects ColorChanged, which the frame emits
// after every change the user makes. A rejected edit sets inputError of the interface the frame lies on.

#include <QFrame>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QSlider;
class QToolButton;

class TSelectColor_Frame : public QFrame
{
   Q_OBJECT

public:
   explicit TSelectColor_Frame( QWidget* owner = nullptr );

   // Writes the controls from grayOnly, color and the grey box, under the control-update guard. In grey mode green
   // and blue take the red value.
   void UpdateControls();
   // The sample patch shows the colour in 8 bits a channel.
   void UpdateSample();
   // The colour the sample patch shows.
   QColor SampleColor() const;

   void EditEnter();
   void RGB_EditExit( QLineEdit* edit );
   void RGB_TrackBarEnter( QSlider* trackBar );
   void RGB_TrackBarChange( QSlider* trackBar );
   void Gray_CheckBoxClick();
   void _0_SpeedButtonClick();
   void _1_SpeedButtonClick();
   void _05_SpeedButtonClick();
   void _033_SpeedButtonClick();
   void _025_SpeedButtonClick();
   void ColorSample_PanelClick();

   // The colour must be grey: the grey box is disabled and grey mode forced.
   bool grayOnly = false;
   // Red, green and blue in [0, 1].
   std::array<float, 3> color = { 0, 0, 0 };

   QFrame* Color_Panel = nullptr;
   QLabel* Caption_Panel = nullptr;
   QLabel* R_Label = nullptr;
   QLabel* G_Label = nullptr;
   QLabel* B_Label = nullptr;
   QLineEdit* R_Edit = nullptr;
   QLineEdit* G_Edit = nullptr;
   QLineEdit* B_Edit = nullptr;
   QSlider* R_TrackBar = nullptr;
   QSlider* G_TrackBar = nullptr;
   QSlider* B_TrackBar = nullptr;
   QToolButton* _0_SpeedButton = nullptr;
   QToolButton* _1_SpeedButton = nullptr;
   QToolButton* _05_SpeedButton = nullptr;
   QToolButton* _033_SpeedButton = nullptr;
   QToolButton* _025_SpeedButton = nullptr;
   QCheckBox* Gray_CheckBox = nullptr;
   QFrame* ColorSample_Panel = nullptr;

Q_SIGNALS:
   void ColorChanged( TSelectColor_Frame* frame );

protected:
   bool eventFilter( QObject* watched, QEvent* event ) override;

private:
   // Sets all three channels to a preset level.
   void SetLevel( float level );
   // UpdateControls, then ColorChanged.
   void ColorEdited();
   int ChannelOf( const QObject* control ) const;

   std::array<QLabel*, 3> labels{};
   std::array<QLineEdit*, 3> edits{};
   std::array<QSlider*, 3> trackBars{};
};

#endif
