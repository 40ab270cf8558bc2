#include "process/Maskable.h"

namespace
{

bool ( *terminatingQuery )() = nullptr;

bool Terminating()
{
   return terminatingQuery != nullptr && terminatingQuery();
}

} // namespace

void SetProgramTerminatingQuery( bool ( *terminating )() )
{
   terminatingQuery = terminating;
}

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
