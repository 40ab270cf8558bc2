// Fuzzes the reader of FITS keyword set files: the module header checks and the keyword stream. Any input reads or
// fails with a module or file error, and what reads holds no reserved keyword.

#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "classlib/Exception.h"
#include "formats/FITS.h"
#include "process/FITSKeywords.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "keywords" );
   input.Fill( data, size );
   FITSKeywordList keywords;
   FITSKeywordsModule module( keywords );
   try
   {
      module.Read( input.Path() );
   }
   catch ( const qor::Exception& )
   {
   }
   for ( const FITSHeaderKeyword& k : keywords )
      if ( IsReservedFITSKeyword( k.name ) )
         std::abort();
   return 0;
}
