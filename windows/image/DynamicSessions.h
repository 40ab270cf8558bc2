#ifndef LF_WINDOWS_IMAGE_DYNAMIC_SESSIONS_H
#define LF_WINDOWS_IMAGE_DYNAMIC_SESSIONS_H

// The session objects of the two processes edited interactively on an image: Dynamic Crop (a rotatable crop
// rectangle, windows/image/DynamicCropData.h) and DynamicBackgroundExtraction (background samples around a symmetry
// centre, windows/image/DynamicBackgroundExtractionData.h).
//
// An image window owns at most one object of each kind (TImageWindow::dynamicCropData, TImageWindow::dbeData),
// starts and stops sessions through them, hands them the mouse of their modes and the keys they take, and lets them
// draw their overlays (DynamicSessionData). Only one session of each kind exists in the whole program: the
// process's dialog serves one window at a time.

#include "windows/image/DynamicBackgroundExtractionData.h"
#include "windows/image/DynamicCropData.h"
#include "windows/image/DynamicSessionData.h"

// Makes the image windows answer the dynamic processes about their edits (process/DynamicSessionLinks.h). Called
// at start-up.
void InstallDynamicSessionLinks();

#endif
