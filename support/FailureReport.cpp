#include "support/FailureReport.h"

#include <QString>

#include <new>

#include "classlib/Exception.h"
#include "platform/Prompter.h"
#include "support/ApplicationNames.h"
#include "support/ProcessRefusal.h"
#include "support/ToolkitError.h"
#include "support/Utils.h"

namespace
{

void Warn( const char* text )
{
   platform::ShowMessage( platform::Icon::Warning, ApplicationTitle(), QString::fromUtf8( text ) );
}

} // namespace

bool ReportCaughtFailure( const std::string& sourceName, int line, OutOfMemoryReport outOfMemory )
{
   try
   {
      throw;
   }
   catch ( const qor::CatchedException& )
   {
   }
   catch ( const qor::Exception& x )
   {
      x.Show();
   }
   catch ( const ToolkitError& x )
   {
      Warn( x.what() );
   }
   catch ( const ProcessRefusal& x )
   {
      if ( *x.what() == '\0' )
         return true;
      Warn( x.what() );
   }
   catch ( const std::bad_alloc& )
   {
      if ( outOfMemory == OutOfMemoryReport::Warning )
         Warn( "Out of memory" );
      else
         ReportUnexpectedException( sourceName, line );
   }
   catch ( ... )
   {
      ReportUnexpectedException( sourceName, line );
   }
   return false;
}
