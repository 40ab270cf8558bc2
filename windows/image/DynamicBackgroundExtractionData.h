#ifndef LF_WINDOWS_IMAGE_DYNAMIC_BACKGROUND_EXTRACTION_DATA_H
#define LF_WINDOWS_IMAGE_DYNAMIC_BACKGROUND_EXTRACTION_DATA_H

// The edit of a background extraction on an image window: the samples the user places on the image (each measuring
// the background under its box, classlib/BackgroundSamples.h), the centre of symmetry, the settings the model will
// use, and the state of a mouse drag. The image window owns one while the edit lasts (TImageWindow::dbeData) and
// hands it the mouse in the background-extraction mode; the one TDynamicBackgroundExtractionDialog shows and edits
// it. At most one edit exists in the program at a time.
//
// Coordinates are image pixels of the window's main image. Every position and radius is kept inside the image
// (clamped), except on the automatic grid, which is laid out inside by construction.
//
// The overlay (centre lines, sample boxes with a cross at their centroid, lines to the symmetric positions) is drawn
// by Paint after the image while the edit is active and the main view is current; every change repaints the area
// the changed marks covered before and cover after, and nothing else.
//
// Dragging: a press on a centre line (within the pick tolerance, the cursor tolerance of the preferences in screen
// pixels) grabs it, on their crossing both (the centre then moves freely); elsewhere it selects the sample under the
// point, or adds one there, and drags it; with Ctrl held the press only selects. The sample is measured again at
// every step of the drag.

#include <QColor>
#include <QPoint>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "classlib/BackgroundSamples.h"
#include "windows/image/DynamicSessionData.h"

class DynamicBackgroundExtraction;
class ProcessSessionDialog;
class QPainter;
class QPolygon;
class QRect;

namespace qor
{
class Image;
}

class DynamicBackgroundExtractionData : public DynamicSessionData
{
public:
   using Sample = qor::BackgroundSample;

   // Drag flags (also the hit-test codes), and the bit of a press that only selects.
   enum DragFlag : int32_t
   {
      SampleDrag = 1,
      VerticalLineDrag = 2,
      HorizontalLineDrag = 4,
      SelectOnlyDrag = 0x1000
   };
   // The symmetry bits of a sample.
   enum SymmetryFlag : uint8_t
   {
      HorizontalSymmetry = Sample::HorizontalSymmetry,
      VerticalSymmetry = Sample::VerticalSymmetry,
      CentralSymmetry = Sample::DiagonalSymmetry,
      AxialSymmetry = Sample::AxialSymmetry
   };

   // Not active, no samples; the settings from the preferences, the centre of symmetry at the image centre.
   explicit DynamicBackgroundExtractionData( TImageWindow* window );
   // Stops the edit.
   ~DynamicBackgroundExtractionData() override;

   // Begins an edit with one sample at (x, y) and hands the data to the dialog.
   void Start( int32_t x, int32_t y );
   // Begins an edit from a DynamicBackgroundExtraction instance (anything else is ignored): its settings, centre
   // and samples placed on this image (without samples, one at the top-left corner).
   void StartFromInstance( const Process& instance ) override;
   // Ends the edit: the dialog lets the data go, the overlay disappears, the samples are deleted.
   void Stop() override;

   // 2 on the vertical centre line, plus 4 on the horizontal one; else 1 on a sample, 0 on nothing.
   int32_t HitTest( float x, float y ) const override;
   void MouseDown( float x, float y ) override;
   void MouseMove( float x, float y ) override;
   void MouseUp() override;

   // Sample operations (indices into samples). Each keeps the invariants, repaints what it changes and, where the
   // dialog shows the change, refreshes it.
   void AddSample( int32_t x, int32_t y );
   void SelectSample( int32_t i );
   void MoveSample( int32_t i, int32_t x, int32_t y );
   void ResizeSample( int32_t i, int32_t r );
   // Removes sample i (the last one is never removed); the current index follows the sample that was current, or
   // the one after a deleted current sample (the one before when it was the last).
   void DeleteSample( int32_t i );
   void SetSymmetryCenter( float x, float y );
   void EvaluateSample( int32_t i );
   void EvaluateAllSamples();
   // Replaces every sample by the automatic grid (defaultRadius, autoIntervals).
   void GenerateSampleGrid();
   // A change of sample i's marks (its symmetries, its colour) or of the whole overlay (colours, the symmetry lines
   // of every sample), between the repaints of what they covered before and cover after.
   void ChangeSample( int32_t i, const std::function<void( Sample& )>& change );
   void ChangeOverlay( const std::function<void()>& change );
   // An instance built from the edit: the model points (each sample and its symmetric copies) and the edit itself.
   std::unique_ptr<DynamicBackgroundExtraction> NewInstance() const;

   // The first sample whose box, widened to the pick tolerance, holds (x, y); -1 for none.
   int32_t SampleAt( int32_t x, int32_t y ) const;
   // The pick tolerance in image pixels at the main view's zoom.
   int32_t PickTolerance() const;
   // The centre lines and every sample's marks (paint-box coordinates); nothing unless the overlay shows.
   void DrawOverlay( QPainter& painter ) const override;
   // Delete on the image: the dialog deletes the current sample (never the last one). The key is the session's.
   bool DeletePressed() override;

   // The dialog that drives the background-extraction sessions, as the processes see it; nullptr when there is
   // none.
   static const ProcessSessionDialog* SessionDialog();

   // The window's main image, its size, and its nominal channel count for the model (3 for RGB, else 1).
   const qor::Image& Image() const;
   int32_t Width() const;
   int32_t Height() const;
   int32_t Channels() const;

   int32_t dragFlags = 0;
   bool tracking = true;
   float symmetryCenterX = 0;
   float symmetryCenterY = 0;
   int32_t defaultRadius = 10;
   int32_t autoIntervals = 10;
   float tolerance = 0.1f;
   int32_t continuityOrder = 2;
   float smoothing = 0;
   int32_t subsample = 1;
   QColor sampleColor;
   QColor currentSampleColor;
   std::vector<Sample> samples;
   int32_t currentSample = 0;
   bool showAllSymmetries = false;
   int32_t lastX = 0;
   int32_t lastY = 0;

private:
   // The marks of sample i: its box outline, its centroid, and the path through its symmetric positions (as
   // drawn: a closed path for an axial sample, else lines from the centroid).
   struct Mark;
   Mark SampleMark( int32_t i ) const;
   bool ShowsSymmetries( int32_t i ) const;
   // Repaint requests for what the marks cover (the stand-in for drawing them over the image a second time).
   void RepaintRect( const QRect& rect ) const;
   void RepaintSample( int32_t i ) const;
   void RepaintCenter() const;
   void RepaintCenterAndSymmetries() const;
   void RepaintOverlay() const;
   // The dialog refreshes its sample controls when it is showing these data.
   void RefreshDialog() const;
   void SetDialogData( DynamicBackgroundExtractionData* data ) const;
};

// The dialog that edits the data, as the data see it: TDynamicBackgroundExtractionDialog
// (windows/processing/DynamicBackgroundExtractionDialog.h) is one, and tells at start-up how it is found.
class DynamicBackgroundExtractionEditor
{
public:
   // The data it serves; nullptr for none.
   virtual const DynamicBackgroundExtractionData* EditData() const = 0;
   virtual void SetEditData( DynamicBackgroundExtractionData* data ) = 0;
   virtual void RefreshSampleControls() = 0;
   virtual void DeleteCurrentSample() = 0;
   virtual bool IsShowing() const = 0;
   virtual const ProcessSessionDialog* SessionDialog() const = 0;

protected:
   ~DynamicBackgroundExtractionEditor() = default;
};

// How the data find their editor: the one that exists (nullptr: none yet), and the one made on first use. Until
// this is installed there is none.
void SetDynamicBackgroundExtractionEditor( DynamicBackgroundExtractionEditor* ( *existing )(),
                                           DynamicBackgroundExtractionEditor& ( *make )() );

#endif
