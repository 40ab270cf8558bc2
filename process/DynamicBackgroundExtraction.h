#ifndef LF_PROCESS_DYNAMIC_BACKGROUND_EXTRACTION_H
#define LF_PROCESS_DYNAMIC_BACKGROUND_EXTRACTION_H

#include <array>
#include <vector>

#include "process/DynamicProcess.h"

// Builds a smooth model of the sky background of an image and opens it in a new image window named after the
// target with the background-model postfix of the preferences ("M31_background"). For each channel a surface
// spline (classlib/BackgroundModel.h) runs through the model points and is evaluated at every pixel of the model,
// which has the image's size divided by the subsampling factor (at least 16 pixels on its smaller side). The target
// is never changed.
//
// The points are sampled interactively on an image window (DynamicBackgroundExtractionData, driven by
// TDynamicBackgroundExtractionDialog); the parameters keep both the points the model needs and the drawn samples,
// from which an edit can be rebuilt on any image. The process reaches its action, its dialog and the sessions of the
// image windows through process/DynamicSessionLinks.h.
class DynamicBackgroundExtraction : public DynamicProcess
{
public:
   // One drawn sample as the parameters keep it: 28 bytes in streams.
   struct SampleData
   {
      float x = 0;   // anchor x / image width
      float y = 0;   // anchor y / image height
      float r = 0;   // box radius / the larger image side
      uint8_t symmetries = 0; // 1 H, 2 V, 4 D, 8 axial (alone)
      uint8_t nA = 0;         // axial count, the sample itself included
      uint8_t reserved = 0;
      uint8_t fixed = 0;      // nonzero: f holds values imposed by the user
      std::array<float, 3> f = { 0, 0, 0 };
   };

   // Stream (every version writes the 1.1 layout): int32 n, int32 c; when both are nonzero n floats x, n floats y
   // and c rows of n values; int32 continuityOrder, float smoothing, int32 subsample; int32 record count and the
   // 28-byte records; float tolerance; float symmetryCenterX, symmetryCenterY. A 1.0 stream has records of an
   // older layout (the fixed flag in byte 13, no axial count) and no centre of symmetry.
   //
   // A read refuses (GenericException "Invalid DynamicBackgroundExtraction parameters", the record unchanged) what no
   // edit writes and a run could not use: a channel count other than 0, 1 or 3 (0 only without points), counts
   // larger than the rest of the stream, an order outside 2..5, a subsampling factor below 1, a negative smoothing
   // and numbers that are not finite.
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      // Points and channels as declared: the arrays hold numberOfSamples values (c rows of f) exactly when both are
      // positive, and are empty otherwise.
      void SetPoints( int32_t n, int32_t c );
      bool HasPoints() const { return numberOfSamples > 0 && numberOfChannels > 0; }

      int32_t numberOfSamples = 0;
      int32_t numberOfChannels = 0;
      std::vector<float> x, y;
      std::vector<std::vector<float>> f;
      int32_t continuityOrder = 2;
      float smoothing = 0;
      int32_t subsample = 1;
      std::vector<SampleData> interfaceSamples;
      float tolerance = 0.1f;
      float symmetryCenterX = 0.5f;
      float symmetryCenterY = 0.5f;
   };

   DynamicBackgroundExtraction();
   DynamicBackgroundExtraction( const DynamicBackgroundExtraction& source );

   std::unique_ptr<Process> Clone() const override;
   // A new default instance.
   std::unique_ptr<Process> ProbeInstance() const override;
   std::string Id() const override;
   // 1.1.
   float Version() const override;

   // The main window's background-extraction mode action; the dialog; whether the action is enabled; the launch,
   // which chooses the mode on the active image window (when its main view is current) and starts an edit there
   // from this instance; whether the view's window holds background-extraction edit data; and the dialog that
   // drives such edits.
   QAction* Action() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   bool IsSessionActive( const ProcessView& view ) const override;
   const ProcessSessionDialog* SessionDialog() const override;

   // The model computation: refused with "At least six samples are required" below six points; the model opens in
   // a new window (the target's working space) once every channel is done, and nothing opens on a failure.
   void DoExecuteOn( ProcessView& view ) override;
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
   bool ModifiesTarget( const ProcessView& view ) const override;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
