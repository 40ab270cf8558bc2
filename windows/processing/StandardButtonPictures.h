#ifndef LF_WINDOWS_PROCESSING_STANDARD_BUTTON_PICTURES_H
#define LF_WINDOWS_PROCESSING_STANDARD_BUTTON_PICTURES_H

// The pictures of the buttons every processing window and dialog shares, drawn on the tile of the main window's
// icons: apply to the selected images (a frame with the run mark), apply to the selected previews (the same frame
// dashed, as previews are drawn), select images and select previews (the frames with a tick), reset (a turning
// arrow), OK and Cancel, and the new-instance handle (an arrow leaving the window).

#include <QIcon>
#include <QString>

class QWidget;

// The picture of a standard button, by the button's object name (Apply_SpeedButton, Preview_Button, Reset_Button,
// ...); a null icon for any other name.
QIcon StandardButtonPicture( const QString& objectName );
// The new-instance handle's picture.
QIcon NewInstancePicture();
// Gives every standard button of the form (not of the dialogs it owns) that has no picture its own; a button whose
// only name was its text keeps it as its tool tip.
void GiveStandardButtonsPictures( QWidget* form );

#endif
