// Previews: the preview view with its stored state, in-memory undo and masking, and the window's preview editing
// (creation, change, selection, deletion, the search by point, outlines, moving and resizing with the mouse).

#include "windows/image/ImageWindow.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "process/Preferences.h"
#include "process/ProcessContainer.h"
#include "support/Utils.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/ProcessingWindow.h"

// ---- Preview --------------------------------------------------------------------------------------------------------

TImageWindow::Preview::Preview( TImageWindow* window, const std::string& identifier, int32_t left, int32_t top,
                                int32_t width, int32_t height )
    : View( &currentImage, window, identifier )
{
   SetRect( left, top, width, height );
   DrawCaptionBitmap();
}

TImageWindow::Preview::~Preview()
{
   ReleaseData();
   delete currentImage;
   currentImage = nullptr;
}

void TImageWindow::Preview::Modified( bool notify )
{
   if ( !notify )
      return;
   ++modificationCount;
   DiscardHistograms( false );
   DiscardStatistics( false );
}

std::string TImageWindow::Preview::FullIdentifier() const
{
   return window->mainView->Identifier() + "->" + identifier;
}

void TImageWindow::Preview::SetIdentifier( const std::string& text )
{
   identifier = text;
   DrawCaptionBitmap();
   NotifyViewRenamed( *this );
}

void TImageWindow::Preview::ReleaseData()
{
   maskingSource.reset();
   undoImage.reset();
   redoPossible = false;
   storedImage.reset();
   storedHistory.reset();
   ClearHistory();
}

const ProcessContainer& TImageWindow::Preview::StoredHistory() const
{
   static const ProcessContainer none;
   return storedHistory != nullptr ? *storedHistory : none;
}

std::unique_ptr<qor::Image> TImageWindow::Preview::StartingPixels() const
{
   auto pixels = std::make_unique<qor::Image>();
   if ( storedImage != nullptr )
      pixels->Assign( *storedImage );
   else
      pixels->AssignRect( *window->image, left, top, currentImage->Width(), currentImage->Height() );
   pixels->DeleteAlphaChannels();
   return pixels;
}

void TImageWindow::Preview::SetRect( int32_t l, int32_t t, int32_t width, int32_t height )
{
   ReleaseData();
   // The rectangle lies inside the image: every blend reads the mask and the main image under it.
   const qor::Image& main = *window->image;
   left = std::clamp( l, 0, std::max( main.Width() - 1, 0 ) );
   top = std::clamp( t, 0, std::max( main.Height() - 1, 0 ) );
   auto copy = std::make_unique<qor::Image>();
   copy->AssignRect( main, left, top, width, height );
   copy->DeleteAlphaChannels();
   delete currentImage;
   currentImage = copy.release();
   DiscardHistograms( false );
   DiscardStatistics( false );
   modificationCount = 0;
   if ( window->currentView == this )
      window->SetZoom( zoom );
}

void TImageWindow::Preview::Reset( int32_t l, int32_t t, int32_t width, int32_t height )
{
   SetRect( l, t, width, height );
   NotifyViewUpdated( *this );
}

void TImageWindow::Preview::Store()
{
   if ( redoPossible )
   {
      undoImage.reset();
      DiscardRedoProcess();
      redoPossible = false;
   }
   if ( storedImage == nullptr )
      storedImage = std::make_unique<qor::Image>();
   storedImage->Assign( *currentImage );
   if ( storedHistory == nullptr )
      storedHistory = std::make_unique<ProcessContainer>();
   storedHistory->AssignInstances( History().instances );
   DiscardRedoProcess();
   modificationCount = 0;
   NotifyPreviewStored( *this );
}

void TImageWindow::Preview::Restore( bool notify )
{
   if ( redoPossible )
   {
      undoImage.reset();
      DiscardRedoProcess();
      redoPossible = false;
   }
   std::unique_ptr<qor::Image> pixels = StartingPixels();
   currentImage->Transfer( *pixels );
   // The history goes back to the stored one; the redo slot is Undo's to fill.
   if ( storedHistory != nullptr )
      History().AssignInstances( storedHistory->instances );
   else
      History().DeleteInstances();
   DiscardHistograms( false );
   DiscardStatistics( false );
   modificationCount = 0;
   if ( window->currentView == this )
      window->RedrawImage();
   if ( notify )
      NotifyViewUpdated( *this );
}

void TImageWindow::Preview::Undo( bool notify )
{
   if ( modificationCount == 0 )
      return;
   if ( undoImage == nullptr )
      undoImage = std::make_unique<qor::Image>();
   undoImage->Assign( *currentImage );
   MoveLastProcessToRedo();
   Restore( notify );
   redoPossible = true;
}

void TImageWindow::Preview::Redo( bool notify )
{
   if ( !redoPossible )
      return;
   if ( undoImage != nullptr )
   {
      currentImage->Transfer( *undoImage );
      undoImage.reset();
   }
   MoveRedoProcessToHistory();
   DiscardHistograms( false );
   DiscardStatistics( false );
   ++modificationCount;
   redoPossible = false;
   if ( window->currentView == this )
      window->RedrawImage();
   if ( notify )
      NotifyViewUpdated( *this );
}

bool TImageWindow::Preview::ApplyMask( bool notify )
{
   if ( window->maskWindow == nullptr || window->maskWindow->image == nullptr )
      return false;
   ApplyMaskWithSource( *window->maskWindow->image, maskingSource.get(), notify );
   return true;
}

void TImageWindow::Preview::ApplyMaskWithSource( const qor::Image& mask, const qor::Image* source, bool notify )
{
   DiscardHistograms( false );
   DiscardStatistics( false );
   std::unique_ptr<qor::Image> starting;
   if ( source == nullptr )
   {
      starting = StartingPixels();
      source = starting.get();
   }
   qor::Image& current = *currentImage;
   const int32_t channels = current.NumberOfNominalChannels();
   const int32_t width = current.Width();
   const int32_t height = current.Height();
   // Blended only where the three fit together: the source of the preview's size and channels, the mask covering
   // the rectangle.
   if ( source->Width() != width || source->Height() != height || source->NumberOfNominalChannels() < channels ||
        left + width > mask.Width() || top + height > mask.Height() ||
        ( mask.IsColor() && mask.NumberOfNominalChannels() < channels ) )
      return;

   StatusMonitorScope monitorScope( current );
   qor::StatusCallback& monitor = current.Status();
   monitor.Initialize( "Applying mask", int64_t( height ) * channels );
   for ( int32_t c = 0; c < channels && !monitor.IsAborted(); ++c )
   {
      const int32_t maskChannel = mask.IsColor() ? c : 0;
      for ( int32_t y = 0; y < height && !monitor.IsAborted(); ++y )
      {
         float* p = current.ScanLine( c, y );
         const float* s = source->ScanLine( c, y );
         const float* m = mask.ScanLine( maskChannel, top + y ) + left;
         for ( int32_t x = 0; x < width; ++x )
         {
            const long double w = m[x];
            p[x] = float( p[x] * w + ( 1.0L - w ) * s[x] );
         }
         monitor.Advance( 1 );
      }
   }
   if ( monitor.IsAborted() )
      throw qor::Image::AbortProcessEvent( &current );
   if ( window->currentView == this )
      window->RedrawImage();
   if ( notify )
      NotifyViewUpdated( *this );
}

void TImageWindow::Preview::PrepareMaskingSource( bool fromCurrent )
{
   if ( fromCurrent )
   {
      if ( maskingSource == nullptr )
         maskingSource = std::make_unique<qor::Image>();
      maskingSource->Assign( *currentImage );
      maskingSource->DeleteAlphaChannels();
   }
   else
      maskingSource = StartingPixels();
}

void TImageWindow::Preview::DiscardMaskingSource()
{
   maskingSource.reset();
}

void TImageWindow::Preview::DrawCaptionBitmap()
{
   const ColorsFontsPreferences& prefs = CurrentPreferences.colorsFonts;
   QFont font( QString::fromStdString( prefs.previewTitleFont ) );
   const int height =
       ( prefs.previewTitleAutoFontSize || prefs.previewTitleFontSize <= 0 ) ? AutoFontHeight() : prefs.previewTitleFontSize;
   font.setPixelSize( std::max( height, 1 ) );
   const QFontMetrics metrics( font );
   const QString text = QString::fromStdString( identifier );
   captionBitmap = QImage( std::max( metrics.horizontalAdvance( text ), 0 ) + 2, std::max( metrics.height(), 1 ),
                           QImage::Format_Grayscale8 );
   captionBitmap.fill( Qt::black );
   QPainter painter( &captionBitmap );
   painter.setFont( font );
   painter.setPen( Qt::white );
   painter.drawText( 2, metrics.ascent(), text );
}

// ---- The window's previews ------------------------------------------------------------------------------------------

TImageWindow::Preview* TImageWindow::CreatePreview( const std::string& identifier, int32_t left, int32_t top,
                                                    int32_t width, int32_t height )
{
   auto* preview =
       new Preview( this, identifier.empty() ? DefaultPreviewIdentifier() : identifier, left, top, width, height );
   previews.push_back( preview );
   PreviewList.push_back( preview );
   RepaintViewTabs();
   if ( currentView == mainView )
   {
      selectedPreview = preview;
      RedrawImage();
   }
   ++previewCounter;
   NotifyViewCreated( *preview );
   return preview;
}

void TImageWindow::ModifyPreview( Preview* preview, const std::string& identifier, int32_t left, int32_t top,
                                  int32_t width, int32_t height )
{
   if ( std::find( previews.begin(), previews.end(), preview ) == previews.end() )
      return;
   const qor::Image& current = preview->GetImage();
   if ( left != preview->left || top != preview->top || width != current.Width() || height != current.Height() )
      preview->Reset( left, top, width, height );
   if ( identifier != preview->Identifier() )
   {
      preview->SetIdentifier( identifier );
      RepaintViewTabs();
   }
   if ( currentView == mainView )
      RedrawImage();
}

void TImageWindow::SetSelectedPreview( Preview* preview )
{
   if ( preview == selectedPreview )
      return;
   selectedPreview = preview;
   if ( currentView == mainView )
      RedrawImage();
}

void TImageWindow::DeletePreview( Preview* preview )
{
   auto i = std::find( previews.begin(), previews.end(), preview );
   if ( i == previews.end() )
      return;
   if ( selectedPreview == preview )
      selectedPreview = nullptr;
   if ( editedPreview == preview )
   {
      editedPreview = nullptr;
      previewMoving = previewResizing = false;
   }
   preview->beingDeleted = true;
   NotifyViewDeleted( *preview );
   PreviewList.erase( std::remove( PreviewList.begin(), PreviewList.end(), preview ), PreviewList.end() );
   previews.erase( i );
   const bool wasCurrent = currentView == preview;
   if ( wasCurrent )
      currentView = nullptr;
   delete preview;
   if ( previews.empty() )
      previewCounter = 0;
   if ( wasCurrent )
      SelectView( mainView );
   else
   {
      RepaintViewTabs();
      if ( currentView == mainView )
         RedrawImage();
   }
}

std::unique_ptr<qor::Image> TImageWindow::DeletePreviewAndTakeImage( Preview* preview )
{
   if ( std::find( previews.begin(), previews.end(), preview ) == previews.end() )
      return nullptr;
   auto taken = std::make_unique<qor::Image>();
   taken->Transfer( *preview->currentImage );
   DeletePreview( preview );
   return taken;
}

void TImageWindow::DeleteAllPreviews()
{
   if ( previews.empty() )
      return;
   selectedPreview = nullptr;
   editedPreview = nullptr;
   previewMoving = previewResizing = false;
   for ( Preview* p : previews )
   {
      p->beingDeleted = true;
      NotifyViewDeleted( *p );
      PreviewList.erase( std::remove( PreviewList.begin(), PreviewList.end(), p ), PreviewList.end() );
   }
   const bool previewCurrent = currentView != mainView;
   if ( previewCurrent )
      currentView = nullptr;
   for ( Preview* p : previews )
      delete p;
   previews.clear();
   previewCounter = 0;
   if ( previewCurrent )
      SelectView( mainView );
   else
   {
      RepaintViewTabs();
      RedrawImage();
   }
}

TImageWindow::Preview* TImageWindow::PreviewAt( int32_t x, int32_t y, int32_t tolerance ) const
{
   for ( auto i = previews.rbegin(); i != previews.rend(); ++i )
   {
      const Preview* p = *i;
      const qor::Image& img = p->GetImage();
      if ( x >= p->left - tolerance && x <= p->left + img.Width() + tolerance - 1 && y >= p->top - tolerance &&
           y <= p->top + img.Height() + tolerance - 1 )
         return *i;
   }
   return nullptr;
}

// ---- Moving and resizing --------------------------------------------------------------------------------------------

void TImageWindow::BeginPreviewMove( Preview* preview, int32_t x, int32_t y )
{
   if ( previewMoving || previewResizing )
      EndPreviewEdit();
   editedPreview = preview;
   previewMoving = true;
   previewResizing = false;
   const qor::Image& img = preview->GetImage();
   editLeft = preview->left;
   editTop = preview->top;
   editRight = preview->left + img.Width() - 1;
   editBottom = preview->top + img.Height() - 1;
   editLastX = x;
   editLastY = y;
   editGrabLeft = editGrabTop = editGrabRight = editGrabBottom = false;
   RedrawImage();
}

void TImageWindow::BeginPreviewResize( Preview* preview, int32_t x, int32_t y )
{
   BeginPreviewMove( preview, x, y );
   previewMoving = false;
   previewResizing = true;
   const int32_t zoom = currentView != nullptr ? currentView->zoom : 1;
   const int32_t tolerance = CurrentPreferences.imageWindow.cursorTolerance;
   const int32_t t = zoom > 0 ? tolerance / zoom : tolerance * -zoom;
   editGrabLeft = std::abs( x - editLeft ) <= t;
   editGrabTop = std::abs( y - editTop ) <= t;
   editGrabRight = std::abs( x - editRight ) <= t;
   editGrabBottom = std::abs( y - editBottom ) <= t;
}

void TImageWindow::MovePreviewEdit( int32_t x, int32_t y )
{
   if ( !previewMoving && !previewResizing )
      return;
   const int32_t dx = x - editLastX;
   const int32_t dy = y - editLastY;
   const int32_t width = image->Width();
   const int32_t height = image->Height();
   if ( previewMoving )
   {
      editLeft += dx;
      editRight += dx;
      editTop += dy;
      editBottom += dy;
      auto shift = []( int32_t& low, int32_t& high, int32_t size )
      {
         if ( low < 0 )
         {
            high -= low;
            low = 0;
         }
         if ( high >= size )
         {
            low -= high - ( size - 1 );
            high = size - 1;
         }
         low = std::max( low, 0 );
      };
      shift( editLeft, editRight, width );
      shift( editTop, editBottom, height );
   }
   else
   {
      // An edge never comes closer than the minimum size to the opposite one, and the rectangle stays inside the
      // image (an image smaller than the minimum gives the whole image).
      auto resize = []( bool grabLow, bool grabHigh, int32_t& low, int32_t& high, int32_t d, int32_t size )
      {
         const int32_t minimum = std::min( MinimumPreviewSize, size );
         if ( grabLow )
         {
            low = std::clamp( low + d, 0, size - 1 );
            if ( high - low + 1 < minimum )
               low = high - minimum + 1;
            if ( low < 0 )
            {
               low = 0;
               high = minimum - 1;
            }
         }
         if ( grabHigh )
         {
            high = std::clamp( high + d, 0, size - 1 );
            if ( high - low + 1 < minimum )
               high = low + minimum - 1;
            if ( high > size - 1 )
            {
               high = size - 1;
               low = size - minimum;
            }
         }
      };
      resize( editGrabLeft, editGrabRight, editLeft, editRight, dx, width );
      resize( editGrabTop, editGrabBottom, editTop, editBottom, dy, height );
   }
   editLastX = x;
   editLastY = y;
   RedrawImage();
}

void TImageWindow::EndPreviewEdit()
{
   if ( !previewMoving && !previewResizing )
      return;
   Preview* preview = editedPreview;
   editedPreview = nullptr;
   previewMoving = previewResizing = false;
   if ( preview != nullptr )
   {
      const qor::Image& img = preview->GetImage();
      if ( editLeft != preview->left || editTop != preview->top || editRight - editLeft + 1 != img.Width() ||
           editBottom - editTop + 1 != img.Height() )
         preview->Reset( editLeft, editTop, editRight - editLeft + 1, editBottom - editTop + 1 );
   }
   RedrawImage();
}

// ---- Outlines -------------------------------------------------------------------------------------------------------

void TImageWindow::DrawPreviewOutlines( QPainter& painter ) const
{
   if ( currentView != mainView || mainView == nullptr )
      return;
   const int32_t zoom = mainView->zoom;
   auto screen = [zoom]( int32_t v, int32_t offset )
   { return ( zoom > 0 ? v * zoom : int32_t( std::lround( double( v ) / -zoom ) ) ) + offset; };
   const ColorsFontsPreferences& prefs = CurrentPreferences.colorsFonts;

   auto outline = [&]( int32_t l, int32_t t, int32_t r, int32_t b, uint32_t colour, const QImage& caption,
                       bool cross )
   {
      const int32_t x0 = screen( l, imageOffsetX ), y0 = screen( t, imageOffsetY );
      const int32_t x1 = screen( r, imageOffsetX ), y1 = screen( b, imageOffsetY );
      painter.setPen( QPen( PreferenceColor( colour ), 1 ) );
      painter.setBrush( Qt::NoBrush );
      const QPoint corners[] = { { x0, y0 }, { x0, y1 }, { x1, y1 }, { x1, y0 }, { x0, y0 } };
      painter.drawPolyline( corners, 5 );
      if ( cross )
      {
         const int32_t cx = int32_t( std::lround( ( x0 + x1 ) * 0.5 ) ), cy = int32_t( std::lround( ( y0 + y1 ) * 0.5 ) );
         painter.drawLine( cx - 4, cy - 4, cx + 5, cy + 5 );
         painter.drawLine( cx - 4, cy + 4, cx + 5, cy - 5 );
      }
      if ( !caption.isNull() )
      {
         // The caption inverts what lies under it, as the label of an outline should stay readable anywhere.
         const QPainter::CompositionMode mode = painter.compositionMode();
         painter.setCompositionMode( QPainter::CompositionMode_Difference );
         painter.drawImage( x0, y0, caption );
         painter.setCompositionMode( mode );
      }
   };

   for ( const Preview* p : previews )
   {
      if ( p == editedPreview )
         continue;
      const qor::Image& img = p->GetImage();
      outline( p->left, p->top, p->left + img.Width(), p->top + img.Height(),
               p == selectedPreview ? prefs.selectedPreviewColor : prefs.previewColor, p->CaptionBitmap(), false );
   }
   if ( editedPreview != nullptr && ( previewMoving || previewResizing ) )
      outline( editLeft, editTop, editRight + 1, editBottom + 1, prefs.selectedPreviewColor,
               editedPreview->CaptionBitmap(), true );
}
