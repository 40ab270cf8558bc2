#include "Exception.h"

#include <atomic>
#include <cstdio>

namespace qor
{

namespace
{
std::atomic<Exception::ShowHandler> showHandler{ nullptr };
}

std::string Exception::Message() const
{
   std::string cls = ClassText();
   std::string err = ErrorText();
   if ( cls.empty() )
      return err;
   return cls + ":\n" + err;
}

std::string Exception::Caption() const
{
   return "QOR Exception";
}

void Exception::Show() const
{
   if ( ShowHandler handler = showHandler.load() )
      handler( Caption(), Message() );
   else
      std::fprintf( stderr, "%s: %s\n", Caption().c_str(), Message().c_str() );
}

const char* Exception::what() const noexcept
{
   try
   {
      whatText = Message();
   }
   catch ( ... )
   {
      return "qor::Exception";
   }
   return whatText.c_str();
}

void Exception::SetShowHandler( ShowHandler handler )
{
   showHandler.store( handler );
}

} // namespace qor
