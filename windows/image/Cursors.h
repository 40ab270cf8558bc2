#ifndef LF_WINDOWS_IMAGE_CURSORS_H
#define LF_WINDOWS_IMAGE_CURSORS_H

// Cursors: the program's own mouse cursors, referred to everywhere by a slot number from 5 to 39.
//
// Each is a 32 x 32 two-colour cursor with a hot spot, drawn in code once (InitializeCursors, at start-up after the
// QApplication exists; a second call does nothing, and ScreenCursor initialises on first use). Pixels are black,
// white or transparent: the "inverting" strokes of the classic designs (those that invert the screen under them)
// are drawn black with a one-pixel white rim, since inverting cursor pixels are not portable (X11 and Wayland draw
// them black), and the white designs get a black rim. Slots outside 5..39 hold no cursor of ours: ScreenCursor
// gives the toolkit's arrow for them.

#include <QCursor>

#include <cstdint>

enum CursorSlot : int32_t
{
   CursorOK = 5,
   CursorCancel = 6,
   CursorReadout = 7,
   CursorZoomIn = 8,
   CursorZoomOut = 9,
   CursorPan = 10,
   CursorPanH = 11,
   CursorPanV = 12,
   CursorResizeH = 13,
   CursorResizeV = 14,
   CursorResizeTLRB = 15,
   CursorResizeBLTR = 16,
   CursorCenter = 17,
   CursorCrop = 18,
   CursorBkgExtraction = 19,
   CursorAlignment = 20,
   CursorNewPreview = 21,
   CursorSelectPreview = 22,
   CursorMovePreview = 23,
   CursorResizePreview = 24,
   CursorSelectTool = 25,
   CursorTrackBar = 26,
   CursorDrag = 27,
   CursorDragAccept = 28,
   CursorDragReject = 29,
   CursorDragCreate = 30,
   CursorDragCopy = 31,
   CursorProcessDrag = 32,
   CursorProcessSelectView = 33,
   CursorSelectObject = 34,
   CursorSelectObjectPoint = 35,
   CursorMoveObject = 36,
   CursorResizeObject = 37,
   CursorResize2Object = 38,
   CursorRotateObject = 39,
   FirstCursorSlot = CursorOK,
   LastCursorSlot = CursorRotateObject
};

// Builds the table of cursors once; later calls do nothing. Needs a QGuiApplication.
void InitializeCursors();

// Whether a slot holds one of the program's cursors.
bool HasScreenCursor( int32_t slot );

// The cursor of a slot (initialising the table when needed); the toolkit's arrow for a slot without one.
QCursor ScreenCursor( int32_t slot );

// Name of a slot's cursor ("CSR_OK", "CSR_READOUT", ...), or nullptr for a slot without one.
const char* CursorName( int32_t slot );

#endif
