#include "process/DynamicProcess.h"

std::string DynamicProcess::Category() const
{
   return "Dynamic";
}

bool DynamicProcess::CanExecuteOn( const ProcessView& view ) const
{
   if ( view.IsPreview() )
      return false;
   if ( IsSessionActive( view ) )
      if ( const ProcessSessionDialog* dialog = SessionDialog() )
         return dialog->ExecutingInstance() == this;
   return true;
}

const ProcessSessionDialog* DynamicProcess::SessionDialog() const
{
   return nullptr;
}
