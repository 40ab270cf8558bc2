#include "formats/FITSException.h"

#include <fitsio.h>

#include <cstdio>
#include <cstring>

FITSException::FITSException( std::string path, int status, int systemError )
    : path( std::move( path ) ), status( status ), systemError( systemError )
{
}

std::string FITSException::StatusText() const
{
   if ( status == 0 )
      return std::string();
   char text[FLEN_STATUS] = {};
   fits_get_errstatus( status, text );
   return text;
}

std::string FITSException::WithSystemErrorText( const std::string& text ) const
{
   return systemError != 0 ? text + ":\n" + std::strerror( systemError ) : text;
}

namespace
{

// A size as people read it: "512 KB", "3.4 MB", "21.6 GB".
std::string Bytes( uint64_t n )
{
   const char* units[] = { "bytes", "KB", "MB", "GB", "TB", "PB", "EB" };
   double v = double( n );
   int unit = 0;
   while ( v >= 1024 && unit < 6 )
   {
      v /= 1024;
      ++unit;
   }
   char text[32];
   std::snprintf( text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", v, units[unit] );
   return text;
}

} // namespace

std::string FITSNotEnoughMemory::ErrorText() const
{
   return "Not enough memory to open the compressed file: it needs " + Bytes( needed ) + ", and " +
          Bytes( available ) + " are available:\n" + Path();
}
