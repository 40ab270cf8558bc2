#include "process/Invert.h"

#include "classlib/Image.h"

std::unique_ptr<Process> Invert::Clone() const
{
   return std::make_unique<Invert>( *this );
}

std::string Invert::Id() const
{
   return "Invert";
}

void Invert::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;
   image->Invert( 0xFFFF );
   view.Modified( true );
}
