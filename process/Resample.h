#ifndef LF_PROCESS_RESAMPLE_H
#define LF_PROCESS_RESAMPLE_H

#include "process/GeometricProcess.h"
#include "process/InterpolationParameters.h"

// Changes the pixel dimensions of an image with interpolation. The new size is given by relative factors, in
// pixels, centimetres or inches, or as a number of pixels per channel that keeps the aspect ratio; centimetres and
// inches go through a print resolution, which a run also stores in the window unless it keeps the window's own.
// Previews and mask links of the window are destroyed. The window is TResampleWindow.
class Resample : public GeometricProcess
{
public:
   enum Mode : uint8_t
   {
      relative = 0,
      absolutePixels = 1,
      absoluteCentimeters = 2,
      absoluteInches = 3,
      forceSize = 4
   };

   enum AbsoluteMode : uint8_t
   {
      forceWidthAndHeight = 0,
      forceWidth = 1,
      forceHeight = 2
   };

   // Stream (30 bytes, every version): mode and absoluteMode as int32 (the low byte kept), xSize, ySize, the
   // interpolation's 8 bytes, resolution, then metric and keepResolution as one byte each. Sizes and resolution
   // that are not finite numbers are refused (GenericException) and the record stays as it was.
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      uint8_t mode = relative;
      uint8_t absoluteMode = forceWidthAndHeight;
      float xSize = 1;
      float ySize = 1;
      InterpolationParameters interpolation;
      float resolution = 72;
      bool metric = false;
      bool keepResolution = false;
   };

   Resample();
   Resample( const Resample& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // CalculateNewSize with the resolution of the view's window.
   void GetNewSize( int32_t& width, int32_t& height, const ProcessView& view ) const override;
   // Whether the size changes (a run that keeps it saves no undo data).
   bool ModifiesTarget( const ProcessView& view ) const override;
   void DoExecuteOn( ProcessView& view ) override;

   // The new size of a width x height image at a resolution (pixels per inch, or per centimetre when metric).
   // Every intermediate is a float; a side that is not a number or lies outside the 32-bit range becomes 0, which
   // the size check refuses.
   void CalculateNewSize( int32_t& width, int32_t& height, float resolution, bool metric ) const;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
