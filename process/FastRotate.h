#ifndef LF_PROCESS_FAST_ROTATE_H
#define LF_PROCESS_FAST_ROTATE_H

#include "process/GeometricProcess.h"
#include "process/ImageWindowService.h"

// The five lossless orthogonal transforms of a whole image: a half turn, a quarter turn either way, and the two
// mirrors. Unlike the other geometric processes it keeps the window's previews: each is created again, under its
// identifier, on the transformed rectangle, which covers exactly the pixels it covered before (its stored state is
// lost). Mask links are destroyed. The window is TFastRotateWindow.
class FastRotate : public GeometricProcess
{
public:
   enum Rotation : int32_t
   {
      _180deg = 0,
      _90degCW = 1,
      _90degCCW = 2,
      horzMirror = 3,
      vertMirror = 4
   };

   // Stream: rotation as int32 (4 bytes, every version); a value outside 0 .. 4 is refused (GenericException) and
   // the record stays as it was. Text: rotation="<name>".
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      int32_t rotation = _180deg;
   };

   FastRotate();
   explicit FastRotate( int32_t rotation );
   FastRotate( const FastRotate& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // Width and height exchanged by the quarter turns.
   void GetNewSize( int32_t& width, int32_t& height, const ProcessView& view ) const override;
   std::string ConfirmationText() const override;
   void DoExecuteOn( ProcessView& view ) override;

   // "_180deg", "_90degCW", ...; "_180deg" for any value outside 0 .. 4.
   static const char* RotationName( int32_t rotation );
   // Where a rectangle of a width x height image lies after the transform (the rectangle keeps its pixels).
   static ImageWindowService::PreviewRect TransformRect( const ImageWindowService::PreviewRect& rect,
                                                         int32_t rotation, int32_t width, int32_t height );
   // The transform of the image itself.
   static void Transform( qor::Image& image, int32_t rotation );

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
