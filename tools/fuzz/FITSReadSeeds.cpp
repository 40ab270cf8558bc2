// Writes the seed files of FITSReadFuzz into a folder: a small image in every sample format the writer stores, grey
// and in colour with an alpha channel, and one with header keywords, an ICC profile and IPTC information, plain and
// gzip-compressed.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "SeedImages.h"
#include "classlib/ColorSpace.h"
#include "classlib/Exception.h"
#include "classlib/IPTCPhotoInfo.h"
#include "classlib/Image.h"
#include "formats/FITS.h"

int main( int argc, char** argv )
{
   if ( argc != 2 )
   {
      std::fprintf( stderr, "usage: %s folder\n", argv[0] );
      return 2;
   }
   const std::filesystem::path folder( argv[1] );
   std::filesystem::create_directories( folder );
   struct Format
   {
      const char* name;
      int32_t bits;
      bool isUnsigned;
      bool isFloat;
   } formats[] = { { "u8", 8, true, false },   { "i16", 16, false, false }, { "u16", 16, true, false },
                   { "i32", 32, false, false }, { "u32", 32, true, false }, { "i64", 64, false, false },
                   { "f32", 32, false, true },  { "f64", 64, false, true } };
   const qor::Image grey = fuzz::Ramp( 5, 3, 1, qor::ColorSpace::Gray );
   const qor::Image rgba = fuzz::Ramp( 4, 2, 4, qor::ColorSpace::RGB );
   try
   {
      for ( const Format& f : formats )
      {
         FITSOptions options;
         options.bitsPerSample = f.bits;
         options.unsignedSamples = f.isUnsigned;
         options.floatingPoint = f.isFloat;
         WriteFITS( grey, ( folder / ( std::string( "grey-" ) + f.name + ".fits" ) ).string(), &options, nullptr,
                    nullptr );
         WriteFITS( rgba, ( folder / ( std::string( "rgba-" ) + f.name + ".fits" ) ).string(), &options, nullptr,
                    nullptr );
      }

      FITSOptions options;
      options.keywords.Add( new FITSHeaderKeyword( "OBJECT", "'M31'", "the object" ) );
      options.keywords.Add( new FITSHeaderKeyword( "EXPTIME", "120.5", "seconds" ) );
      options.keywords.Add( new FITSHeaderKeyword( "HISTORY", "", "made for the fuzzer" ) );
      std::vector<uint8_t> profile( 132 );
      profile[3] = uint8_t( profile.size() );
      qor::IPTCPhotoInfo iptc;
      const auto& items = qor::IPTCPhotoInfo::Descriptions();
      iptc.Set( &items.front(), "someone", 7 );
      WriteFITS( rgba, ( folder / "extensions.fits" ).string(), &options, &profile, &iptc );

      // The same, gzip-compressed, as archives serve FITS files.
      std::ifstream in( folder / "extensions.fits", std::ios::binary );
      const std::string bytes( ( std::istreambuf_iterator<char>( in ) ), std::istreambuf_iterator<char>() );
      gzFile gz = gzopen( ( folder / "extensions.fits.gz" ).c_str(), "wb9" );
      if ( gz == nullptr || gzwrite( gz, bytes.data(), unsigned( bytes.size() ) ) != int( bytes.size() ) ||
           gzclose( gz ) != Z_OK )
      {
         std::fprintf( stderr, "Unable to write the compressed seed\n" );
         return 1;
      }
   }
   catch ( const qor::Exception& x )
   {
      std::fprintf( stderr, "%s\n", x.Message().c_str() );
      return 1;
   }
   return 0;
}
