#ifndef LF_WINDOWS_PROCESSING_CROP_EXPAND_WINDOW_H
#define LF_WINDOWS_PROCESSING_CROP_EXPAND_WINDOW_H

// The processing window of CropExpand: the four margins or the new width and height, a 3 x 3 grid of anchor buttons
// that shows (and lets the user choose) which side stays fixed, with arrows on the anchor's neighbours telling
// whether each side grows or shrinks, the fill colour, and the new and current sizes. The anchor is not stored: it
// is derived from the margins (a side whose margin is 0 while the opposite one is not is the fixed side).

#include <QIcon>

#include "windows/processing/GeometryWindow.h"

class QLineEdit;
class QToolButton;
class TSelectColor_Frame;

class TCropExpandWindow : public TGeometryWindow
{
   Q_OBJECT

public:
   // Arrow glyphs, by the direction they point.
   enum Glyph
   {
      None,
      Left,
      Right,
      Up,
      Down,
      UpLeft,
      UpRight,
      DownLeft,
      DownRight
   };

   explicit TCropExpandWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;

   void UpdateEdits();
   void UpdateInfo();
   // The anchor (0 .. 8, row by row) the margins make.
   int32_t DerivedAnchor() const;
   // The glyph each of the nine buttons shows.
   Glyph GlyphOf( int32_t button ) const;

   // Exits of the size edits (0 width, 1 height) and of the margin edits (0 left, 1 top, 2 right, 3 bottom).
   void Size_EditExit( int axis );
   void Margin_EditExit( int side );
   void Anchor_SpeedButtonClick( int32_t anchor );

   int32_t leftMargin = 0, topMargin = 0, rightMargin = 0, bottomMargin = 0;

   QLineEdit* Left_Edit = nullptr;
   QLineEdit* Top_Edit = nullptr;
   QLineEdit* Right_Edit = nullptr;
   QLineEdit* Bottom_Edit = nullptr;
   QLineEdit* Width_Edit = nullptr;
   QLineEdit* Height_Edit = nullptr;
   // TL, TM, TR, ML, MM, MR, BL, BM, BR.
   QToolButton* Anchor_SpeedButtons[9] = {};
   TSelectColor_Frame* FillColor_Frame = nullptr;

   // The nine 9 x 9 glyphs, in the order of Glyph.
   static const QIcon& GlyphIcon( Glyph glyph );

protected:
   // The view's size and channels (100 x 100, one channel, without one); margins that would leave no image or one
   // beyond the limits on an axis become 0 there.
   void TakeView( TImageWindow::View* view ) override;
   void UpdateControls() override;

private:
   int32_t* margins[4] = { &leftMargin, &topMargin, &rightMargin, &bottomMargin };
   QLineEdit* marginEdits[4] = {};
};

// The program's Crop/Expand window, made on first use.
TCropExpandWindow& CropExpandWindow();

#endif
