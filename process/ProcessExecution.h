#ifndef LF_PROCESS_PROCESS_EXECUTION_H
#define LF_PROCESS_PROCESS_EXECUTION_H

// The road every process run takes (the Process members ExecuteOn, ExecuteGlobal, LaunchOn, LaunchGlobal,
// PrepareTarget, FinishTarget and CheckDisplayChannel follow it): the windows install theirs at start-up
// (windows/processing/ProcessExecution.h says what it does: undo, masking, the status dialog, the messages). Until
// then a run has the checks and the timed own work only, and a launch shows its failure.

#include <chrono>
#include <string>

#include "classlib/DateTime.h"

class Process;
class ProcessView;

// Runs the work of a process instance with its startTime set before it and its processingTime after it (left as
// it was when the work fails). The duration comes from a steady clock, so that a change of the system clock during
// a run cannot make it negative.
template <typename Instance, typename Work>
void TimedRun( Instance& instance, Work work )
{
   instance.startTime = qor::DateTime::Now();
   const auto begin = std::chrono::steady_clock::now();
   work();
   instance.processingTime = qor::DateTime::FromDuration( std::chrono::steady_clock::now() - begin );
}

// The road of every run; each member does what the Process member of that name says.
class ExecutionRoad
{
public:
   virtual void ExecuteOn( Process& process, ProcessView& view, bool notify ) = 0;
   virtual void ExecuteGlobal( Process& process ) = 0;
   virtual bool LaunchOn( Process& process, ProcessView& view ) = 0;
   virtual bool LaunchGlobal( Process& process ) = 0;
   virtual void PrepareTarget( Process& process, ProcessView& view ) = 0;
   virtual void FinishTarget( Process& process, ProcessView& view, bool notify ) = 0;
   virtual void CheckDisplayChannel( Process& process, ProcessView& view ) = 0;

protected:
   ~ExecutionRoad() = default;
};

// Installs the windows' road (nullptr: the plain one again). Not owned.
void SetExecutionRoad( ExecutionRoad* road );

#endif
