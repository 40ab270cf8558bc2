#ifndef LF_SUPPORT_APPLICATION_NAMES_H
#define LF_SUPPORT_APPLICATION_NAMES_H

// The texts that name the application: the captions of its message boxes and the key of its settings.

#include <QString>

// "Corvanta Lumenforge " and the program version: the caption of the program's own message boxes.
QString ApplicationTitle();
// "Lumenforge 1.0": the toolkit's application title, captioning the start-up refusals.
QString ToolkitApplicationTitle();
// "\Software\Corvanta\Lumenforge\1.0": the key of the program's settings.
QString ApplicationRegistryKey();

#endif
