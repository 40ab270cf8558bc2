#include "formats/FITSException.h"

#include <fitsio.h>

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
