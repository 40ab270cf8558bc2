// The pixel readout under a moving pointer: the three channels of a 9 x 9 probe of the RGB sky image, in each
// statistic, at points that walk over the image as a pointer would.

#include "BenchCommon.h"

#include "windows/image/ImageWindow.h"

namespace
{

struct Registration
{
   Registration()
   {
      const qor::Image* image = &bench::RgbInput();
      const char* const names[] = { "readout9x9_mean", "readout9x9_median", "readout9x9_min", "readout9x9_max" };
      for ( uint8_t mode = 0; mode < 4; ++mode )
         bench::Register( names[mode], bench::SizeText( *image ),
                          [image, mode]
                          {
                             ReadoutOptionsData options;
                             options.probeSize = 9;
                             options.mode = mode;
                             static int32_t step = 0;
                             step = ( step + 37 ) % image->Width();
                             float sum = 0;
                             for ( int32_t c = 0; c < 3; ++c )
                                sum += TImageWindow::View::ProbeValue( *image, c, step, ( step * 7 ) % image->Height(),
                                                                       options );
                             benchmark::DoNotOptimize( sum );
                          } );
   }
} registration;

} // namespace
