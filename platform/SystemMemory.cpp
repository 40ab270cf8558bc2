#include "platform/SystemMemory.h"

#include <QFile>
#include <QRegularExpression>

#include <utility>

namespace
{

std::function<std::optional<uint64_t>()>& InstalledProbe()
{
   static std::function<std::optional<uint64_t>()> probe;
   return probe;
}

} // namespace

std::optional<MemoryStatus> MemoryStatus::FromMeminfo( const QString& text )
{
   auto field = [&text]( const char* name ) -> std::optional<uint64_t>
   {
      const QRegularExpression pattern( QString( "^%1:\\s+(\\d+)\\s*kB" ).arg( name ),
                                        QRegularExpression::MultilineOption );
      const QRegularExpressionMatch match = pattern.match( text );
      if ( !match.hasMatch() )
         return std::nullopt;
      bool ok = false;
      const qulonglong kb = match.captured( 1 ).toULongLong( &ok );
      if ( !ok )
         return std::nullopt;
      return uint64_t( kb ) * 1024u;
   };
   const auto total = field( "MemTotal" );
   const auto available = field( "MemAvailable" );
   if ( !total || !available )
      return std::nullopt;
   MemoryStatus status;
   status.totalPhysical = *total;
   status.availablePhysical = *available;
   status.totalPaged = field( "SwapTotal" ).value_or( 0 );
   status.availablePaged = field( "SwapFree" ).value_or( 0 );
   return status;
}

std::optional<MemoryStatus> MemoryStatus::Current()
{
   QFile file( "/proc/meminfo" );
   if ( !file.open( QIODevice::ReadOnly | QIODevice::Text ) )
      return std::nullopt;
   return FromMeminfo( QString::fromLatin1( file.readAll() ) );
}

namespace platform
{

std::optional<uint64_t> AvailableMemory()
{
   if ( InstalledProbe() )
      return InstalledProbe()();
   const std::optional<MemoryStatus> status = MemoryStatus::Current();
   if ( !status )
      return std::nullopt;
   return status->availablePhysical + status->availablePaged;
}

AvailableMemoryScope::AvailableMemoryScope( std::function<std::optional<uint64_t>()> probe )
    : previous( std::exchange( InstalledProbe(), std::move( probe ) ) )
{
}

AvailableMemoryScope::~AvailableMemoryScope()
{
   InstalledProbe() = std::move( previous );
}

} // namespace platform
