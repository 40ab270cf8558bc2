#ifndef LF_PROCESS_ROTATE_H
#define LF_PROCESS_ROTATE_H

#include "process/GeometricProcess.h"
#include "process/InterpolationParameters.h"
#include "process/RGBColorParameters.h"

// Turns a whole image by any angle about its centre onto the bounding box of the turned image, the corners it does
// not cover taking a fill colour. With optimizeFastRotations, angles that are whole quarter turns (after rounding to
// thousandths of a degree) are exact transpositions and 0 or 360 degrees leaves the pixels as they are. A positive
// angle turns counter-clockwise on the screen. Previews and mask links of the window are destroyed. The window is
// TRotateWindow.
class Rotate : public GeometricProcess
{
public:
   // Stream (25 bytes, every version): the angle in radians, optimizeFastRotations as one byte, the fill colour's
   // 12 bytes, the interpolation's 8 bytes. An angle that is not a finite number is refused (GenericException) and
   // the record stays as it was. Text: the angle in degrees ("%+.3f"), then the rest unless the level is negative.
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      float rotationAngle = float( 45 * 0.017453292519943295 );
      bool optimizeFastRotations = true;
      RGBColorParameters fillColor;
      InterpolationParameters interpolation;
   };

   // What a run does to the pixels.
   enum class Operation
   {
      None,
      Rotate90CW,
      Rotate90CCW,
      Rotate180,
      General
   };

   Rotate();
   Rotate( const Rotate& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // The size of the general rotation about the image centre (a quarter turn's is the transposed size); 0 x 0 when
   // it cannot be computed.
   void GetNewSize( int32_t& width, int32_t& height, const ProcessView& view ) const override;
   void DoExecuteOn( ProcessView& view ) override;

   // The rotated size of a width x height image by an angle in radians.
   static void RotatedSize( int32_t& width, int32_t& height, float angle );
   // Degrees of a radian angle as the text and the fast-rotation test use them (float factor 57.29578).
   static float Degrees( float radians ) { return radians * 57.29578f; }
   Operation OperationFor() const;
   // The operation of a turn by an angle (radians): with optimize, whole quarter turns after rounding the degrees to
   // thousandths are exact transpositions, and 0 or 360 degrees is none; otherwise (and for other angles) General.
   static Operation OperationFor( float angle, bool optimize );

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
