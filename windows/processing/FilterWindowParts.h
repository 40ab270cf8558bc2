#ifndef LF_WINDOWS_PROCESSING_FILTER_WINDOW_PARTS_H
#define LF_WINDOWS_PROCESSING_FILTER_WINDOW_PARTS_H

// Parts shared by the filter windows: the update rule of their handlers, the four standard buttons, and the amount:
// an edit with two decimals paired with a track bar of 0 .. 100 (page 10, ticks every 10, no tab stop) that maps to
// 0 .. 1; the amount is never below 0.01.

class QHBoxLayout;
class QLineEdit;
class QSlider;
class QWidget;

// True while some window fills its controls: control handlers then do nothing.
bool UpdatingControls();

// The Preview_Button, Apply_Button, SelectPreviews_Button and SelectImages_Button of a processing window, in a row.
QHBoxLayout* MakeStandardButtons( QWidget* form );

// Creates the pair, named Amount_Edit and Amount_TrackBar.
void MakeAmountControls( QWidget* parent, QLineEdit*& edit, QSlider*& trackBar );
// Writes the amount into both (the caller holds a TMainWindow::ControlUpdateGuard).
void ShowAmount( QLineEdit* edit, QSlider* trackBar, float amount );
// The edit's exit: reads [0.01, 1]; a changed value is stored and set on the track bar; the edit shows the stored
// amount with two decimals. False when the text was refused (the reader has said so).
bool CommitAmountEdit( QLineEdit* edit, QSlider* trackBar, float& amount );
// The track bar's change: the position rounded to two decimals, at least 0.01; a changed value is stored and
// written to the edit.
void TakeAmountFromTrackBar( QLineEdit* edit, QSlider* trackBar, float& amount );

#endif
