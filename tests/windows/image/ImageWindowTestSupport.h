#ifndef LF_TESTS_IMAGE_WINDOW_TEST_SUPPORT_H
#define LF_TESTS_IMAGE_WINDOW_TEST_SUPPORT_H

// Fixtures of the image-window tests: scripted boxes, the preferences restored after each test, and every window a
// test made destroyed at its end (so the global lists and the counter start empty for the next test).

#include <QPointer>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "classlib/Image.h"
#include "process/Preferences.h"
#include "windows/image/ImageWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace test
{

// Adds value to every sample, a row strip at a time with progress through the image's monitor (rows already done
// stay done when the user aborts).
inline void AddToEverySample( qor::Image& image, float value, const std::string& task )
{
   image.BeginTask( task, int64_t( image.NumberOfChannels() ) * image.Height() );
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
      image.ParallelRows( image.Height(),
                          [&]( int64_t y0, int64_t y1 )
                          {
                             for ( int64_t y = y0; y < y1; ++y )
                                for ( float& v : image.Row( c, int32_t( y ) ) )
                                   v += value;
                          } );
}

// A process of which only the identifier matters (the dynamic sessions tell processes apart by it).
class NamedProcess : public Process
{
public:
   explicit NamedProcess( std::string id ) : id( std::move( id ) ) {}
   std::unique_ptr<Process> Clone() const override { return std::make_unique<NamedProcess>( *this ); }
   std::string Id() const override { return id; }
   std::string id;
};

class ImageWindowTest : public ScriptedUiTest
{
protected:
   void SetUp() override
   {
      ScriptedUiTest::SetUp();
      savedPreferences = CurrentPreferences;
      ASSERT_TRUE( MainViewList.empty() );
      ASSERT_EQ( ImageWindowCounter, 0 );
   }

   void TearDown() override
   {
      for ( QPointer<TImageWindow>& w : windows )
         delete w.data();
      windows.clear();
      CurrentPreferences = savedPreferences;
      ScriptedUiTest::TearDown();
   }

   // A window for the image (a new top-level widget: no main window exists), tracked for deletion.
   TImageWindow* Make( qor::Image* image, const std::string& identifier = "" )
   {
      TImageWindow* w = CreateImageWindow( nullptr, image, identifier );
      windows.emplace_back( w );
      return w;
   }

   TImageWindow* Track( TImageWindow* w )
   {
      windows.emplace_back( w );
      return w;
   }

   // An image with samples from a fixed random sequence in [0, 1].
   static qor::Image* RandomImage( int32_t width, int32_t height, int32_t channels, int32_t colorSpace,
                                   uint32_t seed = 7 )
   {
      auto* image = new qor::Image( width, height, channels, colorSpace );
      std::mt19937 random( seed );
      std::uniform_real_distribution<float> unit( 0.0f, 1.0f );
      for ( int32_t c = 0; c < channels; ++c )
         for ( int64_t i = 0; i < image->NumberOfPixels(); ++i )
            image->PixelData( c )[i] = unit( random );
      return image;
   }

   // Gives the window a client area (viewport without scroll bars) of exactly w x h.
   static void SetClientSize( TImageWindow& window, int32_t w, int32_t h )
   {
      QSize margins = window.size() - window.maximumViewportSize();
      window.resize( w + margins.width(), h + margins.height() );
   }

   // The viewport point of an image pixel of the current view.
   static QPoint At( const TImageWindow& w, int32_t x, int32_t y )
   {
      const int32_t zoom = w.currentView->zoom;
      return { TImageWindow::Scaled( x, zoom ) + w.imageOffsetX - w.ScrollX(),
               TImageWindow::Scaled( y, zoom ) + w.imageOffsetY - w.ScrollY() };
   }

   std::vector<QPointer<TImageWindow>> windows;
   GlobalPreferences savedPreferences;
};

// The same, for tests that run processes on the windows under the status dialog: the program counts as the active
// application (the completion in the background has tests of its own), and no progress hook outlives a test.
class ImageWindowProcessTest : public ImageWindowTest
{
protected:
   void SetUp() override
   {
      ImageWindowTest::SetUp();
      savedActive = StatusDialog().applicationActive;
      StatusDialog().applicationActive = [] { return true; };
   }

   void TearDown() override
   {
      StatusDialog().progressHook = nullptr;
      StatusDialog().applicationActive = savedActive;
      ImageWindowTest::TearDown();
   }

   std::function<bool()> savedActive;
};

} // namespace test

#endif
