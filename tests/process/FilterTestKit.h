#ifndef LF_TESTS_PROCESS_FILTER_TEST_KIT_H
#define LF_TESTS_PROCESS_FILTER_TEST_KIT_H

// Helpers for the tests of the filter processes: parameter streams through a real file, and a view in memory that
// records what a run tells it (status tasks, the modification) and can answer the monitor with an abort.

#include <cstdint>
#include <string>
#include <vector>

#include "TestDirs.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "classlib/RGBColorSystem.h"
#include "process/Process.h"

namespace kit
{

class ParameterStreams
{
public:
   std::vector<uint8_t> Written( const Process::Parameters& p, float version = 1.0f )
   {
      qor::File file;
      file.CreateForReadWrite( dir.File( "out" ) );
      p.Write( file, version );
      std::vector<uint8_t> bytes( size_t( file.Size() ) );
      file.Seek( 0 );
      file.Read( bytes.data(), int64_t( bytes.size() ) );
      return bytes;
   }

   // Reads the record from the bytes; returns the bytes left over.
   int64_t ReadFrom( Process::Parameters& p, const std::vector<uint8_t>& bytes, float version = 1.0f )
   {
      qor::File file;
      file.CreateForReadWrite( dir.File( "in" ) );
      file.Write( bytes.data(), int64_t( bytes.size() ) );
      file.Seek( 0 );
      p.Read( file, version );
      return file.BytesLeft();
   }

   test::TempDir dir;
};

class RecordingView : public ProcessView
{
public:
   explicit RecordingView( qor::Image& image ) : image( image )
   {
      image.Status().SetCallback( &RecordingView::Callback, this );
   }
   ~RecordingView() { image.Status().SetCallback( nullptr, nullptr ); }
   RecordingView( const RecordingView& ) = delete;
   RecordingView& operator=( const RecordingView& ) = delete;

   bool IsPreview() const override { return false; }
   std::string FullId() const override { return "Image01"; }
   qor::Image* TargetImage() const override { return &image; }
   qor::RGBColorSystem* RGBWorkingSpace() const override { return &rgbws; }
   void Modified( bool ) override { ++modified; }
   void AddStatusTask( const std::string& text, int32_t level ) override
   {
      tasks.push_back( std::to_string( level ) + ":" + text );
   }
   // As the status dialog does, no abort is asked for while the run says it cannot be aborted.
   bool SetAbortable( bool on ) override
   {
      const bool was = abortable;
      abortable = on;
      return was;
   }

   static int32_t Callback( void* data, int32_t event, qor::StatusCallback& monitor )
   {
      auto* view = static_cast<RecordingView*>( data );
      if ( event == qor::StatusCallback::Started )
         view->monitorTexts.push_back( monitor.Text() );
      if ( event == qor::StatusCallback::Progress )
         ++view->progress;
      // Once asked, the abort is asked for at every later event, as the status dialog does.
      const bool abort = view->abortable && ( ( view->abortFromPhase > 0 && int( view->monitorTexts.size() ) >= view->abortFromPhase ) ||
                         ( view->abortFromTask > 0 && int( view->tasks.size() ) >= view->abortFromTask ) );
      return abort ? 1 : 0;
   }

   qor::Image& image;
   mutable qor::RGBColorSystem rgbws;
   int modified = 0;
   int progress = 0;
   int abortFromPhase = 0; // abort from the start of the monitor's phase of this number on (1: the first; 0: never)
   int abortFromTask = 0;  // abort once this many status tasks were added (0: never)
   bool abortable = true;
   std::vector<std::string> tasks;
   std::vector<std::string> monitorTexts;
};

} // namespace kit

#endif
