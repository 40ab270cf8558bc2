#include "windows/image/DynamicCropData.h"

DynamicCropData::~DynamicCropData()
{
   DynamicCropData::Stop();
}

void DynamicCropData::Start( float, float, float, float )
{
}

void DynamicCropData::Stop()
{
   DynamicSessionData::Stop();
   dragMode = NoHit;
}

std::array<DynamicCropData::Point, 4> DynamicCropData::GetCorners() const
{
   return {};
}

void DynamicCropData::MouseDown( float x, float y )
{
   dragMode = HitTest( x, y );
}

void DynamicCropData::MouseUp()
{
   dragMode = NoHit;
}

const ProcessSessionDialog* DynamicCropData::SessionDialog()
{
   return nullptr;
}
