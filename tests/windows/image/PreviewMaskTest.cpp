// Previews (stored state, in-memory undo and redo, masking) and masks (the links between windows, their switches and
// notifications, blending after runs), and the editing of previews on the image.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImageWindowTestSupport.h"
#include "process/ProcessContainer.h"
#include "process/ProcessExecution.h"
#include "windows/processing/ProcessExecution.h"
#include "windows/processing/ProcessingWindow.h"

namespace
{

// Multiplies every sample by a factor.
class Scale : public Process
{
public:
   explicit Scale( float factor = 0.5f ) : factor( factor ) {}
   std::unique_ptr<Process> Clone() const override { return std::make_unique<Scale>( *this ); }
   std::string Id() const override { return "Scale"; }
   void DoExecuteOn( ProcessView& view ) override
   {
      TImageWindow::View& target = *AsImageView( view );
      qor::Image& image = target.GetImage();
      for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
         for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
            image.PixelData( c )[i] *= factor;
      target.Modified( true );
   }
   float factor;
};

// The mask notifications a processing window receives, as "Event:Image".
class Recorder : public TProcessingWindow
{
public:
   Recorder() : TProcessingWindow( nullptr ) {}
   std::unique_ptr<Process> NewInstance() override { return nullptr; }
   void MaskChanged( TImageWindow::View& v ) override { Add( "Changed", v ); }
   void MaskEnabled( TImageWindow::View& v ) override { Add( "Enabled", v ); }
   void MaskDisabled( TImageWindow::View& v ) override { Add( "Disabled", v ); }
   void MaskShown( TImageWindow::View& v ) override { Add( "Shown", v ); }
   void MaskHidden( TImageWindow::View& v ) override { Add( "Hidden", v ); }
   void PreviewStored( TImageWindow::View& v ) override { Add( "Stored", v ); }
   std::vector<std::string> events;

private:
   void Add( const char* what, TImageWindow::View& v ) { events.push_back( std::string( what ) + ":" + v.FullIdentifier() ); }
};

std::vector<float> Samples( const qor::Image& image )
{
   std::vector<float> s;
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
      s.insert( s.end(), image.PixelData( c ), image.PixelData( c ) + image.NumberOfPixels() );
   return s;
}

float Blend( float processed, float mask, float unprocessed )
{
   const long double m = mask;
   return float( processed * m + ( 1.0L - m ) * unprocessed );
}

using PreviewMaskTest = test::ImageWindowProcessTest;

// Undo, redo and undo again return to the same pixels; the history's last process moves to the redo slot and back;
// a second run replaces the first (every run starts from the stored state); Store while redo is possible drops it.
TEST_F( PreviewMaskTest, APreviewUndoesAndRedoesInMemory )
{
   TImageWindow* w = Make( RandomImage( 40, 30, 3, qor::ColorSpace::RGB ), "M31" );
   TImageWindow::Preview* p = w->CreatePreview( "Preview02", 30, 20, 20, 20 );
   EXPECT_EQ( p->FullIdentifier(), "M31->Preview02" );
   EXPECT_EQ( p->GetImage().Width(), 10 ); // clamped to the image; left and top kept
   EXPECT_EQ( p->left, 30 );
   const std::vector<float> original = Samples( p->GetImage() );

   p->Undo( true ); // nothing to undo
   EXPECT_FALSE( p->IsRedoPossible() );
   Scale half( 0.5f ), third( 1.0f / 3 );
   ASSERT_TRUE( half.LaunchOn( *p ) );
   ASSERT_TRUE( third.LaunchOn( *p ) ); // from the main image's pixels again, not from the halved ones
   const std::vector<float> processed = Samples( p->GetImage() );
   EXPECT_EQ( processed[5], original[5] * ( 1.0f / 3 ) );
   EXPECT_EQ( p->History().instances.Length(), 1u );

   p->Undo( true );
   EXPECT_EQ( Samples( p->GetImage() ), original );
   EXPECT_EQ( p->History().instances.Length(), 0u );
   ASSERT_NE( p->RedoProcess(), nullptr );
   p->Redo( true );
   EXPECT_EQ( Samples( p->GetImage() ), processed );
   EXPECT_EQ( p->History().instances.Length(), 1u );
   EXPECT_EQ( p->RedoProcess(), nullptr );
   p->Undo( true );
   EXPECT_EQ( Samples( p->GetImage() ), original );

   // Store while redo is possible: the redo state goes; the stored pixels are where runs start from now.
   Recorder recorder;
   p->Store();
   EXPECT_FALSE( p->IsRedoPossible() );
   EXPECT_EQ( p->RedoProcess(), nullptr );
   EXPECT_EQ( recorder.events, std::vector<std::string>{ "Stored:M31->Preview02" } );
   p->Redo( true );
   EXPECT_EQ( Samples( p->GetImage() ), original );
   ASSERT_TRUE( half.LaunchOn( *p ) );
   ASSERT_TRUE( half.LaunchOn( *p ) );
   EXPECT_EQ( Samples( p->GetImage() )[5], original[5] * 0.5f );
   EXPECT_TRUE( p->HasStoredState() );
   EXPECT_TRUE( w->runUndoPrepared == false ); // previews keep no undo files
}

// Which windows can mask which: same size, no colour mask on a grey image, never itself, no two masking each other.
TEST_F( PreviewMaskTest, CanUseAsMaskFollowsSizeColourAndCycles )
{
   TImageWindow* rgb = Make( RandomImage( 20, 10, 3, qor::ColorSpace::RGB ), "RGB" );
   TImageWindow* grey = Make( RandomImage( 20, 10, 1, qor::ColorSpace::Gray ), "Grey" );
   TImageWindow* grey2 = Make( RandomImage( 20, 10, 1, qor::ColorSpace::Gray ), "Grey2" );
   TImageWindow* small = Make( RandomImage( 20, 9, 1, qor::ColorSpace::Gray ), "Small" );
   EXPECT_TRUE( TImageWindow::CanUseAsMask( *rgb, *grey ) );
   EXPECT_FALSE( TImageWindow::CanUseAsMask( *grey, *rgb ) );
   EXPECT_FALSE( TImageWindow::CanUseAsMask( *grey, *grey ) );
   EXPECT_FALSE( TImageWindow::CanUseAsMask( *grey, *small ) );
   grey2->SetMask( grey );
   EXPECT_FALSE( TImageWindow::CanUseAsMask( *grey, *grey2 ) );
   EXPECT_TRUE( TImageWindow::CanUseAsMask( *grey2, *grey ) );
}

// The mask switches notify once per change; setting the same mask again says nothing; removing a mask keeps masking
// enabled for the next; releasing the references detaches windows and process instances alike.
TEST_F( PreviewMaskTest, MaskLinksAndSwitchesNotifyTheirChanges )
{
   TImageWindow* a = Make( RandomImage( 8, 8, 3, qor::ColorSpace::RGB ), "A" );
   TImageWindow* m = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "M" );
   TImageWindow* b = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "B" );
   Recorder recorder;
   a->maskShown = false;
   a->SetMask( m );
   a->SetMask( m );
   a->DisableMask();
   a->DisableMask();
   a->ShowMask();
   a->HideMask();
   a->SetMask( nullptr );
   EXPECT_FALSE( a->maskEnabled );
   a->EnableMask();
   a->SetMask( nullptr );
   EXPECT_EQ( recorder.events, ( std::vector<std::string>{ "Changed:A", "Disabled:A", "Shown:A", "Hidden:A",
                                                            "Changed:A", "Enabled:A" } ) );

   a->SetMask( m );
   b->SetMask( m );
   Scale one, two;
   one.SetMask( m );
   two.SetMask( m );
   EXPECT_EQ( m->maskReferences.size(), 4u );
   m->ReleaseMaskReferences();
   EXPECT_EQ( a->maskWindow, nullptr );
   EXPECT_EQ( b->maskWindow, nullptr );
   EXPECT_EQ( one.mask, nullptr );
   EXPECT_EQ( two.mask, nullptr );
   EXPECT_TRUE( m->maskReferences.empty() );
}

// A masked run on a main view blends the result with the pixels before the run, read from the swap file: a grey
// mask weighs all three colour channels, alpha channels keep the processed values. A run on a preview blends with
// the pixels it started from.
TEST_F( PreviewMaskTest, MaskedRunsBlendWithTheUnprocessedPixels )
{
   TImageWindow* w = Make( RandomImage( 24, 16, 4, qor::ColorSpace::RGB ), "Image01" );
   TImageWindow* m = Make( RandomImage( 24, 16, 1, qor::ColorSpace::Gray, 11 ), "Mask" );
   w->SetMask( m );
   TImageWindow::Preview* p = w->CreatePreview( "Preview01", 3, 2, 10, 8 );
   const qor::Image before( *w->image );
   const qor::Image& mask = *m->image;

   Scale half( 0.5f );
   ASSERT_TRUE( half.LaunchOn( *w->mainView ) );
   for ( int32_t c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < before.NumberOfPixels(); i += 37 )
         ASSERT_EQ( w->image->PixelData( c )[i],
                    Blend( before.PixelData( c )[i] * 0.5f, mask.PixelData( 0 )[i], before.PixelData( c )[i] ) );
   EXPECT_EQ( w->image->PixelData( 3 )[7], before.PixelData( 3 )[7] * 0.5f );
   EXPECT_EQ( half.mask, m ); // the instance remembers the mask it ran with
   EXPECT_EQ( w->modificationCount, 1 );

   const qor::Image start( p->GetImage() );
   ASSERT_TRUE( half.LaunchOn( *p ) );
   for ( int32_t c = 0; c < 3; ++c )
      EXPECT_EQ( p->GetImage().Pixel( 4, 5, c ),
                 Blend( start.Pixel( 4, 5, c ) * 0.5f, mask.Pixel( 3 + 4, 2 + 5 ), start.Pixel( 4, 5, c ) ) );

   // Disabled masking changes the whole image.
   w->DisableMask();
   const qor::Image masked( *w->image );
   ASSERT_TRUE( half.LaunchOn( *w->mainView ) );
   EXPECT_EQ( w->image->PixelData( 1 )[9], masked.PixelData( 1 )[9] * 0.5f );
}

// Undo reads the mask link back from the swap file while the mask window is still open and fits.
TEST_F( PreviewMaskTest, UndoRelinksTheMaskWindow )
{
   TImageWindow* w = Make( RandomImage( 12, 12, 1, qor::ColorSpace::Gray ), "Image01" );
   TImageWindow* m = Make( RandomImage( 12, 12, 1, qor::ColorSpace::Gray ), "Mask" );
   w->SetMask( m );
   Scale half;
   ASSERT_TRUE( half.LaunchOn( *w->mainView ) );
   const size_t users = m->maskReferences.size(); // the window, the instance and its copy in the history
   w->UndoRedo();
   EXPECT_EQ( w->maskWindow, m );
   EXPECT_EQ( m->maskReferences.size(), users );
}

// Preview editing: the search by point with its tolerance, the later of two overlapping previews, moving flush with
// the image's edge, resizing down to the minimum size, deleting and taking the image.
TEST_F( PreviewMaskTest, PreviewsAreFoundMovedResizedAndDeleted )
{
   TImageWindow* w = Make( RandomImage( 200, 100, 1, qor::ColorSpace::Gray ), "Image01" );
   TImageWindow::Preview* a = w->CreatePreview( "", 50, 20, 100, 40 );
   TImageWindow::Preview* b = w->CreatePreview( "", 60, 30, 20, 20 );
   EXPECT_EQ( a->Identifier(), "Preview01" );
   EXPECT_EQ( w->selectedPreview, b );
   EXPECT_EQ( w->PreviewAt( 65, 35, 2 ), b );
   EXPECT_EQ( w->PreviewAt( 48, 25, 2 ), a );
   EXPECT_EQ( w->PreviewAt( 47, 25, 2 ), nullptr );

   // The right edge dragged 95 pixels left stops at the minimum width.
   CurrentPreferences.imageWindow.cursorTolerance = 3;
   w->BeginPreviewResize( a, 149, 30 );
   w->MovePreviewEdit( 54, 30 );
   w->EndPreviewEdit();
   EXPECT_EQ( a->left, 50 );
   EXPECT_EQ( a->GetImage().Width(), MinimumPreviewSize );

   // Moved past the right edge: flush with it, full size kept.
   w->BeginPreviewMove( b, 65, 35 );
   w->MovePreviewEdit( 265, 35 );
   w->EndPreviewEdit();
   EXPECT_EQ( b->left, 180 );
   EXPECT_EQ( b->GetImage().Width(), 20 );
   EXPECT_EQ( Samples( b->GetImage() )[0], w->image->Pixel( 180, 30 ) );

   w->ModifyPreview( b, "Renamed", 0, 0, 30, 30 );
   EXPECT_EQ( b->Identifier(), "Renamed" );
   EXPECT_EQ( b->GetImage().Height(), 30 );

   std::unique_ptr<qor::Image> taken = w->DeletePreviewAndTakeImage( b );
   ASSERT_NE( taken, nullptr );
   EXPECT_EQ( taken->Width(), 30 );
   EXPECT_EQ( w->DeletePreviewAndTakeImage( b ), nullptr );
   w->DeletePreview( a );
   EXPECT_EQ( w->CreatePreview( "", 0, 0, 16, 16 )->Identifier(), "Preview01" );
}

} // namespace
