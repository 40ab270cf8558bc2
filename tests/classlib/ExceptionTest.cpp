#include <gtest/gtest.h>

#include "Exception.h"

#include <string>

namespace
{

std::string shownCaption, shownMessage;

void Record( const std::string& caption, const std::string& message )
{
   shownCaption = caption;
   shownMessage = message;
}

class NoClassText : public qor::Exception
{
public:
   std::string ClassText() const override { return ""; }
   std::string ErrorText() const override { return "just the error"; }
};

} // namespace

TEST( Exception, MessageJoinsClassAndErrorText )
{
   EXPECT_EQ( qor::GenericException( "Singular matrix" ).Message(), "Singular matrix" );
   EXPECT_EQ( qor::GenericException( "" ).Message(), "" );
   EXPECT_EQ( qor::CatchedException().Message(), "" );
   EXPECT_EQ( NoClassText().Message(), "just the error" );
   EXPECT_STREQ( qor::GenericException( "abc" ).what(), "abc" );
}

TEST( Exception, ShowGoesThroughTheInstalledHandler )
{
   qor::Exception::SetShowHandler( &Record );
   qor::GenericException( "Something failed" ).Show();
   qor::Exception::SetShowHandler( nullptr );
   EXPECT_EQ( shownCaption, "QOR Exception" );
   EXPECT_EQ( shownMessage, "Something failed" );
}
