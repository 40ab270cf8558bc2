#ifndef LF_SUPPORT_PROCESS_REFUSAL_H
#define LF_SUPPORT_PROCESS_REFUSAL_H

#include <stdexcept>
#include <string>

// A run refused or cancelled by the framework: a non-empty text is shown to the user (titled with the application's
// title), an empty one means that the run was cancelled and nothing is to be said.
class ProcessRefusal : public std::runtime_error
{
public:
   explicit ProcessRefusal( const std::string& text ) : std::runtime_error( text ) {}
};

#endif
