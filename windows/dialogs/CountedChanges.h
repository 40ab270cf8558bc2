#ifndef LF_WINDOWS_DIALOGS_COUNTED_CHANGES_H
#define LF_WINDOWS_DIALOGS_COUNTED_CHANGES_H

// The options dialogs store on OK only the working values that differ from the record, and count them.

#include <cstdint>

// Stores `value` in `target` when they differ, counting the change in `changes`.
template <class T>
void StoreCounted( T& target, const T& value, int32_t& changes )
{
   if ( target != value )
   {
      target = value;
      ++changes;
   }
}

#endif
