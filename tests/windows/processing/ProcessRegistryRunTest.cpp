// Every registered process that changes the pixels of a view is run once on a small grey and a small RGB image
// and aborted at its first progress event: the image is left bit for bit as it was, with nothing in its history.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "classlib/Image.h"
#include "process/CurvesTransform.h"
#include "process/ImportChannels.h"
#include "process/ProcessContainer.h"
#include "process/ProcessRegistry.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"

namespace
{

std::vector<uint32_t> Bits( const qor::Image& image )
{
   std::vector<uint32_t> bits;
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
   {
      const size_t n = size_t( image.NumberOfPixels() );
      const size_t at = bits.size();
      bits.resize( at + n );
      std::memcpy( bits.data() + at, image.PixelData( c ), n * sizeof( float ) );
   }
   return bits;
}

class ProcessRegistryRunTest : public test::ImageWindowProcessTest
{
protected:
   // What a process's default instance needs besides its target, made for the run: ImportChannels reads its
   // components from open grey images of the target's size.
   void Prepare( Process& instance, const qor::Image& target )
   {
      if ( auto* import = dynamic_cast<ImportChannels*>( &instance ) )
         for ( size_t i = 0; i < 3; ++i )
         {
            const std::string id = "Source" + std::to_string( i );
            if ( FindMainViewByIdentifier( id ) == nullptr )
               Make( RandomImage( target.Width(), target.Height(), 1, qor::ColorSpace::Gray, uint32_t( i ) ), id );
            import->Values().imageIdentifiers[i] = id;
         }
      // Identity curves cost nothing (no pass, no progress): the run needs a curve that changes the samples.
      if ( auto* curves = dynamic_cast<CurvesTransform*>( &instance ) )
         curves->Params().y[CurvesTransform::RGBK] = { 0.1f, 0.9f };
   }
};

TEST_F( ProcessRegistryRunTest, AnAbortAtTheFirstProgressEventLeavesEveryImageAsItWas )
{
   struct Target
   {
      int32_t channels;
      int32_t colorSpace;
   };
   for ( const ProcessInstanceById* entry : TheProcessRegistry().ById() )
      for ( const Target& t : { Target{ 1, qor::ColorSpace::Gray }, Target{ 3, qor::ColorSpace::RGB } } )
      {
         const Process& prototype = entry->Prototype();
         SCOPED_TRACE( prototype.Id() + ( t.channels == 1 ? " on grey" : " on RGB" ) );
         TImageWindow* w = Make( RandomImage( 24, 16, t.channels, t.colorSpace ) );
         TImageWindow::View& view = *w->mainView;
         std::unique_ptr<Process> instance = prototype.Clone();
         if ( !instance->CanExecuteOn( view ) || !instance->ModifiesTarget( view ) ||
              ( instance->UndoFlags( view ) & Process::UndoPixelData ) == 0 )
            continue;

         Prepare( *instance, *w->image );
         const std::vector<uint32_t> before = Bits( *w->image );
         TMainWindow main;
         StatusDialog().progressHook = [&]( int32_t event ) {
            if ( event == 1 )
               main.RequestAbort();
         };
         prompter.Expect( "Abort process?", platform::Answer::Yes );
         prompter.Expect( "Process aborted." );
         EXPECT_FALSE( instance->LaunchOn( view ) ) << "the run reports no progress, so it cannot be aborted";
         StatusDialog().progressHook = nullptr;
         EXPECT_EQ( Bits( *w->image ), before );
         EXPECT_EQ( view.History().instances.Length(), 0u );
         EXPECT_EQ( prompter.PendingCount(), 0u );
      }
}

} // namespace
