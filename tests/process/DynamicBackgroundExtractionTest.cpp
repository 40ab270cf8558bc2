// DynamicBackgroundExtraction: its record (stream of both versions, refused streams, text form) and the model run on a
// plain view, with the new window caught by a service of the test.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "TestSupport.h"
#include "classlib/Exception.h"
#include "classlib/Image.h"
#include "classlib/ImageTestSupport.h"
#include "classlib/RGBColorSystem.h"
#include "process/DynamicBackgroundExtraction.h"
#include "process/ImageWindowService.h"
#include "process/Preferences.h"

namespace
{

using Parameters = DynamicBackgroundExtraction::Parameters;

// Six points of a plane on one channel (or three, the planes shifted apart), two interface records.
DynamicBackgroundExtraction Filled( int32_t channels = 1 )
{
   DynamicBackgroundExtraction p;
   Parameters& v = p.Params();
   v.SetPoints( 6, channels );
   const float x[] = { 0.1f, 0.9f, 0.5f, 0.2f, 0.8f, 0.45f }, y[] = { 0.1f, 0.15f, 0.5f, 0.85f, 0.9f, 0.3f };
   for ( int i = 0; i < 6; ++i )
   {
      v.x[size_t( i )] = x[i];
      v.y[size_t( i )] = y[i];
      for ( int c = 0; c < channels; ++c )
         v.f[size_t( c )][size_t( i )] = 0.1f * float( c + 1 ) + 0.2f * x[i] + 0.1f * y[i];
   }
   v.continuityOrder = 3;
   v.smoothing = 0.25f;
   v.subsample = 4;
   DynamicBackgroundExtraction::SampleData a, b;
   a.x = 0.25f;
   a.y = 0.5f;
   a.r = 0.01f;
   a.symmetries = 3;
   a.f = { 0.1f, 0.2f, 0.3f };
   b.x = 0.75f;
   b.y = 0.125f;
   b.r = 0.02f;
   b.symmetries = 8;
   b.nA = 6;
   b.fixed = 1;
   b.f = { 0.5f, 0.25f, 0.125f };
   v.interfaceSamples = { a, b };
   v.tolerance = 0.2f;
   v.symmetryCenterX = 0.4f;
   v.symmetryCenterY = 0.6f;
   return p;
}

std::vector<uint8_t> Stream( const Parameters& p, float version = 1.1f )
{
   test::TempDir dir;
   const std::string path = dir.File( "p" );
   {
      qor::File file;
      file.CreateForWriting( path );
      p.Write( file, version );
   }
   return kit::FileBytes( path );
}

// Reads bytes into a record; the text of the refusal, or empty when it was read.
std::string Read( Parameters& p, const std::vector<uint8_t>& bytes, float version = 1.1f )
{
   test::TempDir dir;
   const std::string path = dir.File( "p" );
   kit::WriteBytes( path, bytes );
   qor::File file;
   file.OpenForReading( path );
   try
   {
      p.Read( file, version );
   }
   catch ( const qor::Exception& e )
   {
      return e.Message();
   }
   return {};
}

// Catches the windows a run opens.
class ModelWindows : public ImageWindowService
{
public:
   ModelWindows() { previous = SetImageWindowService( this ); }
   ~ModelWindows() { SetImageWindowService( previous ); }

   qor::RGBColorSystem& GlobalRGBWorkingSpace() override { return rgbws; }
   std::string ExpandIdentifierMacros( const std::string& templ, const std::string&, bool ) override { return templ; }
   std::string UniqueImageIdentifier( const std::string& wish ) override
   {
      return wish == taken ? wish + "1" : wish;
   }
   ProcessView* FindMainView( const std::string& ) override { return nullptr; }
   ProcessView& CreateImageWindow( std::unique_ptr<qor::Image> image, const std::string& identifier,
                                   const qor::RGBColorSystem& ) override
   {
      images.push_back( std::move( image ) );
      identifiers.push_back( identifier );
      views.push_back( std::make_unique<Counted>( identifier, images.back().get() ) );
      return *views.back();
   }
   void RGBWorkingSpaceChanged( const qor::RGBColorSystem& ) override {}

   struct Counted : kit::FakeView
   {
      Counted( const std::string& id, qor::Image* image ) : kit::FakeView( id, false, image ) {}
      void Modified( bool notify ) override { modified += notify ? 1 : 100; }
      int modified = 0;
   };

   qor::RGBColorSystem rgbws;
   std::string taken;
   std::vector<std::unique_ptr<qor::Image>> images;
   std::vector<std::string> identifiers;
   std::vector<std::unique_ptr<Counted>> views;
   ImageWindowService* previous = nullptr;
};

// A view that records its status tasks.
class TaskView : public kit::FakeView
{
public:
   using kit::FakeView::FakeView;
   void AddStatusTask( const std::string& text, int32_t level ) override
   {
      tasks.push_back( std::to_string( level ) + " " + text );
   }
   std::vector<std::string> tasks;
};

class DynamicBackgroundExtractionTest : public test::ScriptedUiTest
{
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// The record

TEST_F( DynamicBackgroundExtractionTest, StreamsItsPointsRecordsAndCentre )
{
   const DynamicBackgroundExtraction p = Filled();
   kit::Bytes expected;
   expected.Value<int32_t>( 6 ).Value<int32_t>( 1 );
   for ( float v : p.Params().x )
      expected.Value( v );
   for ( float v : p.Params().y )
      expected.Value( v );
   for ( float v : p.Params().f[0] )
      expected.Value( v );
   expected.Value<int32_t>( 3 ).Value( 0.25f ).Value<int32_t>( 4 ).Value<int32_t>( 2 );
   expected.Value( 0.25f ).Value( 0.5f ).Value( 0.01f ).Raw( { 3, 0, 0, 0 } ).Value( 0.1f ).Value( 0.2f ).Value( 0.3f );
   expected.Value( 0.75f ).Value( 0.125f ).Value( 0.02f ).Raw( { 8, 6, 0, 1 } ).Value( 0.5f ).Value( 0.25f ).Value(
      0.125f );
   expected.Value( 0.2f ).Value( 0.4f ).Value( 0.6f );
   const std::vector<uint8_t> bytes = Stream( p.Params() );
   EXPECT_EQ( bytes, expected.data );

   Parameters back;
   EXPECT_EQ( Read( back, bytes ), "" );
   EXPECT_EQ( Stream( back ), bytes );
   EXPECT_EQ( back.ToText( 0 ), p.Params().ToText( 0 ) );

   // Without points only the counts are written: the default record takes 36 bytes.
   EXPECT_EQ( Stream( Parameters() ).size(), 36u );
}

TEST_F( DynamicBackgroundExtractionTest, AVersionOneStreamHasOlderRecordsAndNoCentre )
{
   // One point-less record set: byte 13 is the fixed flag, bytes 14-15 are ignored; no centre follows.
   kit::Bytes old;
   old.Value<int32_t>( 0 ).Value<int32_t>( 0 ).Value<int32_t>( 2 ).Value( 0.0f ).Value<int32_t>( 2 ).Value<int32_t>( 1 );
   old.Value( 0.5f ).Value( 0.25f ).Value( 0.01f ).Raw( { 9, 1, 0x77, 0x55 } ).Value( 0.3f ).Value( 0.2f ).Value( 0.1f );
   old.Value( 0.15f );
   Parameters p;
   ASSERT_EQ( Read( p, old.data, 1.0f ), "" );
   ASSERT_EQ( p.interfaceSamples.size(), 1u );
   const DynamicBackgroundExtraction::SampleData& s = p.interfaceSamples[0];
   EXPECT_EQ( s.symmetries, 9 );
   EXPECT_EQ( s.nA, 0 );
   EXPECT_EQ( s.fixed, 1 );
   EXPECT_EQ( s.reserved, 0 );
   EXPECT_EQ( s.f[0], 0.3f );
   EXPECT_EQ( p.tolerance, 0.15f );
   EXPECT_EQ( p.symmetryCenterX, 0.5f );
   EXPECT_EQ( p.symmetryCenterY, 0.5f );
   // Written again, it takes the current layout.
   const std::vector<uint8_t> again = Stream( p, 1.0f );
   EXPECT_EQ( again.size(), old.data.size() + 8 );
   EXPECT_EQ( again[24 + 13], 0 );
   EXPECT_EQ( again[24 + 15], 1 );
}

TEST_F( DynamicBackgroundExtractionTest, RefusesStreamsNoEditWritesAndKeepsTheRecord )
{
   const std::vector<uint8_t> good = Stream( Filled().Params() );
   auto patched = [&]( size_t at, auto value )
   {
      std::vector<uint8_t> bytes = good;
      std::memcpy( bytes.data() + at, &value, sizeof value );
      return bytes;
   };
   const size_t afterPoints = 8 + 6 * 3 * 4; // order, smoothing, subsample, count follow
   const size_t firstRecord = afterPoints + 16;
   struct Case
   {
      const char* name;
      std::vector<uint8_t> bytes;
   };
   const Case cases[] = {
      { "two channels", patched( 4, int32_t( 2 ) ) },
      { "negative count", patched( 0, int32_t( -6 ) ) },
      { "points beyond the end", patched( 0, int32_t( 1 << 28 ) ) },
      { "points without channels", patched( 4, int32_t( 0 ) ) },
      { "order 1", patched( afterPoints, int32_t( 1 ) ) },
      { "order 6", patched( afterPoints, int32_t( 6 ) ) },
      { "negative smoothing", patched( afterPoints + 4, -0.5f ) },
      { "smoothing NaN", patched( afterPoints + 4, std::nanf( "" ) ) },
      { "subsample 0", patched( afterPoints + 8, int32_t( 0 ) ) },
      { "records beyond the end", patched( afterPoints + 12, int32_t( 1000 ) ) },
      { "negative record count", patched( afterPoints + 12, int32_t( -1 ) ) },
      { "point at infinity", patched( 8, std::numeric_limits<float>::infinity() ) },
      { "record radius NaN", patched( firstRecord + 8, std::nanf( "" ) ) },
      { "tolerance NaN", patched( good.size() - 12, std::nanf( "" ) ) },
      { "truncated", std::vector<uint8_t>( good.begin(), good.end() - 5 ) },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      DynamicBackgroundExtraction kept = Filled( 3 );
      const std::string before = kept.Params().ToText( 0 );
      EXPECT_NE( Read( kept.Params(), c.bytes ), "" );
      EXPECT_EQ( kept.Params().ToText( 0 ), before );
   }
}

TEST_F( DynamicBackgroundExtractionTest, TextFormListsPointsAndInterfaceData )
{
   DynamicBackgroundExtraction p = Filled();
   Parameters& v = p.Params();
   v.SetPoints( 1, 1 );
   v.x[0] = 0.25f;
   v.y[0] = -0.5f;
   v.f[0][0] = 0.125f;
   v.interfaceSamples.resize( 1 );
   EXPECT_EQ( v.ToText( 0 ), "numberOfSamples=1,\nnumberOfChannels=1,\n\n"
                             "// Sample format: {x, y, f0, ..., fn-1}\n"
                             "samples={\n\t{+0.25000, -0.50000, 0.1250}\n},\n\n"
                             "continuityOrder=3,\nsmoothing=0.250,\nsubsample=4,\n\n"
                             "// Interface data\n\ntolerance=0.200,\nsymmetryCenter={0.40000, 0.60000},\n\n"
                             "// Interface sample format: {x, y, r, H, V, D, A, nA, fixed, f0, ..., fn-1}\n"
                             "interfaceSamples={\n\t{0.25000, 0.50000, 0.01000, 1, 1, 0, 0,  0, 0, 0.1000}\n}" );
   EXPECT_EQ( v.ToText( -1 ), "numberOfSamples=1,\nnumberOfChannels=1,...,\n\n"
                              "continuityOrder=3,\nsmoothing=0.250,\nsubsample=4" );
}

TEST_F( DynamicBackgroundExtractionTest, CopiesClearTheReservedByte )
{
   DynamicBackgroundExtraction p = Filled();
   p.Params().interfaceSamples[0].reserved = 7;
   Parameters copy;
   copy.Assign( p.Params() );
   EXPECT_EQ( copy.interfaceSamples[0].reserved, 0 );
   EXPECT_EQ( copy.x, p.Params().x );
   const std::unique_ptr<Process> clone = p.Clone();
   EXPECT_EQ( clone->parameters->ToText( 0 ), p.Params().ToText( 0 ) );
   EXPECT_EQ( p.ProbeInstance()->parameters->ToText( 0 ), Parameters().ToText( 0 ) );
}

// ---------------------------------------------------------------------------------------------------------------
// The run

TEST_F( DynamicBackgroundExtractionTest, TheModelOpensInANewWindowAndTheTargetStaysAsItWas )
{
   ModelWindows windows;
   windows.taken = "M31_background";
   qor::Image target = test::RandomImage( 1000, 800, 1, qor::ColorSpace::Gray, 3 );
   const qor::Image before( target );
   TaskView view( "M31", false, &target );
   DynamicBackgroundExtraction p = Filled();
   p.DoExecuteOn( view );

   ASSERT_EQ( windows.images.size(), 1u );
   EXPECT_EQ( windows.identifiers[0], "M31_background1" );
   const qor::Image& model = *windows.images[0];
   EXPECT_EQ( model.Width(), 250 );
   EXPECT_EQ( model.Height(), 200 );
   EXPECT_EQ( model.GetColorSpace(), qor::ColorSpace::Gray );
   EXPECT_EQ( windows.views[0]->modified, 1 );
   EXPECT_TRUE( test::SamePixels( target, before ) );
   EXPECT_EQ( view.tasks, ( std::vector<std::string>{ "2 Computing 2-D surface spline",
                                                       "2 Generating background model pixels" } ) );
   // Six points of a plane: the smoothed order-3 spline still gives the plane.
   EXPECT_NEAR( model.Pixel( 125, 100 ), 0.1 + 0.2 * 0.5 + 0.1 * 0.5, 1e-4 );
}

TEST_F( DynamicBackgroundExtractionTest, ThreeChannelsGiveAnRGBModelWithATaskPerChannel )
{
   ModelWindows windows;
   qor::Image target( 200, 150, 3, qor::ColorSpace::RGB );
   TaskView view( "Sky", false, &target );
   DynamicBackgroundExtraction p = Filled( 3 );
   p.Params().subsample = 16;
   p.DoExecuteOn( view );
   ASSERT_EQ( windows.images.size(), 1u );
   EXPECT_EQ( windows.identifiers[0], "Sky" + CurrentPreferences.identifiers.backgroundModelPostfix );
   const qor::Image& model = *windows.images[0];
   EXPECT_EQ( model.Width(), 21 );
   EXPECT_EQ( model.Height(), 16 );
   EXPECT_EQ( model.NumberOfChannels(), 3 );
   EXPECT_EQ( model.GetColorSpace(), qor::ColorSpace::RGB );
   ASSERT_EQ( view.tasks.size(), 7u );
   EXPECT_EQ( view.tasks[0], "2 Processing channel #0" );
   EXPECT_EQ( view.tasks[2], "2 Processing channel #1" );
   EXPECT_EQ( view.tasks[4], "2 Processing channel #2" );
   EXPECT_EQ( view.tasks[6], "2 Generating background model pixels" );
}

TEST_F( DynamicBackgroundExtractionTest, RunsThatCannotMakeAModelOpenNothing )
{
   ModelWindows windows;
   qor::Image target( 100, 100 );
   kit::FakeView view( "Sky", false, &target );
   auto message = [&]( DynamicBackgroundExtraction& p ) -> std::string
   {
      try
      {
         p.DoExecuteOn( view );
      }
      catch ( const qor::Exception& e )
      {
         return e.Message();
      }
      return {};
   };
   DynamicBackgroundExtraction five = Filled();
   five.Params().numberOfSamples = 5;
   EXPECT_EQ( message( five ), "At least six samples are required" );
   DynamicBackgroundExtraction none;
   EXPECT_EQ( message( none ), "At least six samples are required" );
   DynamicBackgroundExtraction twice = Filled();
   twice.Params().smoothing = 0;
   twice.Params().continuityOrder = 2;
   twice.Params().x[1] = twice.Params().x[0];
   twice.Params().y[1] = twice.Params().y[0];
   EXPECT_EQ( message( twice ), "Singular matrix in 2-D interpolation surface spline generator" );
   EXPECT_TRUE( windows.images.empty() );

   // Never on a preview; never changing the target.
   kit::FakeView preview( "Sky->Preview01", true, &target );
   EXPECT_FALSE( Filled().CanExecuteOn( preview ) );
   EXPECT_FALSE( Filled().ModifiesTarget( view ) );
   EXPECT_FALSE( Filled().IsMaskable( view, nullptr ) );
}
