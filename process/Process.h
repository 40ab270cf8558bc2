#ifndef LF_PROCESS_PROCESS_H
#define LF_PROCESS_PROCESS_H

// The common base of every process: an object that knows its identifier, category and version, owns a parameter
// set, and runs on a view of an image window or, for a few kinds, without one.
//
// Every concrete process has a default constructor (the registry's prototype, a processing window's new
// instance), a copy constructor (used by Clone(), which stores a Clone() of the source's parameters) and
// overrides at least Clone() and Id(). Whoever creates or clones an instance owns it until it hands it on (to a
// history, a container, an icon, a processing window or the registry). An instance owns its parameters; it never
// owns its mask window or its owner.
//
// The model meets its neighbours through small faces declared here: ProcessView (a view of an image window),
// ProcessInterface (a processing window that can import an instance) and ProcessUpdateListener (every processing
// window, told when an instance changed). The windows implement them.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "process/Maskable.h"
#include "support/ProcessRefusal.h"

class FITSOptions;
class ProcessContainer;
class QAction;
class QWidget;

namespace qor
{
class File;
class Image;
class IPTCPhotoInfo;
class RGBColorSystem;
}

class Process;

// A view (the main view or a preview) of an image window, as the processes see it. A process reaches its target
// only through this face, never through the window's classes, so that it can be run and tested on a plain view in
// memory. It grows with what the processes need of their targets.
class ProcessView
{
public:
   virtual bool IsPreview() const = 0;
   // The identifier that names the view to the user ("Image01", "Image01->Preview01").
   virtual std::string FullId() const = 0;
   // The image the view shows and a run changes (a preview's own pixels for a preview); nullptr when it has none.
   virtual qor::Image* TargetImage() const { return nullptr; }
   // The whole image of the view's window (for a main view its TargetImage()), and where a preview's rectangle
   // begins in it (0, 0 for a main view).
   virtual const qor::Image* WholeImage() const { return TargetImage(); }
   virtual void PreviewOrigin( int32_t& left, int32_t& top ) const { left = top = 0; }
   // The pixels a run on the view starts from: a preview's stored image, or the whole image when it stores none
   // (a run on a preview begins by returning to them); for a main view its TargetImage().
   virtual const qor::Image* StartingImage() const { return WholeImage(); }
   // The identifier of the window's main view (what "&imageId;" stands for in identifier templates).
   virtual std::string MainViewId() const { return FullId(); }
   // Gives the window's main view another identifier, used as it is (the caller has checked it and made it
   // unique): the window is renamed and whatever shows the name is told.
   virtual void SetMainViewId( const std::string& /*identifier*/ ) {}
   // The RGB working space of the view's window, through which colour components are computed; nullptr for none.
   virtual qor::RGBColorSystem* RGBWorkingSpace() const { return nullptr; }
   // The view's pixels were changed by a run: with notify, whatever depends on them is told.
   virtual void Modified( bool notify ) {}
   // Masks of the view's window: whether its mask window holds a colour image, and removing that mask; whether
   // anything uses the window as its mask, and detaching all of those users.
   virtual bool HasColorMask() const { return false; }
   virtual void RemoveMask() {}
   virtual bool HasMaskReferences() const { return false; }
   virtual void ReleaseMaskReferences() {}
   // The mask window of the view's window when masking is enabled there; nullptr otherwise.
   virtual MaskTarget* EnabledMask() const { return nullptr; }
   // Colour management of the view's window: its embedded ICC profile (nullptr: untagged); giving it a new one
   // (nullptr: forgetting it), which redraws the window; whether its file stores 32 or more bits per sample.
   virtual const std::vector<uint8_t>* ICCProfileData() const { return nullptr; }
   virtual void SetICCProfile( std::unique_ptr<std::vector<uint8_t>> /*profile*/ ) {}
   virtual bool HasHighBitDepthFile() const { return false; }
   // Puts a new image in the place of the view's image (a run that changed its colour type), which is deleted.
   virtual void ReplaceImage( std::unique_ptr<qor::Image> /*image*/ ) {}
   // Adds a line to the running processing status (indented by level) and makes it the current one.
   virtual void AddStatusTask( const std::string& /*text*/, int32_t /*level*/ ) {}
   // Whether the user may abort the run from now on; returns whether they could before. A step that must not be
   // cut short turns it off and, when it was on, back on afterwards.
   virtual bool SetAbortable( bool /*abortable*/ ) { return false; }
   // The FITS options (with the header keywords) and the IPTC photo information of the view's window; nullptr
   // when the view has none (a preview never has).
   virtual FITSOptions* FITSOptionsRecord() const { return nullptr; }
   virtual qor::IPTCPhotoInfo* IPTCPhotoInfoRecord() const { return nullptr; }

protected:
   ~ProcessView() = default;
};

// A processing window that can take an instance's parameters into its controls.
class ProcessInterface
{
public:
   virtual void ImportInstance( const Process& instance ) = 0;

protected:
   ~ProcessInterface() = default;
};

// Told, in order of registration, whenever an instance changed in a way its windows may show (NotifyProcessUpdated).
class ProcessUpdateListener
{
public:
   virtual void ProcessUpdated( Process& instance ) = 0;

protected:
   ~ProcessUpdateListener() = default;
};

void AddProcessUpdateListener( ProcessUpdateListener* listener );
void RemoveProcessUpdateListener( ProcessUpdateListener* listener );
// Calls ProcessUpdated( process ) on every listener, in order of registration. A listener may unregister itself
// (or another) meanwhile; one that was removed is not called.
void NotifyProcessUpdated( Process& process );

class Process : public Maskable
{
public:
   // The interface of every parameter set. Parameter sets are plain data; a concrete set knows its own fields.
   class Parameters
   {
   public:
      virtual ~Parameters();
      // A new set of the same class, equal to this one.
      virtual std::unique_ptr<Parameters> Clone() const = 0;
      // Copies all values of another set of the same class.
      virtual void Assign( const Parameters& source ) = 0;
      // Reads the values in the layout of that instance version (older versions may have older layouts).
      virtual void Read( qor::File& file, float version ) = 0;
      virtual void Write( qor::File& file, float version ) const = 0;
      // The values as source text: assignments name=value (texts in double quotes) separated by ",\n", indented
      // by the level.
      virtual std::string ToText( int32_t level ) const = 0;
   };

   // Undo flags (which parts of the target window a run changes).
   static constexpr uint32_t UndoPixelData = 0x01;
   static constexpr uint32_t UndoRGBWorkingSpace = 0x02;
   static constexpr uint32_t UndoICCProfile = 0x04;
   static constexpr uint32_t UndoFITSKeywords = 0x08;
   static constexpr uint32_t UndoIPTCPhotoInfo = 0x10;
   static constexpr uint32_t UndoMainViewId = 0x20;

   Process() = default;
   // Copies the mask (registering with it), owner, enabled, maskId, maskLost, startTime and processingTime; no
   // parameter set (the concrete copy constructor clones one) and targetModificationCount 0.
   Process( const Process& source );
   Process& operator=( const Process& ) = delete;
   ~Process() override;

   // maskLost is set when a mask is removed, and the last maskId is then kept so that a replay can find the
   // window again by identifier; otherwise maskId follows the new window (empty for none).
   void SetMask( MaskTarget* window ) override;
   // Takes the mask window's current main-view identifier and tells the processing windows.
   void MaskChanged() override;

   virtual std::unique_ptr<Process> Clone() const = 0;
   // An instance used only to test whether a drop would be accepted: Clone().
   virtual std::unique_ptr<Process> ProbeInstance() const;
   virtual std::string Id() const = 0;
   // "General".
   virtual std::string Category() const;
   // Id(), then a blank and the parameters' text when there is a parameter set.
   virtual std::string ToText() const;
   // 1.0.
   virtual float Version() const;
   // The main window's action of the process, found by its identifier (process/ProcessWindows.h); its icon is the
   // process's picture. None without a main window.
   virtual QAction* Action() const;
   // Whether the form is this process's window; false.
   virtual bool IsInterface( const QWidget* form ) const;
   // Hands this instance to the window.
   virtual void ImportToInterface( ProcessInterface& window ) const;
   // Whether the process's window can be opened; false.
   virtual bool IsInterfaceAvailable() const;
   // Opens the process's window with this instance; here: an error box "<Id>: Undefined interface.".
   virtual void LaunchInterface();
   // true.
   virtual bool CanExecuteOn( const ProcessView& view ) const;
   // false.
   virtual bool CanExecuteGlobal() const;

   // The framework execution on a view (its road, process/ProcessExecution.h): the dynamic-session confirmation, the
   // applicability test, the confirmation, PrepareTarget, the timed own work, masking through the window's mask,
   // a clone of this instance appended to the view's history, FinishTarget. Throws ProcessRefusal on refusal or
   // cancellation, and whatever the work throws (abort, failure); the window's painting is always turned back on
   // first. notify: the processing windows are told that the view changed. A view that is not an image window's
   // gets the checks and the timed work only.
   virtual void ExecuteOn( ProcessView& view, bool notify );
   // The framework execution without a view: the applicability test, a status task and the timed own work.
   virtual void ExecuteGlobal();
   // The user-level runs: the main window busy, a bracket of the status dialog, the execution, and every failure
   // shown to the user (an abort rolls a preview or an image with undo data back). True when the run completed.
   // Never throw.
   virtual bool LaunchOn( ProcessView& view );
   virtual bool LaunchGlobal();

   // The fixed steps around the own work on an image window's view, shared with the process container.
   // PrepareTarget: painting off; a preview back to its stored state; for a main view that this process modifies,
   // the undo data (or, with undo disabled, the user's consent); targetModificationCount taken. Throws
   // ProcessRefusal( "" ) when the user declines.
   void PrepareTarget( ProcessView& view );
   // FinishTarget: previews reset when the main image changed, painting on, the current view redrawn, the
   // recovery copy deleted, the view-updated notification (with notify), then AfterExecutionOn.
   void FinishTarget( ProcessView& view, bool notify );
   // Sets the window's displayed channel back to the composite when the run removed the channel shown.
   void CheckDisplayChannel( ProcessView& view );

   // The fields common to every instance, then the extra data. A read keeps this instance unchanged when the
   // common fields cannot be read in full.
   virtual void Read( qor::File& file );
   virtual void Write( qor::File& file ) const;

   // The process's own work; nothing.
   virtual void DoExecuteOn( ProcessView& view );
   virtual void DoExecuteGlobal();
   // A last check before a run (it may ask the user); false abandons the run silently. true.
   virtual bool ConfirmExecutionOn( ProcessView& view );
   // Called at the end of a successful run; nothing.
   virtual void AfterExecutionOn( ProcessView& view );
   // Data that follow the common fields in a stream; none.
   virtual void ReadExtraData( qor::File& file );
   virtual void WriteExtraData( qor::File& file ) const;
   // Whether the result can be blended with the unprocessed data through a mask; true.
   virtual bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const;
   // Whether a run changes the target's data (false: no undo data are saved); true.
   virtual bool ModifiesTarget( const ProcessView& view ) const;
   // Which parts of the target window a run changes: UndoPixelData.
   virtual uint32_t UndoFlags( const ProcessView& view ) const;

   // The version as stored in streams: rounded to three decimals in single precision.
   static float StreamVersion( float version );

   std::unique_ptr<Parameters> parameters;
   ProcessContainer* owner = nullptr;
   bool enabled = true;
   std::string maskId;
   bool maskLost = false;
   int32_t targetModificationCount = 0;
   double startTime = 0;      // local date and time of the last run's start (days since 1899-12-30); 0: never run
   double processingTime = 0; // duration of the last run, in days
};

#endif
