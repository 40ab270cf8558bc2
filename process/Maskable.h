#ifndef LF_PROCESS_MASKABLE_H
#define LF_PROCESS_MASKABLE_H

// The reference from an object (a process instance, as a rule) to the image window whose image masks it.
//
// The reference is not owned. While it is set the object is listed in the window's mask references, so that the
// window can tell its users when it goes away (it then calls SetMask( nullptr ) on each) or when its identifier
// changes (it calls MaskChanged() on each).
//
// The model sees the window only through MaskTarget, the face every image window shows to the objects it masks.

#include <string>

class Maskable;

class MaskTarget
{
public:
   // The window's list of mask references: the objects that use it as their mask.
   virtual void AddMaskReference( Maskable* user ) = 0;
   virtual void RemoveMaskReference( Maskable* user ) = 0;
   // True while the window is being destroyed: it drops its whole list then, and nobody may touch it.
   virtual bool IsBeingDestroyed() const = 0;
   // Identifier of the window's main view.
   virtual std::string MainViewId() const = 0;

protected:
   ~MaskTarget() = default;
};

// Whether the program is terminating (its windows then go away in any order): the windows install the question at
// start-up; until then the program is not terminating.
void SetProgramTerminatingQuery( bool ( *terminating )() );

class Maskable
{
public:
   Maskable() = default;
   // The copy uses the same mask window and registers itself with it.
   Maskable( const Maskable& source );
   Maskable& operator=( const Maskable& ) = delete;
   // Leaves the mask window's references, except while the program is terminating or the window is being
   // destroyed (then the window, or nothing at all, is left to touch).
   virtual ~Maskable();

   // Changes the mask window (nullptr: none). The same window again changes nothing and notifies nobody;
   // otherwise the object moves from the old window's references to the new one's and MaskChanged() is called.
   virtual void SetMask( MaskTarget* window );
   // Called when the mask reference or the mask window's identity changed.
   virtual void MaskChanged();

   MaskTarget* mask = nullptr;
};

#endif
