#ifndef LF_WINDOWS_IMAGE_DYNAMIC_SESSIONS_H
#define LF_WINDOWS_IMAGE_DYNAMIC_SESSIONS_H

// The session objects of the two processes edited interactively on an image: Dynamic Crop (a rotatable crop
// rectangle, windows/image/DynamicCropData.h) and DynamicBackgroundExtraction (background samples around a symmetry
// centre).
//
// An image window owns at most one object of each kind (TImageWindow::dynamicCropData, TImageWindow::dbeData),
// starts and stops sessions through them, hands them the mouse of their modes and the keys they take, and lets them
// draw their overlays (DynamicSessionData). Only one session of each kind exists in the whole program: the
// process's dialog serves one window at a time.

#include <QColor>

#include <cstdint>
#include <vector>

#include "windows/image/DynamicCropData.h"
#include "windows/image/DynamicSessionData.h"

class ProcessSessionDialog;

class DynamicBackgroundExtractionData : public DynamicSessionData
{
public:
   // Drag flags (also the hit-test codes) and symmetry flags.
   enum DragFlag : int32_t
   {
      SampleDrag = 1,
      VerticalLineDrag = 2,
      HorizontalLineDrag = 4
   };
   enum SymmetryFlag : uint8_t
   {
      HorizontalSymmetry = 1,
      VerticalSymmetry = 2,
      CentralSymmetry = 4,
      AxialSymmetry = 8
   };

   struct Sample
   {
      int32_t x = 0; // anchor, image pixels
      int32_t y = 0;
      int32_t radius = 0;
      uint8_t symmetries = 0;
      int32_t axialCount = 0;
      float centroidX = 0;
      float centroidY = 0;
   };

   explicit DynamicBackgroundExtractionData( TImageWindow* window ) : DynamicSessionData( window ) {}

   // Starts the session at an image pixel.
   virtual void Start( int32_t x, int32_t y );
   void Stop() override;
   void MouseDown( float x, float y ) override;
   void MouseUp() override;

   // The dialog that drives the background-extraction sessions, as the processes see it; nullptr when there is
   // none.
   static const ProcessSessionDialog* SessionDialog();

   int32_t dragFlags = 0;
   float symmetryCenterX = 0;
   float symmetryCenterY = 0;
   QColor sampleColor;
   QColor selectedSampleColor;
   int32_t currentSample = 0;
   bool showAllSymmetries = false;
   std::vector<Sample> samples;
};

#endif
