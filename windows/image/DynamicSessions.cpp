// The background-extraction session object as the image window sees it.

#include "windows/image/DynamicSessions.h"

void DynamicBackgroundExtractionData::Start( int32_t, int32_t )
{
}

void DynamicBackgroundExtractionData::Stop()
{
   DynamicSessionData::Stop();
   dragFlags = 0;
}

void DynamicBackgroundExtractionData::MouseDown( float x, float y )
{
   dragFlags = HitTest( x, y );
}

void DynamicBackgroundExtractionData::MouseUp()
{
   dragFlags = 0;
}

const ProcessSessionDialog* DynamicBackgroundExtractionData::SessionDialog()
{
   return nullptr;
}
