#ifndef LF_TESTS_IMAGE_FILE_TEST_SUPPORT_H
#define LF_TESTS_IMAGE_FILE_TEST_SUPPORT_H

// Fixture of the tests that open, save and paste images: scripted boxes, a temporary folder, the preferences and
// the clipboard restored after each test, and every image window closed at its end.

#include <QClipboard>
#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "TestDirs.h"
#include "TestSupport.h"
#include "classlib/Image.h"
#include "formats/FITS.h"
#include "process/Preferences.h"
#include "windows/image/ImageFileFormat.h"
#include "windows/image/ImageWindow.h"

namespace test
{

class ImageFileTest : public ScriptedUiTest
{
protected:
   void SetUp() override
   {
      ScriptedUiTest::SetUp();
      savedPreferences = CurrentPreferences;
      ASSERT_TRUE( MainViewList.empty() );
   }

   void TearDown() override
   {
      CloseAllImageWindows();
      CurrentPreferences = savedPreferences;
      QGuiApplication::clipboard()->clear();
      ScriptedUiTest::TearDown();
   }

   static void CloseAllImageWindows()
   {
      std::vector<TImageWindow*> windows;
      for ( TImageWindow::View* v : MainViewList )
         windows.push_back( v->Window() );
      for ( TImageWindow* w : windows )
      {
         w->modificationCount = 0;
         QWidget* frame = w->Frame();
         delete frame;
      }
   }

   // Runs the deletions of closed windows now.
   static void FlushDeletes() { QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete ); }

   // A w x h image with a different known sample everywhere (exact in 32-bit float FITS).
   static qor::Image* Pattern( int32_t w, int32_t h, int32_t channels = 1, int32_t colorSpace = 0, float base = 0 )
   {
      auto* image = new qor::Image( w, h, channels, colorSpace );
      for ( int32_t c = 0; c < channels; ++c )
         for ( int64_t i = 0; i < image->NumberOfPixels(); ++i )
            image->PixelData( c )[i] = base + float( c * 1000 + i ) / 65536.0f;
      return image;
   }

   // Writes a float FITS file of the image (samples kept exactly).
   static void WriteFloatFITS( const qor::Image& image, const std::string& path )
   {
      FITSOptions options;
      options.bitsPerSample = 32;
      options.floatingPoint = true;
      WriteFITS( image, path, &options, nullptr, nullptr );
   }

   // A window of a 4 x 4 FITS file written at the path, its pixels changed to 0.1 since and with one preview; null
   // when the file does not open.
   static TImageWindow* OpenAndEdit( const std::string& path )
   {
      WriteFloatFITS( *std::unique_ptr<qor::Image>( Pattern( 4, 4 ) ), path );
      TImageWindow* w = OpenImageFile( nullptr, path, false, "" );
      if ( w != nullptr )
      {
         w->image->Fill( 0, 0.1f );
         w->CreatePreview( "", 0, 0, 2, 2 );
      }
      return w;
   }

   static std::string Contents( const std::string& path )
   {
      std::ifstream in( path, std::ios::binary );
      return std::string( std::istreambuf_iterator<char>( in ), {} );
   }

   static void WriteText( const std::string& path, const std::string& text )
   {
      std::ofstream( path, std::ios::binary ) << text;
   }

   static bool SamePixels( const qor::Image& a, const qor::Image& b )
   {
      if ( a.Width() != b.Width() || a.Height() != b.Height() || a.NumberOfChannels() != b.NumberOfChannels() ||
           a.GetColorSpace() != b.GetColorSpace() )
         return false;
      for ( int32_t c = 0; c < a.NumberOfChannels(); ++c )
         for ( int64_t i = 0; i < a.NumberOfPixels(); ++i )
            if ( a.PixelData( c )[i] != b.PixelData( c )[i] )
               return false;
      return true;
   }

   // The names in the temporary folder, sorted.
   std::vector<std::string> FolderNames() const
   {
      std::vector<std::string> names;
      for ( const auto& e : std::filesystem::directory_iterator( folder.Path() ) )
         names.push_back( e.path().filename().string() );
      std::sort( names.begin(), names.end() );
      return names;
   }

   TempDir folder;
   GlobalPreferences savedPreferences;
};

} // namespace test

#endif
