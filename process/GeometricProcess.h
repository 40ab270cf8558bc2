#ifndef LF_PROCESS_GEOMETRIC_PROCESS_H
#define LF_PROCESS_GEOMETRIC_PROCESS_H

#include <vector>

#include "process/Process.h"

class RGBColorParameters;

// Category of the processes that change the dimensions of a whole image (resampling, rotations, crops). They
// never run on a preview, whose size is fixed inside its image, and refuse any run whose result would not be
// 1 to 32000 pixels wide and high: every subclass computes in advance the size its run would produce.
class GeometricProcess : public Process
{
public:
   static constexpr int32_t MaxImageSize = 32000;

   GeometricProcess() = default;
   GeometricProcess( const GeometricProcess& ) = default;

   // "Geometry".
   std::string Category() const override;

   // False for a preview or a view without an image; otherwise CanExecuteOnSize with the size of the view's image.
   bool CanExecuteOn( const ProcessView& view ) const override;

   // The rule for an image of width x height seen through the view: false for a preview (without asking
   // GetNewSize), else whether the new size GetNewSize gives is within 1 .. MaxImageSize both ways.
   bool CanExecuteOnSize( const ProcessView& view, int32_t width, int32_t height ) const;

   // On entry the size of the view's image; on return the size it would have after a run of this instance.
   virtual void GetNewSize( int32_t& width, int32_t& height, const ProcessView& view ) const = 0;

   // When the view's window has previews or anything uses it as a mask: the question ConfirmationText() under the
   // process's identifier, Yes proceeding. Without either there is no question.
   bool ConfirmExecutionOn( ProcessView& view ) override;
   // "Previews and mask references will be destroyed. Some of these side-effects cannot be undone. Proceed?"
   virtual std::string ConfirmationText() const;
   // The same rule for any process that changes the size of a whole image: the question (the text above) under
   // the caption, asked only when the view's window has previews or mask users.
   static bool ConfirmDestroyingPreviewsAndMasks( ProcessView& view, const std::string& caption,
                                                  const std::string& text = DestroyingPreviewsAndMasksText );
   static constexpr const char* DestroyingPreviewsAndMasksText =
      "Previews and mask references will be destroyed. Some of these side-effects cannot be undone. Proceed?";
   // The window's display follows the new size.
   void AfterExecutionOn( ProcessView& view ) override;
   // A result of another size cannot be blended with the unprocessed image.
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;

   // What every run does once its pixel work has succeeded: the window's previews deleted, its mask users detached
   // and its own mask removed, then (when modified) the modification marked (mask users told, caches dropped). The
   // pixel work comes first so that a run that fails (an abort, an exhausted memory) leaves previews and masks alone.
   static void FinishGeometryChange( ProcessView& view, bool modified = true );

   // The fill values of a colour for an image: red for a grey image, red, green and blue for a colour one.
   static std::vector<float> FillValues( const RGBColorParameters& color, const qor::Image& image );

   static bool IsValidSize( int32_t width, int32_t height )
   {
      return width >= 1 && width <= MaxImageSize && height >= 1 && height <= MaxImageSize;
   }
};

#endif
