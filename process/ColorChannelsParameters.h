#ifndef LF_PROCESS_COLOR_CHANNELS_PARAMETERS_H
#define LF_PROCESS_COLOR_CHANNELS_PARAMETERS_H

#include <array>

#include "process/Process.h"

// The parameters of ExtractChannels and ImportChannels (the same record): a colour space (1 RGB, 2 HSV, 3 CIE XYZ,
// 4 CIE L*a*b*, 5 CIE L*c*h*), which of its three components take part, and the identifier (or identifier template)
// of the grey image of each.
class ColorChannelsParameters : public Process::Parameters
{
public:
   std::unique_ptr<Process::Parameters> Clone() const override;
   void Assign( const Process::Parameters& source ) override;
   // The same layout for every version. A colour space outside 1 to 5 or an identifier longer than the stream is
   // refused, leaving the record as it was.
   void Read( qor::File& file, float version ) override;
   void Write( qor::File& file, float version ) const override;
   std::string ToText( int32_t level ) const override;

   static bool IsValidColorSpace( int32_t colorSpace );
   // The names of the component check boxes ("R", "L*", ...) and the suffixes of the default identifiers ("R",
   // "L", ...) of component i (0 to 2) of a colour space; a code outside 1 to 5 gives RGB's.
   static std::string ComponentName( int32_t colorSpace, int i );
   static std::string ComponentSuffix( int32_t colorSpace, int i );
   // "&imageId;_<suffix>&uniqueId;": the images extraction makes from an image, and what import finds of them.
   static std::string DefaultIdentifier( int32_t colorSpace, int i );
   bool NoChannel() const { return !channels[0] && !channels[1] && !channels[2]; }

   int32_t colorSpace = 1;
   std::array<bool, 3> channels = { true, true, true };
   std::array<std::string, 3> imageIdentifiers;
};

#endif
