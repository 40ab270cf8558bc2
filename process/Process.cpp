#include "process/Process.h"

#include <QString>

#include <algorithm>
#include <vector>

#include "classlib/File.h"
#include "classlib/Math.h"
#include "platform/Prompter.h"
#include "process/ProcessInstanceStream.h"
#include "process/ProcessWindows.h"
#include "windows/main/Application.h"

namespace
{

std::vector<ProcessUpdateListener*>& Listeners()
{
   static std::vector<ProcessUpdateListener*> listeners;
   return listeners;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

void AddProcessUpdateListener( ProcessUpdateListener* listener )
{
   auto& listeners = Listeners();
   if ( std::find( listeners.begin(), listeners.end(), listener ) == listeners.end() )
      listeners.push_back( listener );
}

void RemoveProcessUpdateListener( ProcessUpdateListener* listener )
{
   auto& listeners = Listeners();
   listeners.erase( std::remove( listeners.begin(), listeners.end(), listener ), listeners.end() );
}

void NotifyProcessUpdated( Process& process )
{
   // A copy, so that listeners may come and go meanwhile; one removed before its turn is skipped.
   const std::vector<ProcessUpdateListener*> snapshot = Listeners();
   for ( ProcessUpdateListener* listener : snapshot )
   {
      const auto& current = Listeners();
      if ( std::find( current.begin(), current.end(), listener ) != current.end() )
         listener->ProcessUpdated( process );
   }
}

// ---------------------------------------------------------------------------------------------------------------

Process::Parameters::~Parameters() = default;

Process::Process( const Process& source )
   : Maskable( source ),
     owner( source.owner ),
     enabled( source.enabled ),
     maskId( source.maskId ),
     maskLost( source.maskLost ),
     startTime( source.startTime ),
     processingTime( source.processingTime )
{
}

Process::~Process() = default;

void Process::SetMask( MaskTarget* window )
{
   maskLost = mask != nullptr && window == nullptr;
   Maskable::SetMask( window );
   if ( !maskLost )
      maskId = ( window != nullptr ) ? window->MainViewId() : std::string();
}

void Process::MaskChanged()
{
   if ( mask != nullptr )
      maskId = mask->MainViewId();
   NotifyProcessUpdated( *this );
}

std::unique_ptr<Process> Process::ProbeInstance() const
{
   return Clone();
}

std::string Process::Category() const
{
   return "General";
}

std::string Process::ToText() const
{
   // Appended in place: putting the separator in front of the parameters' text would shift that whole text
   // within its own buffer, an overlapping copy for nothing.
   std::string text = Id();
   if ( parameters )
   {
      text += ' ';
      text += parameters->ToText( 0 );
   }
   return text;
}

float Process::Version() const
{
   return 1.0f;
}

QAction* Process::Action() const
{
   return ProcessAction( Id() );
}

bool Process::IsInterface( const QWidget* ) const
{
   return false;
}

void Process::ImportToInterface( ProcessInterface& window ) const
{
   window.ImportInstance( *this );
}

bool Process::IsInterfaceAvailable() const
{
   return false;
}

void Process::LaunchInterface()
{
   platform::ShowMessage( platform::Icon::Error, ApplicationTitle(),
                          QString::fromStdString( Id() + ": Undefined interface." ) );
}

bool Process::CanExecuteOn( const ProcessView& ) const
{
   return true;
}

bool Process::CanExecuteGlobal() const
{
   return false;
}

// ---------------------------------------------------------------------------------------------------------------

float Process::StreamVersion( float version )
{
   return qor::Round( 1000.0f * version ) / 1000.0f;
}

void Process::Read( qor::File& file )
{
   // Everything is read aside first, so that a short or damaged stream leaves this instance as it was.
   float version = StreamVersion( file.ReadValue<float>() );
   std::unique_ptr<Parameters> readParameters;
   if ( parameters )
   {
      readParameters = parameters->Clone();
      readParameters->Read( file, version );
   }
   file.ReadValue<int32_t>(); // the owner word carries nothing
   bool readEnabled = file.ReadValue<uint8_t>() != 0;
   // A mask identifier is an image identifier: a length that no identifier has is damage, refused before anything
   // is allocated for it.
   int32_t maskIdLength = file.ReadValue<int32_t>();
   if ( maskIdLength < 0 || maskIdLength > ProcessInstanceStream::MaxIdentifierLength )
      throw ProcessInstanceStream::Error( file.Path() );
   std::string readMaskId = file.ReadString( maskIdLength );
   bool readMaskLost = file.ReadValue<uint8_t>() != 0;
   double readStartTime = file.ReadValue<double>();
   double readProcessingTime = file.ReadValue<double>();

   if ( readParameters )
      parameters->Assign( *readParameters );
   enabled = readEnabled;
   maskId = std::move( readMaskId );
   maskLost = readMaskLost;
   startTime = readStartTime;
   processingTime = readProcessingTime;
   ReadExtraData( file );
}

void Process::Write( qor::File& file ) const
{
   float version = StreamVersion( Version() );
   file.WriteValue( version );
   if ( parameters )
      parameters->Write( file, version );
   // The owner word carries no information; it is always 0, so that equal instances write equal bytes.
   file.WriteValue( int32_t( 0 ) );
   file.WriteValue( uint8_t( enabled ? 1 : 0 ) );
   file.WriteValue( static_cast<int32_t>( maskId.size() ) );
   file.WriteString( maskId );
   file.WriteValue( uint8_t( maskLost ? 1 : 0 ) );
   file.WriteValue( startTime );
   file.WriteValue( processingTime );
   WriteExtraData( file );
}

// ---------------------------------------------------------------------------------------------------------------

void Process::DoExecuteOn( ProcessView& )
{
}

void Process::DoExecuteGlobal()
{
}

bool Process::ConfirmExecutionOn( ProcessView& )
{
   return true;
}

void Process::AfterExecutionOn( ProcessView& )
{
}

void Process::ReadExtraData( qor::File& )
{
}

void Process::WriteExtraData( qor::File& ) const
{
}

bool Process::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return true;
}

bool Process::ModifiesTarget( const ProcessView& ) const
{
   return true;
}

uint32_t Process::UndoFlags( const ProcessView& ) const
{
   return UndoPixelData;
}
