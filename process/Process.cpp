#include "process/Process.h"

#include <QString>

#include <algorithm>
#include <vector>

#include "classlib/File.h"
#include "classlib/Image.h"
#include "classlib/Math.h"
#include "platform/Prompter.h"
#include "process/ProcessExecution.h"
#include "process/ProcessInstanceStream.h"
#include "process/ProcessWindows.h"
#include "support/ApplicationNames.h"
#include "support/FailureReport.h"

namespace
{

// The road of a run without the program's windows (the processes alone): the checks and the timed own work; a
// launch shows its failure like every action does.
class PlainRoad final : public ExecutionRoad
{
public:
   void ExecuteOn( Process& process, ProcessView& view, bool ) override
   {
      process.processingTime = 0;
      if ( !process.CanExecuteOn( view ) )
         throw ProcessRefusal( "Process " + process.Id() + " cannot be executed on view: " + view.FullId() );
      if ( !process.ConfirmExecutionOn( view ) )
         throw ProcessRefusal( std::string() );
      TimedRun( process, [&] { process.DoExecuteOn( view ); } );
      process.AfterExecutionOn( view );
   }

   void ExecuteGlobal( Process& process ) override
   {
      process.processingTime = 0;
      if ( !process.CanExecuteGlobal() )
         throw ProcessRefusal( "Process " + process.Id() + " cannot be executed globally" );
      TimedRun( process, [&] { process.DoExecuteGlobal(); } );
   }

   bool LaunchOn( Process& process, ProcessView& view ) override
   {
      return Launch( process, [&] { process.ExecuteOn( view, false ); } );
   }

   bool LaunchGlobal( Process& process ) override
   {
      return Launch( process, [&] { process.ExecuteGlobal(); } );
   }

   void PrepareTarget( Process&, ProcessView& ) override {}
   void FinishTarget( Process& process, ProcessView& view, bool ) override { process.AfterExecutionOn( view ); }
   void CheckDisplayChannel( Process&, ProcessView& ) override {}

private:
   template <typename Execute>
   static bool Launch( Process& process, Execute execute )
   {
      try
      {
         execute();
         return true;
      }
      catch ( const qor::Image::AbortProcessEvent& )
      {
         platform::ShowMessage( platform::Icon::Information, QString::fromStdString( process.Id() ),
                                "Process aborted." );
      }
      catch ( ... )
      {
         ReportCaughtFailure( "process/Process", __LINE__ );
      }
      return false;
   }
};

ExecutionRoad* installedRoad = nullptr;

ExecutionRoad& Road()
{
   static PlainRoad plain;
   return installedRoad != nullptr ? *installedRoad : plain;
}

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

// ---- Execution: the road installed ------------------------------------------------------------------------------

void SetExecutionRoad( ExecutionRoad* road )
{
   installedRoad = road;
}

void Process::ExecuteOn( ProcessView& view, bool notify )
{
   Road().ExecuteOn( *this, view, notify );
}

void Process::ExecuteGlobal()
{
   Road().ExecuteGlobal( *this );
}

bool Process::LaunchOn( ProcessView& view )
{
   return Road().LaunchOn( *this, view );
}

bool Process::LaunchGlobal()
{
   return Road().LaunchGlobal( *this );
}

void Process::PrepareTarget( ProcessView& view )
{
   Road().PrepareTarget( *this, view );
}

void Process::FinishTarget( ProcessView& view, bool notify )
{
   Road().FinishTarget( *this, view, notify );
}

void Process::CheckDisplayChannel( ProcessView& view )
{
   Road().CheckDisplayChannel( *this, view );
}
