// Previews of an image window, as far as the window and its views need them: creation, deletion, the pixel copy
// of the rectangle, reset and restore to the main image's pixels.

#include "windows/image/ImageWindow.h"

#include <algorithm>

#include "process/ProcessContainer.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/processing/ProcessingWindow.h"

// ---- Preview --------------------------------------------------------------------------------------------------------

TImageWindow::Preview::Preview( TImageWindow* window, const std::string& identifier, int32_t left, int32_t top,
                                int32_t width, int32_t height )
    : View( &currentImage, window, identifier )
{
   SetRect( left, top, width, height );
}

TImageWindow::Preview::~Preview()
{
   delete currentImage;
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
   NotifyViewRenamed( *this );
}

void TImageWindow::Preview::SetRect( int32_t l, int32_t t, int32_t width, int32_t height )
{
   storedImage.reset();
   ClearHistory();
   left = l;
   top = t;
   auto copy = std::make_unique<qor::Image>();
   copy->AssignRect( *window->image, l, t, width, height );
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

void TImageWindow::Preview::Restore( bool notify )
{
   DiscardRedoProcess();
   if ( storedImage != nullptr )
      currentImage->Assign( *storedImage );
   else
      currentImage->AssignRect( *window->image, left, top, currentImage->Width(), currentImage->Height() );
   currentImage->DeleteAlphaChannels();
   ClearHistory();
   DiscardHistograms( false );
   DiscardStatistics( false );
   modificationCount = 0;
   if ( window->currentView == this )
      window->RedrawImage();
   if ( notify )
      NotifyViewUpdated( *this );
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

void TImageWindow::DeletePreview( Preview* preview )
{
   auto i = std::find( previews.begin(), previews.end(), preview );
   if ( i == previews.end() )
      return;
   if ( selectedPreview == preview )
      selectedPreview = nullptr;
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

void TImageWindow::DeleteAllPreviews()
{
   while ( !previews.empty() )
      DeletePreview( previews.back() );
}
