// The report of a failure that ended a user action: what it says for each kind, and what it tells its caller.

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

#include "TestSupport.h"
#include "classlib/Exception.h"
#include "support/ApplicationNames.h"
#include "support/FailureReport.h"
#include "support/ProcessRefusal.h"
#include "support/ToolkitError.h"

namespace
{

using FailureReportTest = test::ScriptedUiTest;

bool Report( const std::function<void()>& failure, OutOfMemoryReport outOfMemory = OutOfMemoryReport::Warning )
{
   try
   {
      failure();
   }
   catch ( ... )
   {
      return ReportCaughtFailure( "formats/Somewhere", 42, outOfMemory );
   }
   ADD_FAILURE() << "nothing was thrown";
   return false;
}

} // namespace

TEST_F( FailureReportTest, EachKindIsShownOnceAndOnlyACancellationSaysSo )
{
   struct Case
   {
      const char* name;
      std::function<void()> failure;
      OutOfMemoryReport outOfMemory;
      QString text; // empty: no box
      QString caption;
      bool cancelled;
   };
   const OutOfMemoryReport warning = OutOfMemoryReport::Warning;
   const QString unexpected = "Exception location:\n   File: formats/Somewhere\n   Line: 42";
   const std::vector<Case> cases = {
       { "class-library exception", [] { throw qor::GenericException( "Bad header" ); }, warning, "Bad header",
         "QOR Exception", false },
       { "toolkit error", [] { throw ConvertError( "Invalid number" ); }, warning, "Invalid number", ApplicationTitle(),
         false },
       { "refusal text", [] { throw ProcessRefusal( "Not now" ); }, warning, "Not now", ApplicationTitle(), false },
       { "cancellation", [] { throw ProcessRefusal( "" ); }, warning, "", "", true },
       { "already reported", [] { throw qor::CatchedException(); }, warning, "", "", false },
       { "out of memory", [] { throw std::bad_alloc(); }, warning, "Out of memory", ApplicationTitle(), false },
       { "out of memory as a fault", [] { throw std::bad_alloc(); }, OutOfMemoryReport::Unexpected, unexpected,
         "Unexpected Exception", false },
       { "anything else", [] { throw std::logic_error( "?" ); }, warning, unexpected, "Unexpected Exception", false },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      if ( !c.text.isEmpty() )
         prompter.Expect( { c.text, {}, c.caption, platform::Icon::Warning } );
      EXPECT_EQ( Report( c.failure, c.outOfMemory ), c.cancelled );
      EXPECT_EQ( prompter.Records().size(), c.text.isEmpty() ? 0u : 1u );
      EXPECT_TRUE( prompter.UnexpectedRecords().empty() );
      EXPECT_EQ( prompter.PendingCount(), 0u );
      ForgetAll();
   }
}
