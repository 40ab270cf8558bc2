#ifndef LF_PROCESS_RGB_SPACE_PARAMETERS_H
#define LF_PROCESS_RGB_SPACE_PARAMETERS_H

#include "process/ColorSpaceProcess.h"

namespace qor
{
class RGBColorSystem;
}

// Sets the RGB working space of an image window (a run on its main view) or the global one (a global run), or makes
// a window share the global space again. The pixels are never touched; only what is computed from them later
// changes.
class RGBSpaceParameters : public ColorSpaceProcess
{
public:
   enum Mode : int32_t
   {
      ApplyThis = 0,
      ApplyGlobal = 1, // the target shares the global working space
      ApplyLocal = 2   // the same as ApplyThis
   };

   // Luminance coefficients, chromaticities of the primaries (red, green, blue), the transfer function and the mode.
   // Defaults: those of a freshly built working space, mode ApplyThis. Streams as 45 bytes.
   class Parameters : public Process::Parameters
   {
   public:
      Parameters();

      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      // The transfer function, chromaticities and coefficients of a working space (the mode stays).
      void LoadFrom( const qor::RGBColorSystem& rgbws );
      // Whether the values make a working space: the primaries' matrix can be inverted, and a power law has a
      // positive finite gamma.
      bool IsValid() const;

      float Y[3] = {};
      float x[3] = {};
      float y[3] = {};
      float gamma = 2.2f;
      bool sRGB = true;
      int32_t mode = ApplyThis;
   };

   RGBSpaceParameters();
   RGBSpaceParameters( const RGBSpaceParameters& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // Main views only: a preview has no working space of its own.
   bool CanExecuteOn( const ProcessView& view ) const override;
   bool CanExecuteGlobal() const override;
   void DoExecuteOn( ProcessView& view ) override;
   void DoExecuteGlobal() override;
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
   uint32_t UndoFlags( const ProcessView& view ) const override;

   // Gives the working space these values (or, in ApplyGlobal mode, the global space's data), then redraws the
   // windows whose display depends on it. Throws "Singular matrix found in RGBSpaceParameters" for values that
   // make no working space, leaving it unchanged.
   void ApplyTo( qor::RGBColorSystem& rgbws ) const;

   Parameters& Values() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Values() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
