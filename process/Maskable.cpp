#include "process/Maskable.h"

#include "windows/main/MainWindow.h"

namespace
{

bool Terminating()
{
   return MainWindow != nullptr && MainWindow->terminating;
}

} // namespace

Maskable::Maskable( const Maskable& source ) : mask( source.mask )
{
   if ( mask != nullptr )
      mask->AddMaskReference( this );
}

Maskable::~Maskable()
{
   if ( mask != nullptr && !Terminating() && !mask->IsBeingDestroyed() )
      mask->RemoveMaskReference( this );
}

void Maskable::SetMask( MaskTarget* window )
{
   if ( window == mask )
      return;
   if ( mask != nullptr && !mask->IsBeingDestroyed() )
      mask->RemoveMaskReference( this );
   mask = window;
   if ( mask != nullptr )
      mask->AddMaskReference( this );
   MaskChanged();
}

void Maskable::MaskChanged()
{
}
