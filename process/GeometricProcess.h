#ifndef LF_PROCESS_GEOMETRIC_PROCESS_H
#define LF_PROCESS_GEOMETRIC_PROCESS_H

#include "process/Process.h"

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

   static bool IsValidSize( int32_t width, int32_t height )
   {
      return width >= 1 && width <= MaxImageSize && height >= 1 && height <= MaxImageSize;
   }
};

#endif
