#ifndef LF_SUPPORT_TOOLKIT_ERROR_H
#define LF_SUPPORT_TOOLKIT_ERROR_H

// Input errors of the user-interface layer, kept apart from the class library's qor::Exception family.
//
// The number and identifier checkers throw ConvertError (a malformed literal or identifier) and RangeError (a
// value outside its range), each carrying the text shown to the user unchanged. Whoever reads a control catches
// ToolkitError, shows what() in a warning box and abandons the action; any other exception there is unexpected.

#include <stdexcept>
#include <string>

class ToolkitError : public std::runtime_error
{
public:
   explicit ToolkitError( const std::string& message ) : std::runtime_error( message ) {}
};

class ConvertError : public ToolkitError
{
public:
   explicit ConvertError( const std::string& message ) : ToolkitError( message ) {}
};

class RangeError : public ToolkitError
{
public:
   explicit RangeError( const std::string& message ) : ToolkitError( message ) {}
};

#endif
