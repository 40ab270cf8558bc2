#include "support/ApplicationNames.h"

#include "support/Utils.h"

QString ApplicationTitle()
{
   return QString::fromStdString( ProgramTitle() );
}

QString ToolkitApplicationTitle()
{
   return QStringLiteral( "Lumenforge 1.0" );
}

QString ApplicationRegistryKey()
{
   return QStringLiteral( "\\Software\\Corvanta\\Lumenforge\\1.0" );
}
