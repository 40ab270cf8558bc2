#ifndef LF_PROCESS_CURVES_TRANSFORM_H
#define LF_PROCESS_CURVES_TRANSFORM_H

// The curves process: seven transfer curves applied to a view. R, G and B act on the channels of a colour image,
// RGB/K on every nominal channel (grey images get only this one), CIE L* on the lightness, H and S on the HSV hue and
// saturation of a colour image, keeping each pixel's CIE lightness. Identity curves cost nothing. The window is
// TCurvesWindow.

#include <array>
#include <vector>

#include "process/TransferCurveProcess.h"

class CurvesTransform : public TransferCurveProcess
{
public:
   // Curve indices, in stream and text order.
   enum Curve : int32_t
   {
      R = 0,
      G = 1,
      B = 2,
      RGBK = 3,
      L = 4,
      H = 5,
      S = 6
   };
   static constexpr int32_t NumberOfCurves = 7;
   // Names of the curves in the text form and the window: "R", "G", "B", "RGB/K", "CIE L*", "H", "S".
   static const char* CurveName( int32_t curve );

   // Stream, for each curve in index order: int32 n (0 stands for the identity), n points (float32 x, float32 y)
   // in strictly ascending x, and from version 1.01 on one byte, nonzero for a linear curve (always written).
   //
   // A stream is refused (GenericException, the set unchanged) when a count exceeds MaximumPoints or the bytes
   // left, when a curve has a single point, a point that is not a finite number, or abscissae that are not strictly
   // ascending: such a curve has no sound spline.
   class Parameters : public Process::Parameters
   {
   public:
      Parameters();

      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      // Every point has y exactly equal to x (a curve without points counts as the identity).
      bool IsIdentity( int32_t curve ) const;
      // The curve becomes (0, 0), (1, 1); its linear flag stays.
      void ResetCurve( int32_t curve );
      int32_t Length( int32_t curve ) const { return int32_t( x[size_t( curve )].size() ); }

      std::array<std::vector<float>, NumberOfCurves> x; // abscissae, ascending
      std::array<std::vector<float>, NumberOfCurves> y; // y[c][i] belongs to x[c][i]
      std::array<bool, NumberOfCurves> linear{};        // piecewise-linear instead of the natural cubic spline
   };

   // The most points a stored curve may have: one per abscissa at five decimals, the resolution curves are edited
   // with.
   static constexpr uint32_t MaximumPoints = 100001;

   CurvesTransform();
   CurvesTransform( const CurvesTransform& source );
   explicit CurvesTransform( const Parameters& p );

   std::unique_ptr<Process> Clone() const override;
   // A default instance (seven identity curves).
   std::unique_ptr<Process> ProbeInstance() const override;
   std::string Id() const override;
   float Version() const override;
   // The main window's ProcessCurves_Action (defined with TCurvesWindow).
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // Per nominal channel a status task "Processing RGB channel #c": on a colour image R, G or B first, then RGB/K;
   // then, on a colour image only, the lightness pass and the hue/saturation pass, each only when a curve of it is
   // not the identity.
   void DoExecuteOn( ProcessView& view ) override;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
