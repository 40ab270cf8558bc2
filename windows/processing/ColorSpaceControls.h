#ifndef LF_WINDOWS_PROCESSING_COLOR_SPACE_CONTROLS_H
#define LF_WINDOWS_PROCESSING_COLOR_SPACE_CONTROLS_H

// Controls shared by the windows of the colour-space processes: caption panels, the panel of the five colour-space
// radio buttons of channel extraction and import, and a row of speed buttons.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

class QCheckBox;
class QFrame;
class QLabel;
class QRadioButton;
class QToolButton;
class QWidget;

// A caption bar ("  Color Space") named objectName.
QLabel* MakeCaptionPanel( QWidget* parent, const char* objectName, const char* caption );

struct ColorSpaceControls
{
   // The radio button of a colour-space code, or nullptr outside 1 to 5.
   QRadioButton* Button( int32_t colorSpace ) const;
   // Checks the code's button (its click handler does not run) and names the three component boxes after the
   // code's components; nothing changes for a code outside 1 to 5.
   void Show( int32_t colorSpace, QCheckBox* const boxes[3] ) const;
   // Runs handler( code ) when the user clicks a button.
   void OnClick( QWidget* context, const std::function<void( int32_t )>& handler ) const;

   QFrame* panel = nullptr; // ColorSpace_Panel
   QLabel* caption = nullptr;
   QRadioButton* buttons[5] = {}; // RGB, HSV, CIE XYZ, CIE L*a*b*, CIE L*c*h* (codes 1 to 5)
};

// ColorSpace_Panel with its caption and the five radio buttons, RGB_RadioButton to CIELch_RadioButton.
ColorSpaceControls MakeColorSpacePanel( QWidget* parent );

struct ButtonRow
{
   QWidget* row = nullptr;
   std::vector<QToolButton*> buttons;
};

// A row of tool buttons with these object names (the standard buttons are wired by name).
ButtonRow MakeButtonRow( QWidget* parent, std::initializer_list<const char*> names );

#endif
