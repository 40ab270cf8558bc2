#ifndef LF_PROCESS_HISTOGRAMS_TRANSFORM_H
#define LF_PROCESS_HISTOGRAMS_TRANSFORM_H

// HistogramsTransform: shadows and highlights clipping, the midtones transfer function and range expansion
// (classlib/HistogramTransform.h), with one parameter set for each of the red, green and blue channels and one more
// for all nominal channels together (RGB/K). A colour image gets R, G, B on their channels and then RGB/K on every
// channel; a grey image gets RGB/K alone. Sets that are the identity cost nothing. The window is THistogramWindow.

#include "classlib/HistogramTransform.h"
#include "process/TransferCurveProcess.h"

class HistogramsTransform : public TransferCurveProcess
{
public:
   // Index of the set that acts on every nominal channel.
   static constexpr int32_t RGBK = 3;

   // Five arrays of four values (index: the set, 0 R, 1 G, 2 B, 3 RGB/K).
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      // 80 bytes in every version: for each set in index order, float32 c0, c1, m, r0, r1. A set that is not
      // sound (qor::HistogramTransformSet::Fault) is refused with a GenericException naming it, and the
      // parameters stay as they were.
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      // Per set "// R" (G, B, RGB/K), then "c0[i]=..., c1[i]=..., m[i]=..., r0[i]=..., r1[i]=..." with five
      // decimals, or "// <identity>" (not at a negative level); a comma after each set that is not the identity.
      std::string ToText( int32_t level ) const override;

      qor::HistogramTransformSet Set( int32_t i ) const { return { c0[i], c1[i], m[i], r0[i], r1[i] }; }
      void SetSet( int32_t i, const qor::HistogramTransformSet& s );
      bool IsIdentity( int32_t i ) const { return Set( i ).IsIdentity(); }
      void Reset( int32_t i ) { SetSet( i, qor::HistogramTransformSet() ); }

      float c0[4] = { 0, 0, 0, 0 };
      float c1[4] = { 1, 1, 1, 1 };
      float m[4] = { 0.5f, 0.5f, 0.5f, 0.5f };
      float r0[4] = { 0, 0, 0, 0 };
      float r1[4] = { 1, 1, 1, 1 };
   };

   HistogramsTransform();
   HistogramsTransform( const HistogramsTransform& source );
   explicit HistogramsTransform( const Parameters& p );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   // The window's side (defined with THistogramWindow): the main window's Process > Histograms action.
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   void DoExecuteOn( ProcessView& view ) override;

   // Transforms one channel of the image in place with one set.
   static void ApplyToChannel( qor::Image& image, int32_t channel, float c0, float c1, float m, float r0, float r1 );

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }

   // Names of the sets in texts: "R", "G", "B", "RGB/K".
   static const char* SetName( int32_t i );
};

#endif
