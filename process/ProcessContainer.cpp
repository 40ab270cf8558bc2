#include "process/ProcessContainer.h"

#include <QString>
#include <QWidget>

#include <chrono>
#include <cmath>
#include <cstdio>

#include "classlib/DateTime.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "platform/Prompter.h"
#include "process/ProcessExecution.h"
#include "process/ProcessInstanceStream.h"
#include "process/ProcessWindows.h"
#include "support/ApplicationNames.h"
#include "support/Utils.h"

namespace
{

// The steps of a run without the image windows: the Process members' own (which take the road installed, see
// process/ProcessExecution.h), nothing else.
class ProcessSteps final : public ProcessContainer::RunSteps
{
public:
   void PrepareTarget( Process& run, ProcessView& view ) override { run.PrepareTarget( view ); }
   void CheckDisplayChannel( Process& run, ProcessView& view ) override { run.CheckDisplayChannel( view ); }
   void FinishTarget( Process& run, ProcessView& view, bool notify ) override { run.FinishTarget( view, notify ); }
};

ProcessSteps processSteps;
ProcessContainer::RunSteps* frameworkSteps = nullptr;
ProcessContainer::RunSteps* installedSteps = nullptr;

// Text without the characters up to blank (control characters and blanks) at either end.
std::string Trimmed( const std::string& text )
{
   size_t first = 0;
   size_t last = text.size();
   while ( first < last && static_cast<unsigned char>( text[first] ) <= 0x20 )
      ++first;
   while ( last > first && static_cast<unsigned char>( text[last - 1] ) <= 0x20 )
      --last;
   return text.substr( first, last - first );
}

// The instance as one that never ran masked: no mask window, identifier or lost mask.
void ForgetMask( Process& instance )
{
   instance.SetMask( nullptr );
   instance.maskId.clear();
   instance.maskLost = false;
}

// Runs a clean-up step on a failure path: a failure of its own must not replace the failure being passed on.
template <typename Step>
void Quietly( Step step ) noexcept
{
   try
   {
      step();
   }
   catch ( ... )
   {
   }
}

// The view's image reports to the status dialog while it lives.
class MonitorScope
{
public:
   MonitorScope( ProcessContainer::RunSteps& steps, ProcessView& view ) : steps( steps ), view( view )
   {
      steps.Monitor( view, true );
   }
   ~MonitorScope()
   {
      Quietly( [this] { steps.Monitor( view, false ); } );
   }
   MonitorScope( const MonitorScope& ) = delete;
   MonitorScope& operator=( const MonitorScope& ) = delete;

private:
   ProcessContainer::RunSteps& steps;
   ProcessView& view;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// The base steps do nothing (and find no mask).

ProcessContainer::RunSteps::~RunSteps() = default;

bool ProcessContainer::RunSteps::ConfirmCancelDynamicSessions( ProcessView&, const Process& )
{
   return true;
}

void ProcessContainer::RunSteps::PrepareTarget( Process&, ProcessView& )
{
}

void ProcessContainer::RunSteps::CheckDisplayChannel( Process&, ProcessView& )
{
}

void ProcessContainer::RunSteps::AddToHistory( ProcessView&, std::unique_ptr<Process> )
{
}

void ProcessContainer::RunSteps::FinishTarget( Process&, ProcessView&, bool )
{
}

void ProcessContainer::RunSteps::AllowPainting( ProcessView& )
{
}

void ProcessContainer::RunSteps::RecoverTarget( Process&, ProcessView& )
{
}

void ProcessContainer::RunSteps::BeginTask( const std::string& )
{
}

void ProcessContainer::RunSteps::Monitor( ProcessView&, bool )
{
}

MaskTarget* ProcessContainer::RunSteps::FindMask( const std::string&, ProcessView& )
{
   return nullptr;
}

void ProcessContainer::RunSteps::KeepUnmaskedState( ProcessView&, int64_t )
{
}

bool ProcessContainer::RunSteps::ApplyMask( ProcessView&, MaskTarget* )
{
   return false;
}

void ProcessContainer::RunSteps::EndMasking( ProcessView&, bool )
{
}

void ProcessContainer::SetRunSteps( RunSteps* steps )
{
   installedSteps = steps;
}

void ProcessContainer::SetFrameworkRunSteps( RunSteps* steps )
{
   frameworkSteps = steps;
}

ProcessContainer::RunSteps& ProcessContainer::Steps()
{
   if ( installedSteps != nullptr )
      return *installedSteps;
   return ( frameworkSteps != nullptr ) ? *frameworkSteps : processSteps;
}

// ---------------------------------------------------------------------------------------------------------------

ProcessContainer::ProcessContainer( const ProcessContainer& source ) : Process( source )
{
   AssignInstances( source.instances );
}

ProcessContainer::~ProcessContainer()
{
   DeleteInstances();
}

std::unique_ptr<Process> ProcessContainer::Clone() const
{
   return std::make_unique<ProcessContainer>( *this );
}

std::unique_ptr<Process> ProcessContainer::ProbeInstance() const
{
   auto probe = std::make_unique<ProcessContainer>();
   for ( const Process* instance : instances )
      if ( instance->enabled )
         probe->AddInstance( instance->ProbeInstance() );
   return probe;
}

std::string ProcessContainer::Id() const
{
   return "ProcessContainer";
}

bool ProcessContainer::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TProcessContainerWindow" );
}

bool ProcessContainer::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void ProcessContainer::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      Process::LaunchInterface();
}

bool ProcessContainer::CanExecuteOn( const ProcessView& view ) const
{
   return !instances.IsEmpty() && FirstRefusal( view ).empty();
}

bool ProcessContainer::CanExecuteGlobal() const
{
   if ( instances.IsEmpty() )
      return false;
   for ( const Process* instance : instances )
      if ( instance->enabled && !instance->CanExecuteGlobal() )
         return false;
   return true;
}

std::string ProcessContainer::FirstRefusal( const ProcessView& view ) const
{
   for ( const Process* instance : instances )
      if ( instance->enabled && !instance->CanExecuteOn( view ) )
         return "Process " + instance->Id() + " cannot be executed on view: " + view.FullId();
   return std::string();
}

void ProcessContainer::ExecuteOn( ProcessView& view, bool notify )
{
   RunSteps& steps = Steps();
   processingTime = 0;
   if ( !steps.ConfirmCancelDynamicSessions( view, *this ) )
      throw ProcessRefusal( std::string() );
   // Every enabled instance must be able to run before the first one changes the target: a refusal halfway would
   // leave it half processed.
   std::string refusal = FirstRefusal( view );
   if ( !refusal.empty() )
      throw ProcessRefusal( refusal );
   if ( !ConfirmExecutionOn( view ) )
      throw ProcessRefusal( std::string() );

   bool running = false;
   try
   {
      // One undo for the whole sequence, from ModifiesTarget and UndoFlags of the container.
      steps.PrepareTarget( *this, view );
      running = true;
      TimedRun( *this, [&] { DoExecuteOn( view ); } );
      running = false;
      steps.CheckDisplayChannel( *this, view );

      // The history receives what ran: a clone without the disabled instances, none when nothing is left.
      std::unique_ptr<Process> clone = Clone();
      auto& ran = static_cast<ProcessContainer&>( *clone );
      ran.RemoveDisabled();
      if ( !ran.instances.IsEmpty() )
         steps.AddToHistory( view, std::move( clone ) );

      steps.FinishTarget( *this, view, notify );
   }
   catch ( const qor::Image::AbortProcessEvent& )
   {
      // The launch recovers the view from its undo data after a user abort.
      Quietly( [&] { steps.AllowPainting( view ); } );
      throw;
   }
   catch ( ... )
   {
      Quietly( [&] { steps.AllowPainting( view ); } );
      // The instances that ran before the failing one have changed the target: bring it back.
      if ( running )
         Quietly( [&] { steps.RecoverTarget( *this, view ); } );
      throw;
   }
}

void ProcessContainer::ExecuteGlobal()
{
}

void ProcessContainer::DoExecuteOn( ProcessView& view )
{
   RunSteps& steps = Steps();
   // Nested containers share the steps: only the outermost run ends the masking, since the pixels kept for a
   // masked nested container belong to the run around it.
   static int32_t nesting = 0;
   struct NestingScope
   {
      NestingScope() { ++nesting; }
      ~NestingScope() { --nesting; }
   } scope;
   const bool outermost = nesting == 1;
   try
   {
      for ( size_t i = 0; i < instances.Length(); ++i )
      {
         Process& instance = *instances[i];
         instance.processingTime = 0;
         if ( !instance.enabled )
            continue;
         if ( !instance.CanExecuteOn( view ) )
            throw ProcessRefusal( "Process " + instance.Id() + " cannot be executed on view: " + view.FullId() );
         if ( !instance.ConfirmExecutionOn( view ) )
            throw ProcessRefusal( std::string() );
         steps.BeginTask( instance.Id() );

         // An instance whose mask window is gone looks for it again by the identifier of its last masked run.
         if ( instance.mask == nullptr && !instance.maskId.empty() )
         {
            if ( MaskTarget* found = steps.FindMask( instance.maskId, view ) )
               instance.SetMask( found );
            else
            {
               QString text = QStringLiteral( "A required mask image was not found or is not compatible with the "
                                              "target image:\n" ) +
                              QString::fromStdString( instance.maskId ) + QStringLiteral( "\nApply unmasked ?" );
               platform::Answer answer = platform::Ask( platform::Icon::Error, ApplicationTitle(), text,
                                                        platform::Buttons::YesNoCancel, platform::Answer::Yes );
               if ( answer == platform::Answer::Cancel )
                  throw ProcessRefusal( std::string() );
               if ( answer == platform::Answer::No )
                  continue;
            }
         }

         const bool masking = instance.mask != nullptr;
         if ( masking )
            steps.KeepUnmaskedState( view, static_cast<int64_t>( i ) );

         TimedRun( instance, [&] {
            MonitorScope monitor( steps, view );
            instance.DoExecuteOn( view );
            if ( masking )
            {
               if ( instance.mask != nullptr )
                  steps.BeginTask( "Masking with " + instance.mask->MainViewId() );
               // The instance refers to the mask it was run with; a result that could not be blended records
               // none, so that the history does not claim a masking that never happened.
               if ( !steps.ApplyMask( view, instance.mask ) )
                  ForgetMask( instance );
            }
         } );
         instance.AfterExecutionOn( view );
      }
   }
   catch ( ... )
   {
      if ( outermost )
         Quietly( [&] { steps.EndMasking( view, true ); } );
      throw;
   }
   if ( outermost )
      steps.EndMasking( view, false );
}

void ProcessContainer::DoExecuteGlobal()
{
}

// ---------------------------------------------------------------------------------------------------------------

void ProcessContainer::ReadExtraData( qor::File& file )
{
   DeleteInstances();
   int32_t count = file.ReadValue<int32_t>();
   if ( count <= 0 )
      return;
   ProcessInstanceStream::CheckRecordCount( file, count );
   ProcessInstanceStream::NestingGuard nesting( file );
   try
   {
      for ( int32_t i = 0; i < count; ++i )
         AddInstance( ProcessInstanceStream::ReadInstance( file ) );
   }
   catch ( ... )
   {
      DeleteInstances();
      throw;
   }
}

void ProcessContainer::WriteExtraData( qor::File& file ) const
{
   file.WriteValue( static_cast<int32_t>( instances.Length() ) );
   for ( const Process* instance : instances )
      ProcessInstanceStream::WriteInstance( file, *instance );
}

// ---------------------------------------------------------------------------------------------------------------

bool ProcessContainer::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}

bool ProcessContainer::ModifiesTarget( const ProcessView& view ) const
{
   for ( const Process* instance : instances )
      if ( instance->enabled && instance->ModifiesTarget( view ) )
         return true;
   return false;
}

uint32_t ProcessContainer::UndoFlags( const ProcessView& view ) const
{
   uint32_t flags = 0;
   for ( const Process* instance : instances )
      if ( instance->enabled )
         flags |= instance->UndoFlags( view );
   return flags;
}

// ---------------------------------------------------------------------------------------------------------------

void ProcessContainer::AssignInstances( const qor::IndirectArray<Process>& source )
{
   // Clones first, so that a failing clone leaves this container as it was (the source may even be our own list).
   std::vector<std::unique_ptr<Process>> clones;
   clones.reserve( source.Length() );
   for ( const Process* instance : source )
      clones.push_back( instance->Clone() );
   DeleteInstances();
   for ( auto& clone : clones )
      AddInstance( std::move( clone ) );
}

void ProcessContainer::RemoveDisabled()
{
   // Nested containers are cleaned first, so that one left empty is known: it goes as well, since an empty
   // container cannot run, and a history holding one could never be replayed.
   for ( Process* instance : instances )
      if ( auto* nested = dynamic_cast<ProcessContainer*>( instance ); nested != nullptr && instance->enabled )
         nested->RemoveDisabled();
   auto keeps = []( const Process* instance )
   {
      const auto* nested = dynamic_cast<const ProcessContainer*>( instance );
      return instance->enabled && ( nested == nullptr || !nested->instances.IsEmpty() );
   };
   // The kept list is complete before anything is deleted, so that running out of memory on the way leaves the
   // container with no pointer to a deleted instance.
   qor::IndirectArray<Process> kept;
   for ( Process* instance : instances )
      if ( keeps( instance ) )
         kept.Add( instance );
   for ( Process* instance : instances )
      if ( !keeps( instance ) )
         delete instance;
   instances = std::move( kept );
}

void ProcessContainer::DeleteInstances()
{
   instances.DeleteObjects();
   instances.Clear();
}

void ProcessContainer::AddInstance( std::unique_ptr<Process> instance )
{
   instance->owner = this;
   instances.Add( instance.get() );
   instance.release();
}

// ---------------------------------------------------------------------------------------------------------------

std::string ProcessContainer::FormatDateTime( double date )
{
   static const char* const months[] = { "Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
   constexpr int64_t msPerDay = 86400000;
   // To the nearest millisecond, then the date and the time of day (which a date value counts from midnight).
   auto ms = static_cast<int64_t>( std::llround( date * static_cast<double>( msPerDay ) ) );
   int64_t day = ms / msPerDay;
   int64_t msOfDay = ms % msPerDay;
   if ( msOfDay < 0 )
   {
      msOfDay += msPerDay;
      --day;
   }
   using namespace std::chrono;
   year_month_day ymd{ sys_days{ days{ day - static_cast<int64_t>( qor::DateTime::UnixEpoch ) } } };
   int64_t seconds = msOfDay / 1000;

   char text[64];
   std::snprintf( text, sizeof( text ), "%04d %s %02u %02d:%02d:%02d", static_cast<int>( ymd.year() ),
                  months[static_cast<unsigned>( ymd.month() ) - 1], static_cast<unsigned>( ymd.day() ),
                  static_cast<int>( seconds / 3600 ), static_cast<int>( seconds / 60 % 60 ),
                  static_cast<int>( seconds % 60 ) );
   return text;
}

void ProcessContainer::ListInstances( std::vector<std::string>& list, int32_t depth ) const
{
   std::string indent( static_cast<size_t>( std::max( depth, 0 ) ), '\t' );
   std::string inner = indent + '\t';
   for ( size_t i = 0; i < instances.Length(); ++i )
   {
      const Process& instance = *instances[i];
      list.push_back( indent + instance.Id() );
      list.push_back( indent + "{" );
      if ( instance.startTime != 0 )
      {
         // The listing is source text: its numbers follow the C conventions whatever the user's locale.
         list.push_back( inner + "// startTime=\"" + FormatDateTime( instance.startTime ) + "\"" );
         list.push_back( inner + "// processingTime=" +
                         FormatReal( instance.processingTime * qor::DateTime::SecondsPerDay, 2 ) );
         list.emplace_back();
      }
      if ( auto* nested = dynamic_cast<const ProcessContainer*>( &instance ) )
         nested->ListInstances( list, depth + 1 );
      else
      {
         if ( !instance.maskId.empty() )
            list.push_back( inner + "maskId=\"" + instance.maskId + "\"" );
         if ( instance.parameters )
         {
            std::string text = instance.parameters->ToText( 0 );
            size_t start = 0;
            for ( size_t end = text.find( '\n' ); end != std::string::npos; end = text.find( '\n', start ) )
            {
               std::string piece = Trimmed( text.substr( start, end - start ) );
               list.push_back( piece.empty() ? std::string() : inner + piece );
               start = end + 1;
            }
            if ( start < text.size() )
               list.push_back( inner + text.substr( start ) );
         }
      }
      list.push_back( indent + "}" );
      if ( i + 1 < instances.Length() )
         list.emplace_back();
   }
}
