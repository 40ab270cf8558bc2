#ifndef LF_FORMATS_FITS_HEADER_KEYWORD_H
#define LF_FORMATS_FITS_HEADER_KEYWORD_H

// One FITS header card: name, value in its FITS form (a string value keeps its single quotes, a logical value is
// T or F, a number its text, empty without a value) and comment (the text of COMMENT and HISTORY cards).

#include <string>

class FITSHeaderKeyword
{
public:
   FITSHeaderKeyword() = default;
   // Stores each text with leading and trailing blanks and control characters removed.
   FITSHeaderKeyword( const std::string& name, const std::string& value, const std::string& comment );

   bool operator==( const FITSHeaderKeyword& ) const = default;

   // The text without leading and trailing bytes that are blanks or control characters (0x00-0x20, 0x7F).
   static std::string Trimmed( const std::string& text );

   std::string name;
   std::string value;
   std::string comment;
};

#endif
