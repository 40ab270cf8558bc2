#ifndef LF_WINDOWS_PROCESSING_COLOR_SPACE_CONTROLS_H
#define LF_WINDOWS_PROCESSING_COLOR_SPACE_CONTROLS_H

// Controls shared by the windows of the colour-space processes: caption panels, the panels of the five colour-space
// radio buttons and of the three components of channel extraction and import, and a row of speed buttons.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

class QCheckBox;
class QFrame;
class QGridLayout;
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
   // The buttons, in that order, into a window's named members.
   void Expose( QRadioButton*& rgb, QRadioButton*& hsv, QRadioButton*& xyz, QRadioButton*& lab,
                QRadioButton*& lch ) const;
};

// ColorSpace_Panel with its caption and the five radio buttons, RGB_RadioButton to CIELch_RadioButton.
ColorSpaceControls MakeColorSpacePanel( QWidget* parent );

// Channels_Panel of channel extraction and import, filled in the order of its tab chain.
struct ChannelsControls
{
   // Rows 1 to 3: CH1_CheckBox to CH3_CheckBox (a click runs click( index )), each followed in column 1 by the
   // control `source` makes for it in the panel.
   void AddComponents( QWidget* context, const std::function<QWidget*( int )>& source,
                       const std::function<void( int )>& click );
   // Row 4, column 1: AutoIdentifiers_CheckBox (a click runs click).
   void AddAutoIdentifiers( QWidget* context, const std::function<void()>& click );

   QFrame* panel = nullptr;
   QGridLayout* grid = nullptr;
   QLabel* caption = nullptr; // ChannelsCaption_Panel, row 0
   QCheckBox* boxes[3] = {};
   QCheckBox* autoIdentifiers = nullptr;
};

// Channels_Panel with its caption.
ChannelsControls MakeChannelsPanel( QWidget* parent, const char* caption );

struct ButtonRow
{
   QWidget* row = nullptr;
   std::vector<QToolButton*> buttons;
};

// A row of tool buttons with these object names (the standard buttons are wired by name).
ButtonRow MakeButtonRow( QWidget* parent, std::initializer_list<const char*> names );

#endif
