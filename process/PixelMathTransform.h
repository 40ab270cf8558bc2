#ifndef LF_PROCESS_PIXEL_MATH_TRANSFORM_H
#define LF_PROCESS_PIXEL_MATH_TRANSFORM_H

// Pixel arithmetic: the target view combined with an ordered list of operands, one after the other. Item 0 stands
// for the target itself (its channel factors and inversion are applied first); every later item is an open image,
// named by its identifier, or a set of per-channel constants, applied with one of the fourteen operators of
// classlib/PixelMath.h. A result stage then scales, offsets and clips the result, or rescales every channel to a
// range. The result replaces the target or, on a main view, becomes a new image window.
//
// An operand image of another size is resampled (bicubic) to the size of the target's image; a grey operand feeds
// every channel of a colour target, a colour operand gives a grey target its lightness. An item that names an image
// no longer open (a broken link) is reported and, when the user goes on, applied as constants.
//
// A new image leaves the target as it was: no undo data are written for it and its undo state is kept. When the
// target's window has an enabled mask, the new image is blended through it with the unchanged target pixels.
//
// Stream (little-endian): int32 item count (at least 1), then per item int32 operator (the low byte is kept),
// int32 n and n bytes of the image identifier, the channel factors (3 x float32, 1 byte); then the result factors,
// float32 added constant, one byte rescale, float32 lower and upper bound; one byte destination (0 replace,
// 1 new image). A count below 1 or beyond the bytes left and identifier lengths beyond any identifier or the bytes
// left are refused as damaged data.

#include <cstdint>
#include <string>
#include <vector>

#include "process/ChannelFactors.h"
#include "process/Process.h"

class PixelMathTransform : public Process
{
public:
   // One item of the source list.
   class SourceItem : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      // Copies every field, the view link included.
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      // operator="ADD", imageId="M31", channelFactors={...}
      std::string ToText( int32_t level ) const override;

      // Links the item to the main view of the image its identifier names (none for an empty identifier or one
      // that no open image bears). Previews are never operands.
      void UpdateView();
      // Names a view that was linked but is gone: the identifier is kept, the link is not.
      bool IsBrokenLink() const { return view == nullptr && !imageId.empty(); }

      int8_t op = 0;                 // the operator code; not used for item 0
      ProcessView* view = nullptr;   // run-time link, never streamed; to be trusted only right after UpdateView
      std::string imageId;           // empty for item 0 and for constants
      ChannelFactors channelFactors; // factors and inversion of an image (or the target); constants otherwise
   };

   class ResultParameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      ChannelFactors resultFactors;
      float addConstant = 0;
      bool rescale = true;
      float rescaleLower = 0;
      float rescaleUpper = 1;
   };

   static constexpr bool Replace = false;
   static constexpr bool CreateNew = true;

   class Parameters : public Process::Parameters
   {
   public:
      // One default item (the target), the default result stage, replace.
      Parameters();

      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      // Reads aside and looks every item's link up; damaged data leave the set as it was.
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      // UpdateView on every item.
      void UpdateViews();

      std::vector<SourceItem> sources; // item 0 is the target, then the operands in order of application
      ResultParameters result;
      bool destination = Replace;
   };

   PixelMathTransform();
   explicit PixelMathTransform( const Parameters& values );
   PixelMathTransform( const PixelMathTransform& source );

   std::unique_ptr<Process> Clone() const override;
   // A new default instance.
   std::unique_ptr<Process> ProbeInstance() const override;
   std::string Id() const override;
   // The main window's Pixel Math action (defined with the window).
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   void DoExecuteOn( ProcessView& view ) override;
   // A preview, or a result that replaces the target.
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
   // The same: a new image leaves the target as it was.
   bool ModifiesTarget( const ProcessView& view ) const override;

   Parameters& Values() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Values() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
