#include "formats/FITSHeaderKeyword.h"

namespace
{

bool IsBlankOrControl( char c )
{
   auto u = static_cast<unsigned char>( c );
   return u <= 0x20 || u == 0x7F;
}

} // namespace

FITSHeaderKeyword::FITSHeaderKeyword( const std::string& name, const std::string& value, const std::string& comment )
    : name( Trimmed( name ) ), value( Trimmed( value ) ), comment( Trimmed( comment ) )
{
}

std::string FITSHeaderKeyword::Trimmed( const std::string& text )
{
   size_t begin = 0;
   size_t end = text.size();
   while ( begin < end && IsBlankOrControl( text[begin] ) )
      ++begin;
   while ( end > begin && IsBlankOrControl( text[end - 1] ) )
      --end;
   return text.substr( begin, end - begin );
}
