#ifndef LF_PROCESS_CROP_EXPAND_H
#define LF_PROCESS_CROP_EXPAND_H

#include "process/GeometricProcess.h"
#include "process/RGBColorParameters.h"

// Changes the canvas of a whole image by four margins: a positive margin adds that many columns or rows of a fill
// colour on its side, a negative one removes that many. Nothing is interpolated. Previews and mask links of the
// window are destroyed. The window is TCropExpandWindow.
class CropExpand : public GeometricProcess
{
public:
   // Stream (28 bytes, every version): the four margins as int32 (left, top, right, bottom), then the fill colour.
   // Text: the margins one a line, then the fill colour, or "..." at a negative level.
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      int32_t leftMargin = 0;
      int32_t topMargin = 0;
      int32_t rightMargin = 0;
      int32_t bottomMargin = 0;
      RGBColorParameters fillColor;
   };

   CropExpand();
   CropExpand( const CropExpand& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // The margins added to the sides, in 64 bits: a sum that leaves the 32-bit range gives 0 (refused) instead of
   // wrapping back into the accepted range.
   void GetNewSize( int32_t& width, int32_t& height, const ProcessView& view ) const override;
   void DoExecuteOn( ProcessView& view ) override;

   // side + near + far, or 0 when that is not a positive 32-bit value.
   static int32_t NewSide( int32_t side, int32_t nearMargin, int32_t farMargin );

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
