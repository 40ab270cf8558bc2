#include "windows/image/DynamicBackgroundExtractionData.h"

#include <QPainter>
#include <QPolygon>
#include <QRect>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "classlib/Image.h"
#include "classlib/Math.h"
#include "platform/KeyTracker.h"
#include "process/DynamicBackgroundExtraction.h"
#include "process/Preferences.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"

namespace
{

int32_t Nearest( double v )
{
   return int32_t( std::nearbyint( v ) );
}

// A normalised coordinate from a stream, kept where a whole image side away from the image at most, so that the
// pixel position made of it is a sane integer (the clamping then brings it inside).
float SaneFraction( float v, float low, float high )
{
   return std::clamp( v, low, high );
}

// How the editing dialog is found (SetDynamicBackgroundExtractionEditor).
DynamicBackgroundExtractionEditor* ( *existingEditor )() = nullptr;
DynamicBackgroundExtractionEditor& ( *makeEditor )() = nullptr;

DynamicBackgroundExtractionEditor* ExistingEditor()
{
   return existingEditor != nullptr ? existingEditor() : nullptr;
}

} // namespace

struct DynamicBackgroundExtractionData::Mark
{
   QPolygon box;        // closed outline
   QPoint centroid;
   QPolygon symmetries; // a closed path (axial) or pairs of line ends from the centroid
   bool axial = false;
};

DynamicBackgroundExtractionData::DynamicBackgroundExtractionData( TImageWindow* window )
   : DynamicSessionData( window )
{
   const DBEDefaults& defaults = CurrentPreferences.dbeDefaults;
   tracking = defaults.tracking;
   defaultRadius = defaults.radius;
   tolerance = defaults.tolerance;
   smoothing = defaults.smoothing;
   subsample = defaults.subSample;
   sampleColor = PreferenceColor( CurrentPreferences.colorsFonts.dbeSampleColor );
   currentSampleColor = PreferenceColor( CurrentPreferences.colorsFonts.dbeSelectedSampleColor );
   symmetryCenterX = float( Width() ) * 0.5f;
   symmetryCenterY = float( Height() ) * 0.5f;
}

DynamicBackgroundExtractionData::~DynamicBackgroundExtractionData()
{
   DynamicBackgroundExtractionData::Stop();
}

// ---- The image ------------------------------------------------------------------------------------------------------

const qor::Image& DynamicBackgroundExtractionData::Image() const
{
   static const qor::Image none;
   return window != nullptr && window->image != nullptr ? *window->image : none;
}

int32_t DynamicBackgroundExtractionData::Width() const
{
   return Image().Width();
}

int32_t DynamicBackgroundExtractionData::Height() const
{
   return Image().Height();
}

int32_t DynamicBackgroundExtractionData::Channels() const
{
   const qor::Image& image = Image();
   return image.GetColorSpace() == qor::ColorSpace::RGB && image.NumberOfNominalChannels() >= 3 ? 3 : 1;
}

// ---- Start and stop -------------------------------------------------------------------------------------------------

void DynamicBackgroundExtractionData::Start( int32_t x, int32_t y )
{
   samples.clear();
   active = true;
   dragFlags = 0;
   currentSample = 0;
   RepaintCenter();
   AddSample( x, y );
   SetDialogData( this );
}

void DynamicBackgroundExtractionData::StartFromInstance( const Process& instance )
{
   const auto* dbe = dynamic_cast<const DynamicBackgroundExtraction*>( &instance );
   if ( dbe == nullptr )
      return;
   const DynamicBackgroundExtraction::Parameters& p = dbe->Params();
   if ( active )
      RepaintOverlay();
   samples.clear();
   active = true;
   dragFlags = 0;
   currentSample = 0;
   continuityOrder = p.continuityOrder;
   smoothing = p.smoothing;
   subsample = p.subsample;
   tolerance = p.tolerance;
   const int32_t W = Width(), H = Height();
   symmetryCenterX = float( W ) * p.symmetryCenterX;
   symmetryCenterY = float( H ) * p.symmetryCenterY;
   if ( p.interfaceSamples.empty() )
   {
      RepaintCenter();
      AddSample( 0, 0 );
   }
   else
   {
      const double L = std::max( W, H );
      for ( const DynamicBackgroundExtraction::SampleData& record : p.interfaceSamples )
      {
         int32_t x = Nearest( double( W ) * SaneFraction( record.x, -1, 2 ) );
         int32_t y = Nearest( double( H ) * SaneFraction( record.y, -1, 2 ) );
         int32_t r = std::max( 1, Nearest( SaneFraction( record.r, 0, 1 ) * L ) );
         qor::ClampBackgroundSample( x, y, r, W, H );
         Sample s;
         s.symmetries = record.symmetries;
         s.axialCount = record.nA;
         s.fixed = record.fixed != 0;
         if ( s.fixed )
            std::copy( record.f.begin(), record.f.end(), s.values );
         qor::DefineBackgroundSample( s, x, y, r );
         samples.push_back( std::move( s ) );
      }
      EvaluateAllSamples();
      RepaintOverlay();
   }
   SetDialogData( this );
}

void DynamicBackgroundExtractionData::Stop()
{
   if ( !active )
      return;
   SetDialogData( nullptr );
   RepaintOverlay();
   samples.clear();
   dragFlags = 0;
   active = false;
   currentSample = 0;
}

// ---- Mouse ----------------------------------------------------------------------------------------------------------

int32_t DynamicBackgroundExtractionData::PickTolerance() const
{
   const int32_t tolerance = CurrentPreferences.imageWindow.cursorTolerance;
   const int32_t z = window != nullptr && window->mainView != nullptr ? window->mainView->zoom : 1;
   return z > 0 ? Nearest( float( tolerance ) / float( z ) ) : -z * tolerance;
}

int32_t DynamicBackgroundExtractionData::SampleAt( int32_t x, int32_t y ) const
{
   const int32_t t = PickTolerance();
   for ( size_t i = 0; i < samples.size(); ++i )
   {
      const Sample& s = samples[i];
      const int32_t b = std::max( t, s.radius );
      if ( std::abs( x - s.anchorX ) <= b && std::abs( y - s.anchorY ) <= b )
         return int32_t( i );
   }
   return -1;
}

int32_t DynamicBackgroundExtractionData::HitTest( float fx, float fy ) const
{
   const int32_t x = int32_t( fx ), y = int32_t( fy );
   const float t = float( PickTolerance() );
   int32_t flags = 0;
   if ( std::fabs( float( x ) - symmetryCenterX ) <= t )
      flags |= VerticalLineDrag;
   if ( std::fabs( float( y ) - symmetryCenterY ) <= t )
      flags |= HorizontalLineDrag;
   if ( flags == 0 && SampleAt( x, y ) >= 0 )
      flags = SampleDrag;
   return flags;
}

void DynamicBackgroundExtractionData::MouseDown( float fx, float fy )
{
   const int32_t x = int32_t( fx ), y = int32_t( fy );
   dragFlags = 0;
   const int32_t lines = HitTest( fx, fy ) & ( VerticalLineDrag | HorizontalLineDrag );
   if ( lines != 0 )
   {
      RepaintCenter();
      dragFlags = lines;
      RepaintCenter();
   }
   else
   {
      int32_t i = SampleAt( x, y );
      if ( i < 0 )
      {
         AddSample( x, y );
         i = int32_t( samples.size() ) - 1;
      }
      dragFlags = SampleDrag;
      SelectSample( i );
   }
   if ( platform::KeyTracker::Instance().IsControlDown() )
      dragFlags |= SelectOnlyDrag;
   lastX = x;
   lastY = y;
}

void DynamicBackgroundExtractionData::MouseMove( float fx, float fy )
{
   const int32_t x = int32_t( fx ), y = int32_t( fy );
   if ( ( dragFlags & SelectOnlyDrag ) == 0 )
   {
      const int32_t dx = x - lastX, dy = y - lastY;
      if ( dragFlags & ( VerticalLineDrag | HorizontalLineDrag ) )
         SetSymmetryCenter( ( dragFlags & VerticalLineDrag ) ? symmetryCenterX + float( dx ) : symmetryCenterX,
                            ( dragFlags & HorizontalLineDrag ) ? symmetryCenterY + float( dy ) : symmetryCenterY );
      else if ( ( dragFlags & SampleDrag ) && currentSample < int32_t( samples.size() ) )
      {
         const Sample& s = samples[size_t( currentSample )];
         MoveSample( currentSample, s.anchorX + dx, s.anchorY + dy );
      }
   }
   lastX = x;
   lastY = y;
}

void DynamicBackgroundExtractionData::MouseUp()
{
   if ( ( dragFlags & SampleDrag ) && currentSample < int32_t( samples.size() ) )
      EvaluateSample( currentSample );
   if ( dragFlags & ( VerticalLineDrag | HorizontalLineDrag ) )
   {
      RepaintCenterAndSymmetries();
      dragFlags &= ~( VerticalLineDrag | HorizontalLineDrag );
      RepaintCenterAndSymmetries();
   }
   dragFlags = 0;
}

// ---- Samples --------------------------------------------------------------------------------------------------------

void DynamicBackgroundExtractionData::AddSample( int32_t x, int32_t y )
{
   int32_t r = defaultRadius;
   qor::ClampBackgroundSample( x, y, r, Width(), Height() );
   Sample s;
   qor::DefineBackgroundSample( s, x, y, r );
   samples.push_back( std::move( s ) );
   const int32_t i = int32_t( samples.size() ) - 1;
   EvaluateSample( i );
   RepaintSample( i );
}

void DynamicBackgroundExtractionData::SelectSample( int32_t i )
{
   if ( i == currentSample || i < 0 || i >= int32_t( samples.size() ) )
      return;
   RepaintSample( i );
   RepaintSample( currentSample );
   currentSample = i;
   RepaintSample( i );
   RefreshDialog();
}

void DynamicBackgroundExtractionData::MoveSample( int32_t i, int32_t x, int32_t y )
{
   if ( i < 0 || i >= int32_t( samples.size() ) )
      return;
   Sample& s = samples[size_t( i )];
   int32_t r = s.radius;
   qor::ClampBackgroundSample( x, y, r, Width(), Height() );
   if ( x == s.anchorX && y == s.anchorY )
      return;
   RepaintSample( i );
   s.anchorX = x;
   s.anchorY = y;
   EvaluateSample( i );
   RepaintSample( i );
}

void DynamicBackgroundExtractionData::ResizeSample( int32_t i, int32_t r )
{
   if ( i < 0 || i >= int32_t( samples.size() ) )
      return;
   Sample& s = samples[size_t( i )];
   int32_t x = s.anchorX, y = s.anchorY;
   qor::ClampBackgroundSample( x, y, r, Width(), Height() );
   if ( r == s.radius )
      return;
   RepaintSample( i );
   qor::DefineBackgroundSample( s, x, y, r );
   EvaluateSample( i );
   RepaintSample( i );
}

void DynamicBackgroundExtractionData::DeleteSample( int32_t i )
{
   const int32_t count = int32_t( samples.size() );
   if ( i < 0 || i >= count || count < 2 )
      return;
   const int32_t c0 = currentSample;
   RepaintSample( i );
   samples.erase( samples.begin() + i );
   if ( i < c0 )
      --currentSample;
   else if ( i == c0 && c0 >= int32_t( samples.size() ) )
      currentSample = int32_t( samples.size() ) - 1;
   RepaintSample( currentSample );
   if ( i <= c0 )
      RefreshDialog();
}

void DynamicBackgroundExtractionData::SetSymmetryCenter( float x, float y )
{
   if ( x == symmetryCenterX && y == symmetryCenterY )
      return;
   RepaintCenterAndSymmetries();
   symmetryCenterX = x;
   symmetryCenterY = y;
   RepaintCenterAndSymmetries();
   RefreshDialog();
}

void DynamicBackgroundExtractionData::EvaluateSample( int32_t i )
{
   if ( i < 0 || i >= int32_t( samples.size() ) )
      return;
   // The measurement moves the centroid, and the marks with it.
   RepaintSample( i );
   qor::EvaluateBackgroundSample( samples[size_t( i )], Image(), window->rgbWorkingSpace, tolerance );
   RepaintSample( i );
   if ( i == currentSample )
      RefreshDialog();
}

void DynamicBackgroundExtractionData::EvaluateAllSamples()
{
   for ( int32_t i = 0; i < int32_t( samples.size() ); ++i )
      EvaluateSample( i );
}

void DynamicBackgroundExtractionData::GenerateSampleGrid()
{
   int32_t r = defaultRadius;
   const std::vector<qor::BackgroundGridPoint> grid =
      qor::BackgroundSampleGrid( Width(), Height(), defaultRadius, autoIntervals, &r );
   if ( grid.empty() )
      return;
   RepaintOverlay();
   samples.clear();
   samples.reserve( grid.size() );
   for ( const qor::BackgroundGridPoint& p : grid )
   {
      Sample s;
      qor::DefineBackgroundSample( s, p.x, p.y, r );
      qor::EvaluateBackgroundSample( s, Image(), window->rgbWorkingSpace, tolerance );
      samples.push_back( std::move( s ) );
   }
   currentSample = 0;
   RepaintOverlay();
   RefreshDialog();
}

void DynamicBackgroundExtractionData::ChangeSample( int32_t i, const std::function<void( Sample& )>& change )
{
   if ( i < 0 || i >= int32_t( samples.size() ) )
      return;
   RepaintSample( i );
   change( samples[size_t( i )] );
   RepaintSample( i );
}

void DynamicBackgroundExtractionData::ChangeOverlay( const std::function<void()>& change )
{
   RepaintOverlay();
   change();
   RepaintOverlay();
}

std::unique_ptr<DynamicBackgroundExtraction> DynamicBackgroundExtractionData::NewInstance() const
{
   auto instance = std::make_unique<DynamicBackgroundExtraction>();
   DynamicBackgroundExtraction::Parameters& p = instance->Params();
   const int32_t W = std::max( Width(), 1 ), H = std::max( Height(), 1 );
   const float L = float( std::max( W, H ) );
   for ( const Sample& s : samples )
   {
      DynamicBackgroundExtraction::SampleData record;
      record.x = float( s.anchorX ) / float( W );
      record.y = float( s.anchorY ) / float( H );
      record.r = float( s.radius ) / L;
      record.fixed = s.fixed ? 1 : 0;
      std::copy( std::begin( s.values ), std::end( s.values ), record.f.begin() );
      record.symmetries = ( s.symmetries & AxialSymmetry ) != 0 ? uint8_t( AxialSymmetry ) : uint8_t( s.symmetries & 7 );
      record.nA = uint8_t( std::clamp( s.axialCount, 0, 255 ) );
      p.interfaceSamples.push_back( record );
   }
   const int32_t channels = Channels();
   qor::BackgroundModelPoints points =
      qor::BackgroundSamplePoints( samples, W, H, symmetryCenterX, symmetryCenterY, channels );
   p.SetPoints( points.Count(), channels );
   if ( p.HasPoints() )
   {
      p.x = std::move( points.x );
      p.y = std::move( points.y );
      p.f = std::move( points.f );
   }
   p.continuityOrder = continuityOrder;
   p.smoothing = smoothing;
   p.subsample = subsample;
   p.tolerance = tolerance;
   p.symmetryCenterX = symmetryCenterX / float( W );
   p.symmetryCenterY = symmetryCenterY / float( H );
   return instance;
}

// ---- Overlay --------------------------------------------------------------------------------------------------------

bool DynamicBackgroundExtractionData::ShowsSymmetries( int32_t i ) const
{
   return samples[size_t( i )].symmetries != 0 && ( i == currentSample || showAllSymmetries );
}

DynamicBackgroundExtractionData::Mark DynamicBackgroundExtractionData::SampleMark( int32_t i ) const
{
   const Sample& s = samples[size_t( i )];
   Mark mark;
   const QPoint tl = ImageToScreen( s.anchorX - s.radius, s.anchorY - s.radius );
   const QPoint br = ImageToScreen( s.anchorX + s.radius + 1, s.anchorY + s.radius + 1 );
   mark.box << tl << QPoint( tl.x(), br.y() ) << br << QPoint( br.x(), tl.y() ) << tl;
   mark.centroid = ImageToScreen( s.centerX, s.centerY );
   if ( !ShowsSymmetries( i ) )
      return mark;
   const double cx = symmetryCenterX, cy = symmetryCenterY;
   if ( s.symmetries & AxialSymmetry )
   {
      const int32_t k = s.AxialCopies() + 1;
      if ( k < 2 )
         return mark;
      mark.axial = true;
      mark.symmetries << mark.centroid;
      for ( int32_t j = 1; j < k; ++j )
      {
         const double t = j * 2 * std::numbers::pi / k;
         const double dx = s.centerX - cx, dy = s.centerY - cy;
         mark.symmetries << ImageToScreen( cx + std::cos( t ) * dx + std::sin( t ) * dy,
                                         cy - dx * std::sin( t ) + std::cos( t ) * dy );
      }
      mark.symmetries << mark.centroid;
      return mark;
   }
   const QPoint mirror = ImageToScreen( 2 * cx - s.centerX, 2 * cy - s.centerY );
   const QPoint p = mark.centroid;
   if ( s.symmetries & HorizontalSymmetry )
      mark.symmetries << p << QPoint( mirror.x(), p.y() );
   if ( s.symmetries & VerticalSymmetry )
      mark.symmetries << p << QPoint( p.x(), mirror.y() );
   if ( s.symmetries & CentralSymmetry )
      mark.symmetries << p << mirror;
   return mark;
}

void DynamicBackgroundExtractionData::DrawOverlay( QPainter& painter ) const
{
   if ( !OverlayShown() )
      return;
   painter.setBrush( Qt::NoBrush );
   const QSize size = window->PaintBoxSize();
   const QPoint centre = ImageToScreen( symmetryCenterX, symmetryCenterY );
   painter.setPen( QPen( ( dragFlags & VerticalLineDrag ) ? currentSampleColor : sampleColor, 1 ) );
   painter.drawLine( centre.x(), 0, centre.x(), size.height() );
   painter.setPen( QPen( ( dragFlags & HorizontalLineDrag ) ? currentSampleColor : sampleColor, 1 ) );
   painter.drawLine( 0, centre.y(), size.width(), centre.y() );
   for ( int32_t i = 0; i < int32_t( samples.size() ); ++i )
   {
      const Mark mark = SampleMark( i );
      painter.setPen( QPen( i == currentSample ? currentSampleColor : sampleColor, 1 ) );
      painter.drawPolyline( mark.box );
      const QPoint c = mark.centroid;
      painter.drawLine( c.x() - 4, c.y() - 4, c.x() + 5, c.y() + 5 );
      painter.drawLine( c.x() - 4, c.y() + 4, c.x() + 5, c.y() - 5 );
      if ( mark.axial )
         painter.drawPolyline( mark.symmetries );
      else
         for ( int32_t k = 0; k + 1 < mark.symmetries.size(); k += 2 )
            painter.drawLine( mark.symmetries[k], mark.symmetries[k + 1] );
   }
}

void DynamicBackgroundExtractionData::RepaintRect( const QRect& rect ) const
{
   if ( !OverlayShown() || window->IsBeingDestroyed() || window->closingCount > 0 )
      return;
   // With room for the pen and the ends of the crosses.
   RepaintScreenArea( rect.normalized().adjusted( -2, -2, 2, 2 ) );
}

void DynamicBackgroundExtractionData::RepaintSample( int32_t i ) const
{
   if ( !OverlayShown() || i < 0 || i >= int32_t( samples.size() ) )
      return;
   const Mark mark = SampleMark( i );
   QRect bounds = mark.box.boundingRect().united( QRect( mark.centroid - QPoint( 5, 5 ), mark.centroid + QPoint( 6, 6 ) ) );
   if ( !mark.symmetries.isEmpty() )
      bounds = bounds.united( mark.symmetries.boundingRect() );
   RepaintRect( bounds );
}

void DynamicBackgroundExtractionData::RepaintCenter() const
{
   if ( !OverlayShown() )
      return;
   const QSize size = window->PaintBoxSize();
   const QPoint centre = ImageToScreen( symmetryCenterX, symmetryCenterY );
   RepaintRect( QRect( centre.x(), 0, 1, size.height() + 1 ) );
   RepaintRect( QRect( 0, centre.y(), size.width() + 1, 1 ) );
}

void DynamicBackgroundExtractionData::RepaintCenterAndSymmetries() const
{
   RepaintCenter();
   for ( int32_t i = 0; i < int32_t( samples.size() ); ++i )
      if ( samples[size_t( i )].symmetries != 0 )
         RepaintSample( i );
}

void DynamicBackgroundExtractionData::RepaintOverlay() const
{
   RepaintCenter();
   for ( int32_t i = 0; i < int32_t( samples.size() ); ++i )
      RepaintSample( i );
}

bool DynamicBackgroundExtractionData::DeletePressed()
{
   if ( !active )
      return false;
   DynamicBackgroundExtractionEditor* dialog = ExistingEditor();
   if ( dialog != nullptr && dialog->EditData() == this )
      dialog->DeleteCurrentSample();
   return true;
}

// ---- Dialog ---------------------------------------------------------------------------------------------------------

void SetDynamicBackgroundExtractionEditor( DynamicBackgroundExtractionEditor* ( *existing )(),
                                           DynamicBackgroundExtractionEditor& ( *make )() )
{
   existingEditor = existing;
   makeEditor = make;
}

const ProcessSessionDialog* DynamicBackgroundExtractionData::SessionDialog()
{
   DynamicBackgroundExtractionEditor* dialog = ExistingEditor();
   return dialog != nullptr ? dialog->SessionDialog() : nullptr;
}

void DynamicBackgroundExtractionData::RefreshDialog() const
{
   DynamicBackgroundExtractionEditor* dialog = ExistingEditor();
   if ( dialog != nullptr && dialog->EditData() == this && dialog->IsShowing() )
      dialog->RefreshSampleControls();
}

void DynamicBackgroundExtractionData::SetDialogData( DynamicBackgroundExtractionData* data ) const
{
   // Stopping detaches the dialog only from these data; while the program ends nothing is shown any more.
   if ( data == nullptr )
   {
      DynamicBackgroundExtractionEditor* dialog = ExistingEditor();
      if ( dialog != nullptr && dialog->EditData() == this )
         dialog->SetEditData( nullptr );
      return;
   }
   if ( makeEditor != nullptr )
      makeEditor().SetEditData( data );
}
