#include "formats/FITSException.h"

#include <fitsio.h>

FITSException::FITSException( std::string path, int status ) : path( std::move( path ) ), status( status )
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
