#ifndef LF_PROCESS_DYNAMIC_CROP_H
#define LF_PROCESS_DYNAMIC_CROP_H

#include "process/DynamicProcess.h"
#include "process/InterpolationParameters.h"
#include "process/RGBColorParameters.h"

// Cuts a rectangle, turned by any angle, out of a whole image and turns it upright: the result has the rectangle's
// own size, with the fill colour wherever the rectangle reached past the image. The rectangle is stored relative to
// the image (centre and size as fractions of the image's width and height), so that an instance runs on any image.
// It is drawn and adjusted interactively on an image window (DynamicCropData) with the Dynamic Crop dialog, which
// builds the instance and runs it; while such an edit is under way only the dialog's instance runs on that window.
// Previews and mask links of the window are destroyed.
class DynamicCrop : public DynamicProcess
{
public:
   // Stream (41 bytes, every version): centerX, centerY, width, height and rotationAngle as float32,
   // optimizeFastRotations as one byte, the fill colour's 12 bytes and the interpolation's 8 bytes. A value that is
   // not a finite number is refused (GenericException) and the record stays as it was. Text: the four fractions
   // ("%.4f"), the angle in degrees ("%+.3f"), then the rest, or ",..." at a negative level.
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      float centerX = 0;
      float centerY = 0;
      float width = 10;
      float height = 10;
      float rotationAngle = 0;
      bool optimizeFastRotations = true;
      RGBColorParameters fillColor;
      InterpolationParameters interpolation;
   };

   DynamicCrop();
   DynamicCrop( const DynamicCrop& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   // The main window's Dynamic Crop mode action (nullptr without a main window); the interface is available while
   // that action is enabled.
   QAction* Action() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   // On the active image window showing its main view: the Dynamic Crop mode, and an edit of this instance there.
   void LaunchInterface() override;
   bool IsSessionActive( const ProcessView& view ) const override;
   const ProcessSessionDialog* SessionDialog() const override;

   // When the window has previews or anything uses it as a mask: "Previews and mask references will be destroyed.
   // Some of these side-effects cannot be undone. Proceed?", Yes proceeding.
   bool ConfirmExecutionOn( ProcessView& view ) override;
   // Throws "Invalid image dimensions in DynamicCrop" (before anything changes) when a size of the crop is outside
   // 1 .. 32000.
   void DoExecuteOn( ProcessView& view ) override;
   void AfterExecutionOn( ProcessView& view ) override;
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;

   // The size the crop gives an image of width x height; 0 x 0 when the crop is refused.
   void GetNewSize( int32_t& width, int32_t& height ) const;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
