#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "classlib/Image.h"
#include "process/DynamicProcess.h"
#include "process/GeometricProcess.h"
#include "process/TransferCurveProcess.h"
#include "windows/image/ImageWindow.h"
#include "windows/image/ImageWindowTestSupport.h"

using test::ImageWindowTest;

namespace
{

class FakeView : public ProcessView
{
public:
   explicit FakeView( bool preview ) : preview( preview ) {}
   bool IsPreview() const override { return preview; }
   std::string FullId() const override { return preview ? "Image01->Preview01" : "Image01"; }
   bool preview;
};

// Resizes to a fixed size, remembering what it was asked.
class FixedSize : public GeometricProcess
{
public:
   std::unique_ptr<Process> Clone() const override { return std::make_unique<FixedSize>( *this ); }
   std::string Id() const override { return "FixedSize"; }
   void GetNewSize( int32_t& width, int32_t& height, const ProcessView& ) const override
   {
      ++asked;
      seenWidth = width;
      seenHeight = height;
      width = newWidth;
      height = newHeight;
   }
   int32_t newWidth = 1;
   int32_t newHeight = 1;
   mutable int asked = 0;
   mutable int32_t seenWidth = 0;
   mutable int32_t seenHeight = 0;
};

class Stretch : public TransferCurveProcess
{
public:
   std::unique_ptr<Process> Clone() const override { return std::make_unique<Stretch>( *this ); }
   std::string Id() const override { return "Stretch"; }
};

} // namespace

TEST( ProcessCategoriesTest, TransferCurveProcessesRunOnPreviewsToo )
{
   Stretch s;
   EXPECT_EQ( s.Category(), "Transfer Curves" );
   EXPECT_TRUE( s.CanExecuteOn( FakeView( true ) ) );
   EXPECT_TRUE( s.CanExecuteOn( FakeView( false ) ) );
   EXPECT_EQ( s.Clone()->Category(), "Transfer Curves" );
}

TEST( ProcessCategoriesTest, GeometricProcessesRefusePreviewsAndViewsWithoutAnImage )
{
   FixedSize p;
   EXPECT_EQ( p.Category(), "Geometry" );
   EXPECT_EQ( p.Clone()->Category(), "Geometry" );

   // A preview is refused before any size is computed.
   EXPECT_FALSE( p.CanExecuteOn( FakeView( true ) ) );
   EXPECT_FALSE( p.CanExecuteOnSize( FakeView( true ), 100, 100 ) );
   EXPECT_EQ( p.asked, 0 );
   // So is a view that is not an image window's: there is no image to measure.
   EXPECT_FALSE( p.CanExecuteOn( FakeView( false ) ) );
   EXPECT_EQ( p.asked, 0 );
}

TEST( ProcessCategoriesTest, GeometricProcessesNeedANewSizeOf1To32000BothWays )
{
   FixedSize p;
   struct
   {
      int32_t w, h;
      bool accepted;
   } sizes[] = { { 1, 1, true },    { 32000, 32000, true }, { 32001, 100, false }, { 100, 32001, false },
                 { 0, 100, false }, { 100, 0, false },      { -5, 10, false },     { 10, -5, false } };
   for ( auto& s : sizes )
   {
      p.newWidth = s.w;
      p.newHeight = s.h;
      EXPECT_EQ( p.CanExecuteOnSize( FakeView( false ), 640, 480 ), s.accepted ) << s.w << "x" << s.h;
   }
   // GetNewSize starts from the present size.
   EXPECT_EQ( p.seenWidth, 640 );
   EXPECT_EQ( p.seenHeight, 480 );
}

TEST_F( ImageWindowTest, GeometricProcessesMeasureTheImageOfAnImageWindowsView )
{
   TImageWindow* w = Make( new qor::Image( 640, 480 ), "Geo" );
   FixedSize p;
   p.newWidth = 32000;
   p.newHeight = 2;
   EXPECT_TRUE( p.CanExecuteOn( *w->mainView ) );
   EXPECT_EQ( p.seenWidth, 640 );
   EXPECT_EQ( p.seenHeight, 480 );
   p.newWidth = 32001;
   EXPECT_FALSE( p.CanExecuteOn( *w->mainView ) );

   p.asked = 0;
   p.newWidth = 10;
   TImageWindow::Preview* preview = w->CreatePreview( "Preview01", 10, 10, 100, 50 );
   ASSERT_NE( preview, nullptr );
   EXPECT_FALSE( p.CanExecuteOn( *preview ) );
   EXPECT_EQ( p.asked, 0 );
}

// ---- Dynamic processes ----------------------------------------------------------------------------------------

namespace
{

class SessionDialog : public ProcessSessionDialog
{
public:
   const Process* ExecutingInstance() const override { return executing; }
   const Process* executing = nullptr;
};

class Interactive : public DynamicProcess
{
public:
   std::unique_ptr<Process> Clone() const override { return std::make_unique<Interactive>( *this ); }
   std::string Id() const override { return "Interactive"; }
   bool IsSessionActive( const ProcessView& ) const override { return sessionActive; }
   const ProcessSessionDialog* SessionDialog() const override { return dialog; }
   bool sessionActive = false;
   const ProcessSessionDialog* dialog = nullptr;
};

} // namespace

TEST( ProcessCategoriesTest, ASessionLetsOnlyTheInstanceItsDialogRunsExecute )
{
   SessionDialog dialog;
   Interactive a;
   EXPECT_EQ( a.Category(), "Dynamic" );
   EXPECT_TRUE( a.CanExecuteOn( FakeView( false ) ) );
   EXPECT_FALSE( a.CanExecuteOn( FakeView( true ) ) );

   a.sessionActive = true;
   EXPECT_TRUE( a.CanExecuteOn( FakeView( false ) ) ); // no dialog drives the session: not blocked

   a.dialog = &dialog;
   auto clone = a.Clone();
   dialog.executing = &a;
   EXPECT_TRUE( a.CanExecuteOn( FakeView( false ) ) );
   EXPECT_FALSE( clone->CanExecuteOn( FakeView( false ) ) ); // equal, but not the very instance
   EXPECT_FALSE( a.CanExecuteOn( FakeView( true ) ) );
   dialog.executing = nullptr;
   EXPECT_FALSE( a.CanExecuteOn( FakeView( false ) ) );
}
