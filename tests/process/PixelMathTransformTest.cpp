// PixelMathTransform on plain views in memory: its text form and stream (with the damaged streams it refuses), and
// runs against the scalar formulas: operand images and constants, operands of another size, the target read as it
// was, previews, replace against a new image, and the question about a broken link.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "TestSupport.h"
#include "classlib/ImageTestSupport.h"
#include "classlib/Interpolation.h"
#include "classlib/PixelMath.h"
#include "classlib/RGBColorSystem.h"
#include "process/ImageWindowService.h"
#include "process/PixelMathTransform.h"
#include "process/Preferences.h"
#include "process/ProcessInstanceStream.h"

namespace
{

using P = qor::PixelMathOperator;
using SourceItem = PixelMathTransform::SourceItem;

// A view that may be a preview: its own image, the whole image of its window and where it lies in it.
class View : public ProcessView
{
public:
   View( std::string id, qor::Image* image, bool preview = false, const qor::Image* whole = nullptr, int32_t left = 0,
         int32_t top = 0 )
       : id( std::move( id ) ), image( image ), preview( preview ), whole( whole ), left( left ), top( top )
   {
   }
   bool IsPreview() const override { return preview; }
   std::string FullId() const override { return id; }
   qor::Image* TargetImage() const override { return image; }
   const qor::Image* WholeImage() const override { return whole != nullptr ? whole : image; }
   void PreviewOrigin( int32_t& l, int32_t& t ) const override
   {
      l = left;
      t = top;
   }
   void Modified( bool ) override { ++modifications; }

   std::string id;
   qor::Image* image;
   bool preview;
   const qor::Image* whole;
   int32_t left, top;
   int modifications = 0;
};

// The open images of a test, by identifier, and the new windows a run opens.
class Images : public ImageWindowService
{
public:
   Images() { previous = SetImageWindowService( this ); }
   ~Images() { SetImageWindowService( previous ); }

   qor::RGBColorSystem& GlobalRGBWorkingSpace() override { return rgbws; }
   std::string ExpandIdentifierMacros( const std::string& t, const std::string&, bool ) override { return t; }
   std::string UniqueImageIdentifier( const std::string& wish ) override
   {
      return views.count( wish ) == 0 ? wish : wish + "1";
   }
   ProcessView* FindMainView( const std::string& id ) override
   {
      auto v = views.find( id );
      return v != views.end() ? v->second : nullptr;
   }
   ProcessView& CreateImageWindow( std::unique_ptr<qor::Image> image, const std::string& id,
                                   const qor::RGBColorSystem& ) override
   {
      created.push_back( std::move( image ) );
      createdViews.push_back( std::make_unique<View>( id, created.back().get() ) );
      return *createdViews.back();
   }
   void RGBWorkingSpaceChanged( const qor::RGBColorSystem& ) override {}

   ProcessView& Open( const std::string& id, qor::Image* image )
   {
      owned.push_back( std::make_unique<View>( id, image ) );
      views[id] = owned.back().get();
      return *owned.back();
   }

   qor::RGBColorSystem rgbws;
   std::map<std::string, ProcessView*> views;
   std::vector<std::unique_ptr<View>> owned;
   std::vector<std::unique_ptr<qor::Image>> created;
   std::vector<std::unique_ptr<View>> createdViews;
   ImageWindowService* previous = nullptr;
};

SourceItem Item( int32_t op, const std::string& id, float r, float g = 1, float b = 1, bool invert = false )
{
   SourceItem item;
   item.op = int8_t( op );
   item.imageId = id;
   item.channelFactors.factors[0] = r;
   item.channelFactors.factors[1] = g;
   item.channelFactors.factors[2] = b;
   item.channelFactors.invert = invert;
   return item;
}

std::vector<uint8_t> Written( const PixelMathTransform::Parameters& p, const std::string& path )
{
   {
      qor::File file;
      file.CreateForWriting( path );
      p.Write( file, 1.0f );
   }
   return kit::FileBytes( path );
}

class PixelMathTransformTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      savedPreferences = CurrentPreferences;
   }
   void TearDown() override
   {
      CurrentPreferences = savedPreferences;
      test::ScriptedUiTest::TearDown();
   }

   // A run of a set on a view, clipping instead of rescaling unless the set says otherwise.
   static void Run( PixelMathTransform::Parameters p, ProcessView& view )
   {
      PixelMathTransform( p ).DoExecuteOn( view );
   }

   static PixelMathTransform::Parameters Clipping()
   {
      PixelMathTransform::Parameters p;
      p.result.rescale = false;
      return p;
   }

   Images images;
   test::TempDir dir;
   GlobalPreferences savedPreferences;
};

} // namespace

// ---- Text and stream ----------------------------------------------------------------------------------------------

TEST_F( PixelMathTransformTest, TheDefaultTextHasSixLines )
{
   EXPECT_EQ( PixelMathTransform().parameters->ToText( 0 ),
              "source[0]={operator=\"NOP\", imageId=\"\", channelFactors={1.000000, 1.000000, 1.000000, invert=0}},\n"
              "resultFactors={1.000000, 1.000000, 1.000000, invert=0},\n"
              "rescale=1,\n"
              "rescaleLower=0.000000,\n"
              "rescaleUpper=1.000000,\n"
              "destination=\"replace\"" );

   PixelMathTransform::Parameters p;
   p.sources.push_back( Item( P::DIVConstrained, "M31", 0.5f, 0.25f, 0, true ) );
   p.sources.push_back( Item( 20, "", 1 ) ); // only a damaged stream holds such a code
   p.result.addConstant = -0.125f;
   p.result.rescale = false;
   p.destination = PixelMathTransform::CreateNew;
   EXPECT_EQ( p.ToText( 0 ),
              "source[0]={operator=\"NOP\", imageId=\"\", channelFactors={1.000000, 1.000000, 1.000000, invert=0}},\n"
              "source[1]={operator=\"DIV*\", imageId=\"M31\", channelFactors={0.500000, 0.250000, 0.000000, "
              "invert=1}},\n"
              "source[2]={operator=\"20\", imageId=\"\", channelFactors={1.000000, 1.000000, 1.000000, invert=0}},\n"
              "resultFactors={1.000000, 1.000000, 1.000000, invert=0},\n"
              "addConstant=-0.125000,\n"
              "destination=\"createNew\"" );
}

TEST_F( PixelMathTransformTest, TheStreamHoldsTheListTheResultAndTheDestination )
{
   PixelMathTransform::Parameters p;
   p.sources[0].channelFactors.invert = true;
   p.sources.push_back( Item( P::SUB, "Dark", 0.5f, 0.25f, 2 ) );
   p.sources.push_back( Item( P::XOR, "", -1, 0, 3, true ) );
   p.result.resultFactors.factors[1] = 0.75f;
   p.result.addConstant = 0.125f;
   p.result.rescale = false;
   p.result.rescaleLower = 0.25f;
   p.result.rescaleUpper = 0.5f;
   p.destination = PixelMathTransform::CreateNew;

   kit::Bytes expected;
   expected.Value( int32_t( 3 ) );
   expected.Value( int32_t( 0 ) ).String( "" ).Value( 1.0f ).Value( 1.0f ).Value( 1.0f ).Value( uint8_t( 1 ) );
   expected.Value( int32_t( P::SUB ) )
       .String( "Dark" )
       .Value( 0.5f )
       .Value( 0.25f )
       .Value( 2.0f )
       .Value( uint8_t( 0 ) );
   expected.Value( int32_t( P::XOR ) ).String( "" ).Value( -1.0f ).Value( 0.0f ).Value( 3.0f ).Value( uint8_t( 1 ) );
   expected.Value( 1.0f ).Value( 0.75f ).Value( 1.0f ).Value( uint8_t( 0 ) );
   expected.Value( 0.125f ).Value( uint8_t( 0 ) ).Value( 0.25f ).Value( 0.5f ).Value( uint8_t( 1 ) );
   const std::string path = dir.File( "pm" );
   EXPECT_EQ( Written( p, path ), expected.data );

   // Read back into a set of another shape, with the named image open: the link is found.
   images.Open( "Dark", nullptr );
   PixelMathTransform::Parameters read;
   {
      qor::File file;
      file.OpenForReading( path );
      read.Read( file, 1.0f );
      EXPECT_EQ( file.BytesLeft(), 0 );
   }
   EXPECT_EQ( read.ToText( 0 ), p.ToText( 0 ) );
   EXPECT_EQ( read.sources[1].view, images.views["Dark"] );
   EXPECT_EQ( Written( read, dir.File( "again" ) ), expected.data );

   // The operator word keeps its low byte.
   kit::Bytes wide;
   wide.Value( int32_t( 1 ) ).Value( int32_t( 0x105 ) ).String( "" ).Value( 1.0f ).Value( 1.0f ).Value( 1.0f );
   wide.Value( uint8_t( 0 ) ).Value( 1.0f ).Value( 1.0f ).Value( 1.0f ).Value( uint8_t( 0 ) );
   wide.Value( 0.0f ).Value( uint8_t( 1 ) ).Value( 0.0f ).Value( 1.0f ).Value( uint8_t( 0 ) );
   kit::WriteBytes( path, wide.data );
   qor::File file;
   file.OpenForReading( path );
   read.Read( file, 1.0f );
   EXPECT_EQ( read.sources[0].op, P::DIVConstrained );
}

TEST_F( PixelMathTransformTest, DamagedStreamsAreRefusedAndLeaveTheSetAsItWas )
{
   // The item record after its count: operator, identifier, factors.
   auto item = []( kit::Bytes& b, int32_t idLength, const std::string& id )
   {
      b.Value( int32_t( P::ADD ) ).Value( idLength ).Text( id );
      b.Value( 1.0f ).Value( 1.0f ).Value( 1.0f ).Value( uint8_t( 0 ) );
   };
   auto tail = []( kit::Bytes& b )
   {
      b.Value( 1.0f ).Value( 1.0f ).Value( 1.0f ).Value( uint8_t( 0 ) );
      b.Value( 0.0f ).Value( uint8_t( 1 ) ).Value( 0.0f ).Value( 1.0f ).Value( uint8_t( 0 ) );
   };
   struct Case
   {
      const char* what;
      std::function<void( kit::Bytes& )> build;
   };
   const Case cases[] = {
       { "no item",
         [&]( kit::Bytes& b )
         {
            b.Value( int32_t( 0 ) );
            tail( b );
         } },
       { "a negative count",
         [&]( kit::Bytes& b )
         {
            b.Value( int32_t( -1 ) );
            item( b, 0, "" );
            tail( b );
         } },
       { "a count beyond the stream",
         [&]( kit::Bytes& b )
         {
            b.Value( int32_t( 0x7FFFFFFF ) );
            item( b, 0, "" );
            tail( b );
         } },
       { "a negative identifier length",
         [&]( kit::Bytes& b )
         {
            b.Value( int32_t( 1 ) );
            item( b, -4, "" );
            tail( b );
         } },
       { "an identifier longer than any",
         [&]( kit::Bytes& b )
         {
            b.Value( int32_t( 1 ) );
            item( b, 100000, std::string( 100000, 'x' ) );
            tail( b );
         } },
       { "an identifier beyond the stream",
         [&]( kit::Bytes& b )
         {
            b.Value( int32_t( 1 ) );
            item( b, 200, "M31" );
         } },
       { "a second item missing",
         [&]( kit::Bytes& b )
         {
            b.Value( int32_t( 2 ) );
            item( b, 0, "" );
            tail( b );
         } },
       { "no destination",
         [&]( kit::Bytes& b )
         {
            b.Value( int32_t( 1 ) );
            item( b, 0, "" );
            tail( b );
            b.data.pop_back();
         } },
   };
   PixelMathTransform::Parameters p;
   p.sources.push_back( Item( P::MUL, "Flat", 0.5f ) );
   p.result.addConstant = 0.25f;
   const std::string before = p.ToText( 0 );
   for ( const Case& c : cases )
   {
      kit::Bytes bytes;
      c.build( bytes );
      const std::string path = dir.File( "bad" );
      kit::WriteBytes( path, bytes.data );
      qor::File file;
      file.OpenForReading( path );
      EXPECT_THROW( p.Read( file, 1.0f ), qor::File::Exception ) << c.what;
      EXPECT_EQ( p.ToText( 0 ), before ) << c.what;
   }
}

// ---- Runs ---------------------------------------------------------------------------------------------------------

TEST_F( PixelMathTransformTest, ImagesAndConstantsApplyInOrderAndTheResultIsClipped )
{
   qor::Image target = test::RandomImage( 13, 9, 3, qor::ColorSpace::RGB, 1 );
   const qor::Image start( target );
   qor::Image flat = test::RandomImage( 13, 9, 1, qor::ColorSpace::Gray, 2 );
   images.Open( "Flat", &flat );
   View view( "Target", &target );

   PixelMathTransform::Parameters p = Clipping();
   p.sources[0].channelFactors.factors[1] = 0.5f;
   p.sources.push_back( Item( P::SUB, "Flat", 0.5f, 0.25f, 0 ) );
   p.sources.push_back( Item( P::MUL, "", 2.0f, 1.5f, 0.5f, true ) ); // constants: the invert flag is not used
   p.result.resultFactors.factors[2] = 0.5f;
   p.result.addConstant = 0.125f;
   Run( p, view );

   const float sourceFactors[3] = { 0.5f, 0.25f, 0 };
   const float constants[3] = { 2.0f, 1.5f, 0.5f };
   const float targetFactors[3] = { 1, 0.5f, 1 };
   const float resultFactors[3] = { 1, 1, 0.5f };
   for ( int32_t c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < target.NumberOfPixels(); ++i )
      {
         float t = start[c][i];
         if ( targetFactors[c] != 1 )
            t *= targetFactors[c];
         t = float( double( t ) - double( flat[0][i] ) * sourceFactors[c] );
         t = float( double( t ) * constants[c] );
         const double r = std::clamp( double( t ) * resultFactors[c] + 0.125, 0.0, 1.0 );
         ASSERT_EQ( target[c][i], float( r ) ) << "channel " << c << " sample " << i;
      }
   EXPECT_EQ( view.modifications, 1 );
}

TEST_F( PixelMathTransformTest, TheDefaultInstanceRescalesEachChannelAndClipsAConstantOne )
{
   qor::Image target( 4, 1, 3, qor::ColorSpace::RGB );
   const float samples[3][4] = {
       { 0.25f, 0.75f, 0.5f, 0.25f }, { 1.5f, 1.5f, 1.5f, 1.5f }, { 0.3f, 0.3f, 0.3f, 0.3f } };
   for ( int32_t c = 0; c < 3; ++c )
      std::copy( samples[c], samples[c] + 4, target[c] );
   View view( "Target", &target );
   Run( PixelMathTransform::Parameters(), view );
   EXPECT_EQ( std::vector<float>( target[0], target[0] + 4 ), ( std::vector<float>{ 0, 1, 0.5f, 0 } ) );
   EXPECT_EQ( std::vector<float>( target[1], target[1] + 4 ), ( std::vector<float>( 4, 1.0f ) ) );
   EXPECT_EQ( std::vector<float>( target[2], target[2] + 4 ), ( std::vector<float>( 4, 0.3f ) ) );
}

TEST_F( PixelMathTransformTest, AnOperandReadsTheTargetAsItWasBeforeTheRun )
{
   qor::Image target = test::RandomImage( 11, 7, 1, qor::ColorSpace::Gray, 3 );
   View& view = static_cast<View&>( images.Open( "Target", &target ) );
   PixelMathTransform::Parameters p = Clipping();
   p.sources[0].channelFactors.invert = true; // the working image changes first; the operand does not
   p.sources.push_back( Item( P::ADD, "Target", 1 ) );
   const qor::Image start( target );
   Run( p, view );
   for ( int64_t i = 0; i < target.NumberOfPixels(); ++i )
      ASSERT_EQ( target[0][i], float( std::clamp( double( 1 - start[0][i] ) + start[0][i], 0.0, 1.0 ) ) );

   // SUB of the target from itself gives 0 everywhere before the result stage.
   p = PixelMathTransform::Parameters();
   p.sources.push_back( Item( P::SUB, "Target", 1 ) );
   p.result.rescale = false;
   p.result.addConstant = 0.25f;
   Run( p, view );
   EXPECT_EQ( std::vector<float>( target[0], target[0] + target.NumberOfPixels() ),
              std::vector<float>( size_t( target.NumberOfPixels() ), 0.25f ) );
}

TEST_F( PixelMathTransformTest, AnOperandOfAnotherSizeIsResampledBicubically )
{
   qor::Image target = test::RandomImage( 16, 12, 1, qor::ColorSpace::Gray, 4, 0.0f, 0.5f );
   qor::Image small = test::RandomImage( 5, 4, 1, qor::ColorSpace::Gray, 5 );
   images.Open( "Small", &small );
   View view( "Target", &target );
   PixelMathTransform::Parameters p = Clipping();
   p.sources.push_back( Item( P::MOV, "Small", 1 ) );
   Run( p, view );

   qor::Image expected( small );
   expected.Resample( 16, 12, qor::Interpolation::Bicubic, qor::Interpolation::DefaultBlockSize );
   EXPECT_TRUE( test::SamePixels( target, expected ) );
   EXPECT_EQ( small.Width(), 5 ); // the operand itself is left as it was
}

TEST_F( PixelMathTransformTest, APreviewReadsItsRectangleOfTheOperandsResampledToTheWholeImage )
{
   const qor::Image whole = test::RandomImage( 10, 8, 1, qor::ColorSpace::Gray, 6 );
   qor::Image preview( 4, 3, 1, qor::ColorSpace::Gray );
   preview.Fill( 0, 0.0f );
   View view( "Target->Preview01", &preview, true, &whole, 2, 1 );
   qor::Image small = test::RandomImage( 5, 4, 1, qor::ColorSpace::Gray, 7 );
   images.Open( "Small", &small );
   PixelMathTransform::Parameters p = Clipping();
   p.sources.push_back( Item( P::MOV, "Small", 1 ) );
   // A new image is asked for, but a preview is always changed in place.
   p.destination = PixelMathTransform::CreateNew;
   PixelMathTransform process( p );
   EXPECT_TRUE( process.ModifiesTarget( view ) );
   EXPECT_TRUE( process.IsMaskable( view, nullptr ) );
   process.DoExecuteOn( view );

   qor::Image resampled( small );
   resampled.Resample( 10, 8, qor::Interpolation::Bicubic, qor::Interpolation::DefaultBlockSize );
   for ( int32_t y = 0; y < 3; ++y )
      for ( int32_t x = 0; x < 4; ++x )
         ASSERT_EQ( preview.Pixel( x, y ), resampled.Pixel( x + 2, y + 1 ) ) << x << ", " << y;
   EXPECT_TRUE( images.created.empty() );
   EXPECT_EQ( view.modifications, 1 );
}

TEST_F( PixelMathTransformTest, ANewImageTakesTheResultAndLeavesTheTargetAsItWas )
{
   qor::Image target = test::RandomImage( 9, 5, 3, qor::ColorSpace::RGB, 8 );
   const qor::Image start( target );
   View& view = static_cast<View&>( images.Open( "M31", &target ) );
   images.Open( "M31_pm", nullptr ); // the identifier the run wishes for is taken
   CurrentPreferences.identifiers.pixelMathDestinationPostfix = "_pm";
   PixelMathTransform::Parameters p = Clipping();
   p.sources.push_back( Item( P::ADD, "", 0.5f, 0.25f, 0 ) );
   p.destination = PixelMathTransform::CreateNew;
   PixelMathTransform process( p );
   EXPECT_FALSE( process.ModifiesTarget( view ) );
   EXPECT_FALSE( process.IsMaskable( view, nullptr ) );
   process.DoExecuteOn( view );

   EXPECT_TRUE( test::SamePixels( target, start ) );
   EXPECT_EQ( view.modifications, 0 );
   ASSERT_EQ( images.created.size(), 1u );
   EXPECT_EQ( images.createdViews[0]->id, "M31_pm1" );
   EXPECT_EQ( images.createdViews[0]->modifications, 1 );
   const qor::Image& made = *images.created[0];
   EXPECT_FALSE( made.IsMonitored() );
   const float added[3] = { 0.5f, 0.25f, 0 };
   for ( int32_t c = 0; c < 3; ++c )
      EXPECT_EQ( made[c][4], float( std::min( 1.0, double( start[c][4] ) + added[c] ) ) );

   // Without a postfix the new window chooses its identifier.
   CurrentPreferences.identifiers.pixelMathDestinationPostfix.clear();
   process.DoExecuteOn( view );
   ASSERT_EQ( images.created.size(), 2u );
   EXPECT_EQ( images.createdViews[1]->id, "" );
}

TEST_F( PixelMathTransformTest, ABrokenLinkIsAskedAboutAndThenActsAsConstants )
{
   qor::Image target( 3, 2, 1, qor::ColorSpace::Gray );
   target.Fill( 0, 0.25f );
   View view( "Target", &target );
   PixelMathTransform::Parameters p = Clipping();
   p.sources.push_back( Item( P::ADD, "Gone", 0.5f, 1, 1, true ) );

   platform::PromptExpectation question;
   question.text = "A link to the view:\nGone\nis broken. Continue applying PixelMath sequence?";
   question.caption = "PixelMath";
   question.icon = platform::Icon::Error;
   question.answer = platform::Answer::Yes;
   prompter.Expect( question );
   Run( p, view );
   EXPECT_EQ( target[0][5], 0.75f ); // the factor as a constant; the invert flag does nothing

   question.answer = platform::Answer::No;
   prompter.Expect( question );
   EXPECT_THROW( Run( p, view ), qor::Image::AbortProcessEvent );
   EXPECT_EQ( target[0][5], 0.75f );
}
