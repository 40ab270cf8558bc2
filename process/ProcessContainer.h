#ifndef LF_PROCESS_PROCESS_CONTAINER_H
#define LF_PROCESS_PROCESS_CONTAINER_H

// A process whose parameters are an ordered list of other process instances.
//
// Run on a view, a container runs its enabled instances one after another, each through its own mask (the mask of
// its last masked run, found again by identifier when the window reference is gone); the whole sequence is one run
// for undo, history and abort. The same class is the processing history of every view: each successful run adds a
// clone of its instance to the history of the view it ran on, so a history can be saved, edited and replayed on
// another image. Containers nest.
//
// The container owns its instances; each instance's owner is the container. It has no parameter set.
//
// Stream: the common fields of every process, then (extra data) an int32 count and that many instance records
// (ProcessInstanceStream), disabled instances included. A failed read leaves the container empty.
//
// A run checks that every enabled instance can run on the view before the first one starts, so that a refusal
// never leaves the target half processed; a failure after the first instance has started (a cancelled question,
// an error of an instance) brings the view back from the undo data saved before the sequence, except for a user
// abort, which the launch itself answers by recovering the view.
//
// The parts of a run that belong to the execution framework and the image window (undo preparation, history,
// status tasks, mask look-up and blending, recovery) are reached through ProcessContainer::RunSteps: by default the
// framework's own steps (Process::PrepareTarget, FinishTarget, the view's history, the status dialog); tests
// install steps of their own.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Containers.h"
#include "process/Process.h"

class ProcessContainer : public Process
{
public:
   // What a container's run needs of the execution framework and the image window, each step called where the
   // framework's own execution of a process calls it. The members here do nothing (and find no mask); the steps in
   // use by default are the framework's.
   class RunSteps
   {
   public:
      virtual ~RunSteps();

      // false: the user kept a running dynamic session; the run ends silently.
      virtual bool ConfirmCancelDynamicSessions( ProcessView& view, const Process& run );
      // Saves the undo data of the whole sequence (from run's ModifiesTarget and UndoFlags) and stops painting.
      virtual void PrepareTarget( Process& run, ProcessView& view );
      virtual void CheckDisplayChannel( Process& run, ProcessView& view );
      // The history of the view takes the instance.
      virtual void AddToHistory( ProcessView& view, std::unique_ptr<Process> instance );
      // Ends the target's run: painting, redraw, notifications (notify: the processing windows are told).
      virtual void FinishTarget( Process& run, ProcessView& view, bool notify );
      // After a failure: painting allowed again.
      virtual void AllowPainting( ProcessView& view );
      // After a failure once PrepareTarget has run: the view back to the state saved by PrepareTarget.
      virtual void RecoverTarget( Process& run, ProcessView& view );
      // A task of the processing status dialog at level 1, without a total, made the current one.
      virtual void BeginTask( const std::string& text );
      // Connects (on) the progress monitor of the view's image to the status dialog while an instance works, or
      // disconnects whatever image the view has then (an instance may have given it another).
      virtual void Monitor( ProcessView& view, bool on );

      // The window whose main view has this identifier, when it can mask the view's window; else nullptr.
      virtual MaskTarget* FindMask( const std::string& maskId, ProcessView& view );
      // Keeps the unmasked state of the view before a masked instance runs. index: the instance's place in its
      // container. Every call is answered by one ApplyMask after the instance's work; a nested container's
      // instances keep and blend in between.
      virtual void KeepUnmaskedState( ProcessView& view, int64_t index );
      // Blends the view's processed pixels with the state kept last through the mask window's image, and drops
      // that state. mask nullptr: the mask window went away during the work; the state is only dropped. False when
      // nothing was blended (no mask, or a result that no longer fits the kept state or the mask).
      virtual bool ApplyMask( ProcessView& view, MaskTarget* mask );
      // After the sequence (failed: after a failure): drops whatever KeepUnmaskedState kept.
      virtual void EndMasking( ProcessView& view, bool failed );
   };

   // Installs the steps (nullptr: the framework's). Not owned.
   static void SetRunSteps( RunSteps* steps );
   // Installs the framework's steps: the image windows' (windows/processing/ProcessExecution.h), installed at
   // start-up (nullptr: the Process members' own PrepareTarget, CheckDisplayChannel and FinishTarget only). Not owned.
   static void SetFrameworkRunSteps( RunSteps* steps );
   static RunSteps& Steps();

   ProcessContainer() = default;
   // The Process copy, then a clone of every instance of the source.
   ProcessContainer( const ProcessContainer& source );
   ~ProcessContainer() override;

   std::unique_ptr<Process> Clone() const override;
   // A new container with the probe instance of every enabled instance, in order.
   std::unique_ptr<Process> ProbeInstance() const override;
   std::string Id() const override;
   // Its window edits the user's container.
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;

   // false without instances; otherwise false when an enabled instance cannot run.
   bool CanExecuteOn( const ProcessView& view ) const override;
   bool CanExecuteGlobal() const override;

   // The whole sequence as one run: checks, undo, timing, a history entry holding what ran.
   void ExecuteOn( ProcessView& view, bool notify ) override;
   // Runs nothing.
   void ExecuteGlobal() override;
   // The sequence itself: each enabled instance with its own mask.
   void DoExecuteOn( ProcessView& view ) override;
   void DoExecuteGlobal() override;

   void ReadExtraData( qor::File& file ) override;
   void WriteExtraData( qor::File& file ) const override;

   // false: each instance brings its own mask.
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
   // false without instances; otherwise whether an enabled instance modifies the target.
   bool ModifiesTarget( const ProcessView& view ) const override;
   // The OR of the enabled instances' flags (0 when none is enabled).
   uint32_t UndoFlags( const ProcessView& view ) const override;

   // Deletes the instances, then adds a clone of each given one, in order, owned by this container.
   void AssignInstances( const qor::IndirectArray<Process>& source );
   // Deletes every disabled instance, here and (recursively) in every enabled nested container; a nested
   // container left empty is deleted too (an empty container cannot run).
   void RemoveDisabled();
   // Deletes every instance.
   void DeleteInstances();
   // Takes an instance (appended; owner set to this container).
   void AddInstance( std::unique_ptr<Process> instance );

   // Appends the source-text listing of the instances, indented by depth tabs: per instance its identifier and a
   // braced block with its run time as comments, then its mask identifier and parameters (or the listing of a
   // nested container); an empty line between instances.
   void ListInstances( std::vector<std::string>& list, int32_t depth ) const;

   // "yyyy mmm dd hh:nn:ss" of a date value (days since 1899-12-30), with English month abbreviations: like the
   // listing's numbers, the date follows the C conventions, so that a listing reads the same on every system.
   static std::string FormatDateTime( double date );

   qor::IndirectArray<Process> instances;

private:
   // The first enabled instance that cannot run on the view: its refusal text; empty when all can.
   std::string FirstRefusal( const ProcessView& view ) const;
};

#endif
