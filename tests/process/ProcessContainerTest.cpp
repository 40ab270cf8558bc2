// The process container: its aggregated answers, copies, listing text and the run of a sequence.

#include <gtest/gtest.h>

#include <QLocale>

#include <clocale>
#include <cstdio>

#include "ProcessTestKit.h"
#include "TestSupport.h"
#include "classlib/Image.h"
#include "process/ProcessContainer.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace
{

using kit::ScriptProcess;

std::unique_ptr<ScriptProcess> Script( const std::string& id, std::vector<std::string>* log = nullptr )
{
   return std::make_unique<ScriptProcess>( id, log );
}

ScriptProcess& At( ProcessContainer& container, size_t i )
{
   return dynamic_cast<ScriptProcess&>( *container.instances[i] );
}

// --- Answers aggregated over the instances -----------------------------------------------------------------------

TEST( ProcessContainerTest, AggregatesOnlyEnabledInstances )
{
   kit::FakeView view( "Image01" );
   ProcessContainer container;
   EXPECT_FALSE( container.CanExecuteOn( view ) ) << "empty";
   EXPECT_FALSE( container.CanExecuteGlobal() ) << "empty";
   EXPECT_FALSE( container.ModifiesTarget( view ) );
   EXPECT_EQ( container.UndoFlags( view ), 0u );
   EXPECT_FALSE( container.IsMaskable( view, nullptr ) );
   EXPECT_EQ( container.Category(), "General" );
   EXPECT_EQ( container.Id(), "ProcessContainer" );
   EXPECT_EQ( container.parameters, nullptr );

   auto a = Script( "A" );
   a->flags = Process::UndoPixelData | Process::UndoICCProfile;
   a->enabled = false;
   a->canRun = false;
   a->canRunGlobal = false;
   container.AddInstance( std::move( a ) );
   EXPECT_TRUE( container.CanExecuteOn( view ) ) << "nothing enabled refuses";
   EXPECT_TRUE( container.CanExecuteGlobal() );
   EXPECT_FALSE( container.ModifiesTarget( view ) );
   EXPECT_EQ( container.UndoFlags( view ), 0u );

   auto b = Script( "B" );
   b->flags = Process::UndoRGBWorkingSpace;
   b->modifies = false;
   auto c = Script( "C" );
   c->flags = Process::UndoMainViewId;
   container.AddInstance( std::move( b ) );
   container.AddInstance( std::move( c ) );
   EXPECT_TRUE( container.ModifiesTarget( view ) );
   EXPECT_EQ( container.UndoFlags( view ), Process::UndoRGBWorkingSpace | Process::UndoMainViewId );

   At( container, 2 ).canRun = false;
   At( container, 2 ).canRunGlobal = false;
   EXPECT_FALSE( container.CanExecuteOn( view ) );
   EXPECT_FALSE( container.CanExecuteGlobal() );
}

TEST( ProcessContainerTest, CopiesOwnTheirInstancesAndCleanCopiesDropDisabledOnes )
{
   ProcessContainer container;
   container.AddInstance( Script( "A" ) );
   auto disabled = Script( "B" );
   disabled->enabled = false;
   container.AddInstance( std::move( disabled ) );
   auto nested = std::make_unique<ProcessContainer>();
   auto nestedDisabled = Script( "C" );
   nestedDisabled->enabled = false;
   nested->AddInstance( std::move( nestedDisabled ) );
   container.AddInstance( std::move( nested ) );

   std::unique_ptr<Process> clone = container.Clone();
   auto& copy = dynamic_cast<ProcessContainer&>( *clone );
   ASSERT_EQ( copy.instances.Length(), 3u );
   for ( size_t i = 0; i < 3; ++i )
   {
      EXPECT_NE( copy.instances[i], container.instances[i] );
      EXPECT_EQ( copy.instances[i]->owner, &copy );
   }
   auto& nestedCopy = dynamic_cast<ProcessContainer&>( *copy.instances[2] );
   EXPECT_EQ( nestedCopy.instances[0]->owner, &nestedCopy );

   copy.RemoveDisabled();
   ASSERT_EQ( copy.instances.Length(), 1u ) << "A; the nested container, left empty, goes too";
   EXPECT_EQ( copy.instances[0]->Id(), "A" );
   EXPECT_EQ( container.instances.Length(), 3u ) << "the source keeps everything";

   std::unique_ptr<Process> probe = container.ProbeInstance();
   auto& probed = dynamic_cast<ProcessContainer&>( *probe );
   ASSERT_EQ( probed.instances.Length(), 2u );
   EXPECT_EQ( probed.instances[0]->Id(), "A" );
   EXPECT_EQ( probed.instances[1]->owner, &probed );

   // Assigning a container's own list to itself keeps it.
   container.AssignInstances( container.instances );
   ASSERT_EQ( container.instances.Length(), 3u );
   EXPECT_EQ( container.instances[1]->Id(), "B" );
}

// --- Listing ----------------------------------------------------------------------------------------------------

TEST( ProcessContainerTest, FormatsDatesWithEnglishMonthNames )
{
   EXPECT_EQ( ProcessContainer::FormatDateTime( 46366.0 + 47109.0 / 86400 ), "2026 Dec 10 13:05:09" );
   EXPECT_EQ( ProcessContainer::FormatDateTime( 36585.99998842592 ), "2000 Feb 29 23:59:59" );
   EXPECT_EQ( ProcessContainer::FormatDateTime( 2.0 ), "1900 Jan 01 00:00:00" );
   EXPECT_EQ( ProcessContainer::FormatDateTime( 45000.9999999999 ), "2023 Mar 16 00:00:00" ) << "to the millisecond";
}

TEST( ProcessContainerTest, ListsInstancesAsSourceText )
{
   using Listed = kit::FakeProcess<"Listed">;
   ProcessContainer container;

   auto never = std::make_unique<Listed>();
   never->maskId = "Mask01";
   static_cast<kit::KitParameters&>( *never->parameters ).text = "a=1,\n   b=\"x y\",  \n \n  c=2  ";
   container.AddInstance( std::move( never ) );

   auto ran = std::make_unique<Listed>();
   ran->startTime = 46366.0 + 47109.0 / 86400;
   ran->processingTime = 1.5 / 86400;
   static_cast<kit::KitParameters&>( *ran->parameters ).text = "a=2\n";
   container.AddInstance( std::move( ran ) );

   auto nested = std::make_unique<ProcessContainer>();
   nested->maskId = "NotListed";
   nested->AddInstance( std::make_unique<kit::FakeProcess<"Inner", "General", 1000, false>>() );
   container.AddInstance( std::move( nested ) );

   std::vector<std::string> lines{ "before" };
   container.ListInstances( lines, 1 );
   const std::vector<std::string> expected = {
      "before",
      "\tListed",
      "\t{",
      "\t\tmaskId=\"Mask01\"",
      "\t\ta=1,",
      "\t\tb=\"x y\",", // trimmed
      "",
      "\t\t  c=2  ", // the rest after the last line break, untrimmed
      "\t}",
      "",
      "\tListed",
      "\t{",
      "\t\t// startTime=\"2026 Dec 10 13:05:09\"",
      "\t\t// processingTime=1.50",
      "",
      "\t\ta=2",
      "\t}",
      "",
      "\tProcessContainer",
      "\t{",
      "\t\tInner",
      "\t\t{",
      "\t\t}",
      "\t}",
   };
   EXPECT_EQ( lines, expected );

   std::vector<std::string> top;
   ProcessContainer single;
   single.AddInstance( std::make_unique<kit::FakeProcess<"Inner", "General", 1000, false>>() );
   single.ListInstances( top, -3 );
   EXPECT_EQ( top, ( std::vector<std::string>{ "Inner", "{", "}" } ) );
}

// The program runs in the user's locale; a listing is source text all the same.
TEST( ProcessContainerTest, ListsNumbersWithAPointInAGermanLocale )
{
   const std::string saved = std::setlocale( LC_ALL, nullptr );
   const QLocale savedDefault;
   if ( std::setlocale( LC_ALL, "de_DE.UTF-8" ) == nullptr && std::setlocale( LC_ALL, "de_DE.utf8" ) == nullptr )
      GTEST_SKIP() << "no German locale installed";
   QLocale::setDefault( QLocale( QLocale::German, QLocale::Germany ) );
   struct Restore
   {
      ~Restore()
      {
         std::setlocale( LC_ALL, saved.c_str() );
         QLocale::setDefault( savedDefault );
      }
      const std::string& saved;
      const QLocale& savedDefault;
   } restore{ saved, savedDefault };
   char probe[16];
   std::snprintf( probe, sizeof( probe ), "%.2lf", 1.5 );
   ASSERT_STREQ( probe, "1,50" ) << "the locale writes a decimal comma";

   ProcessContainer container;
   auto ran = std::make_unique<kit::FakeProcess<"Inner", "General", 1000, false>>();
   ran->startTime = 46366.0 + 47109.0 / 86400;
   ran->processingTime = 1234.5 / 86400;
   container.AddInstance( std::move( ran ) );
   std::vector<std::string> lines;
   container.ListInstances( lines, 0 );
   ASSERT_GE( lines.size(), 4u );
   EXPECT_EQ( lines[2], "\t// startTime=\"2026 Dec 10 13:05:09\"" );
   EXPECT_EQ( lines[3], "\t// processingTime=1234.50" );
}

// --- Running a sequence -----------------------------------------------------------------------------------------

// Records what the framework is asked to do, and can find one mask window.
class RecordingSteps : public ProcessContainer::RunSteps
{
public:
   explicit RecordingSteps( std::vector<std::string>& log ) : log( log ) {}

   void PrepareTarget( Process& run, ProcessView& ) override
   {
      log.push_back( "prepare flags=" + std::to_string( run.UndoFlags( *view ) ) +
                     ( run.ModifiesTarget( *view ) ? " modifies" : "" ) );
   }
   void AddToHistory( ProcessView&, std::unique_ptr<Process> instance ) override
   {
      log.push_back( "history" );
      history = std::move( instance );
   }
   void FinishTarget( Process&, ProcessView&, bool notify ) override
   {
      log.push_back( notify ? "finish notify" : "finish" );
   }
   void AllowPainting( ProcessView& ) override { log.push_back( "paint" ); }
   void RecoverTarget( Process&, ProcessView& ) override { log.push_back( "recover" ); }
   void BeginTask( const std::string& text ) override { log.push_back( "task " + text ); }
   MaskTarget* FindMask( const std::string& maskId, ProcessView& ) override
   {
      return ( mask != nullptr && mask->id == maskId ) ? mask : nullptr;
   }
   void KeepUnmaskedState( ProcessView&, int64_t index ) override
   {
      log.push_back( "keep " + std::to_string( index ) );
   }
   bool ApplyMask( ProcessView&, MaskTarget* target ) override
   {
      log.push_back( "blend " + ( target != nullptr ? target->MainViewId() : std::string( "(none)" ) ) );
      return blends;
   }
   void EndMasking( ProcessView&, bool failed ) override { log.push_back( failed ? "end failed" : "end" ); }

   std::vector<std::string>& log;
   kit::FakeView* view = nullptr;
   kit::FakeMask* mask = nullptr;
   bool blends = true;
   std::unique_ptr<Process> history;
};

class ContainerRunTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      ScriptedUiTest::SetUp();
      steps.view = &view;
      ProcessContainer::SetRunSteps( &steps );
   }
   void TearDown() override
   {
      ProcessContainer::SetRunSteps( nullptr );
      ScriptedUiTest::TearDown();
   }

   ScriptProcess& Add( const std::string& id )
   {
      container.AddInstance( Script( id, &log ) );
      return At( container, container.instances.Length() - 1 );
   }

   std::string Refusal()
   {
      try
      {
         container.ExecuteOn( view, true );
      }
      catch ( const ProcessRefusal& x )
      {
         return std::string( "refused: " ) + x.what();
      }
      return "ran";
   }

   std::vector<std::string> log;
   RecordingSteps steps{ log };
   kit::FakeView view{ "Image01" };
   ProcessContainer container;
};

TEST_F( ContainerRunTest, RunsEnabledInstancesAsOneRunAndRecordsWhatRan )
{
   Add( "A" ).flags = Process::UndoPixelData;
   ScriptProcess& skipped = Add( "B" );
   skipped.enabled = false;
   skipped.processingTime = 5;
   Add( "C" ).flags = Process::UndoFITSKeywords;

   EXPECT_EQ( Refusal(), "ran" );
   const std::vector<std::string> expected = { "prepare flags=9 modifies", "task A", "run A", "after A", "task C",
                                               "run C", "after C", "end", "history", "finish notify" };
   EXPECT_EQ( log, expected );
   EXPECT_EQ( skipped.processingTime, 0 ) << "every instance's time is reset";
   EXPECT_NE( container.startTime, 0 );
   EXPECT_NE( At( container, 0 ).startTime, 0 );
   EXPECT_EQ( skipped.startTime, 0 );

   auto& history = dynamic_cast<ProcessContainer&>( *steps.history );
   ASSERT_EQ( history.instances.Length(), 2u ) << "the disabled instance did not run";
   EXPECT_EQ( history.instances[1]->Id(), "C" );
}

TEST_F( ContainerRunTest, NothingEnabledRunsNothingAndAddsNoHistory )
{
   Add( "A" ).enabled = false;
   EXPECT_EQ( Refusal(), "ran" );
   EXPECT_EQ( log, ( std::vector<std::string>{ "prepare flags=0", "end", "finish notify" } ) );
   EXPECT_EQ( steps.history, nullptr );
}

// An instance that cannot run on the view refuses the whole sequence before anything has changed the target.
TEST_F( ContainerRunTest, ARefusingInstanceStopsTheSequenceBeforeTheFirstRuns )
{
   Add( "A" );
   Add( "B" ).canRun = false;
   EXPECT_EQ( Refusal(), "refused: Process B cannot be executed on view: Image01" );
   EXPECT_TRUE( log.empty() ) << log.front();
}

// A failure once the target has been changed brings it back from the undo data of the whole sequence.
TEST_F( ContainerRunTest, ALaterFailureRecoversTheTarget )
{
   struct Case
   {
      const char* what;
      std::function<void( ScriptProcess& )> spoil;
      std::string outcome;
   };
   const std::vector<Case> cases = {
      { "confirmation declined", []( ScriptProcess& p ) { p.confirm = false; }, "refused: " },
      { "error", []( ScriptProcess& p ) { p.work = [] { throw ProcessRefusal( "broken" ); }; }, "refused: broken" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      log.clear();
      container.DeleteInstances();
      Add( "A" );
      c.spoil( Add( "B" ) );
      EXPECT_EQ( Refusal(), c.outcome );
      EXPECT_EQ( log.back(), "recover" );
      EXPECT_NE( std::find( log.begin(), log.end(), "run A" ), log.end() );
      EXPECT_NE( std::find( log.begin(), log.end(), "end failed" ), log.end() );
      EXPECT_NE( std::find( log.begin(), log.end(), "paint" ), log.end() );
      EXPECT_EQ( std::find( log.begin(), log.end(), "history" ), log.end() );
   }
}

TEST_F( ContainerRunTest, AnAbortIsLeftToTheLaunchToRecover )
{
   Add( "A" );
   Add( "B" ).work = [] { throw qor::Image::AbortProcessEvent( nullptr ); };
   EXPECT_THROW( container.ExecuteOn( view, false ), qor::Image::AbortProcessEvent );
   EXPECT_EQ( log.back(), "paint" );
   EXPECT_EQ( std::find( log.begin(), log.end(), "recover" ), log.end() );
}

TEST_F( ContainerRunTest, InstancesFindTheirMaskAgainByIdentifier )
{
   kit::FakeMask mask( "Mask01" );
   steps.mask = &mask;
   Add( "A" );
   ScriptProcess& masked = Add( "B" );
   masked.maskId = "Mask01";
   masked.maskLost = true;

   EXPECT_EQ( Refusal(), "ran" );
   EXPECT_EQ( masked.mask, &mask );
   EXPECT_FALSE( masked.maskLost );
   const std::vector<std::string> expected = { "prepare flags=1 modifies",
                                               "task A",
                                               "run A",
                                               "after A",
                                               "task B",
                                               "keep 1",
                                               "run B",
                                               "task Masking with Mask01",
                                               "blend Mask01",
                                               "after B",
                                               "end",
                                               "history",
                                               "finish notify" };
   EXPECT_EQ( log, expected );
   // The instance and its clone in the history leave the mask window before it goes.
   masked.SetMask( nullptr );
   steps.history.reset();
}

TEST_F( ContainerRunTest, AMissingMaskAsksWhetherToRunUnmasked )
{
   struct Case
   {
      platform::Answer answer;
      std::string outcome;
      bool ranB;
   };
   for ( const Case& c : { Case{ platform::Answer::Yes, "ran", true }, Case{ platform::Answer::No, "ran", false },
                           Case{ platform::Answer::Cancel, "refused: ", false } } )
   {
      SCOPED_TRACE( platform::AnswerText( c.answer ).toStdString() );
      log.clear();
      container.DeleteInstances();
      Add( "A" );
      Add( "B" ).maskId = "Gone01";
      Add( "C" );
      prompter.Expect( "A required mask image was not found or is not compatible with the target image:\nGone01\n"
                       "Apply unmasked ?",
                       c.answer );
      EXPECT_EQ( Refusal(), c.outcome );
      EXPECT_EQ( std::find( log.begin(), log.end(), "run B" ) != log.end(), c.ranB );
      EXPECT_EQ( std::find( log.begin(), log.end(), "after B" ) != log.end(), c.ranB );
      EXPECT_EQ( std::find( log.begin(), log.end(), "run C" ) != log.end(), c.answer != platform::Answer::Cancel );
      EXPECT_EQ( std::find( log.begin(), log.end(), "keep 1" ), log.end() ) << "nothing to blend";
   }
   ASSERT_EQ( prompter.Records().size(), 3u );
   EXPECT_EQ( prompter.Records()[0].icon, platform::Icon::Error );
   EXPECT_EQ( prompter.Records()[0].buttons, platform::Buttons::YesNoCancel );
}

TEST( ProcessContainerTest, OnAViewOutsideTheImageWindowsARunOnlySequences )
{
   std::vector<std::string> log;
   kit::FakeView view( "Image01->Preview01", true );
   ProcessContainer container;
   container.AddInstance( Script( "A", &log ) );
   container.AddInstance( Script( "B", &log ) );
   container.ExecuteOn( view, true );
   EXPECT_EQ( log, ( std::vector<std::string>{ "run A", "after A", "run B", "after B" } ) );
   EXPECT_NO_THROW( container.ExecuteGlobal() );
}

// --- Through the execution framework, on image windows -------------------------------------------------------------

class ContainerOnImageWindowTest : public test::ImageWindowTest
{
protected:
   void SetUp() override
   {
      test::ImageWindowTest::SetUp();
      savedActive = StatusDialog().applicationActive;
      StatusDialog().applicationActive = [] { return true; };
   }
   void TearDown() override
   {
      StatusDialog().applicationActive = savedActive;
      test::ImageWindowTest::TearDown();
   }

   static std::vector<float> Samples( const qor::Image& image )
   {
      return std::vector<float>( image.PixelData( 0 ), image.PixelData( 0 ) + image.NumberOfPixels() );
   }

   std::function<bool()> savedActive;
};

TEST_F( ContainerOnImageWindowTest, ALaunchIsOneRunWithOneHistoryEntry )
{
   TImageWindow* w = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "Image01" );
   ProcessContainer container;
   bool monitored = false;
   auto a = Script( "A" );
   a->work = [w, &monitored]
   {
      monitored = w->image->Status().IsMonitored();
      w->image->Fill( 0, 0.25f );
   };
   container.AddInstance( std::move( a ) );
   auto b = Script( "B" );
   b->enabled = false;
   container.AddInstance( std::move( b ) );
   auto c = Script( "C" );
   c->work = [w] { w->image->Pixel( 0, 0 ) = 1.0f; };
   container.AddInstance( std::move( c ) );

   ASSERT_TRUE( container.LaunchOn( *w->mainView ) );
   EXPECT_TRUE( monitored ) << "the instances report progress to the status dialog";
   EXPECT_FALSE( w->image->Status().IsMonitored() );
   EXPECT_EQ( w->image->Pixel( 0, 0 ), 1.0f );
   EXPECT_EQ( w->image->Pixel( 7, 7 ), 0.25f );
   EXPECT_TRUE( w->paintingAllowed );

   auto* history = dynamic_cast<ProcessContainer*>( w->mainView->LastProcess() );
   ASSERT_NE( history, nullptr ) << "the sequence entered the history as one container";
   ASSERT_EQ( history->instances.Length(), 2u );
   EXPECT_EQ( history->instances[0]->Id(), "A" );
   EXPECT_EQ( history->instances[1]->Id(), "C" );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );
}

// What ran enters the history without the disabled instances, and without nested containers that held only
// disabled ones (an empty container cannot run): the history replays on another image.
TEST_F( ContainerOnImageWindowTest, AHistoryReplaysOnAnotherImage )
{
   TImageWindow* w = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "Image01" );
   TImageWindow* other = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray, 11 ), "Image02" );
   std::vector<std::string> log;
   ProcessContainer container;
   container.AddInstance( Script( "A", &log ) );
   auto inner = std::make_unique<ProcessContainer>();
   auto b = Script( "B", &log );
   b->enabled = false;
   inner->AddInstance( std::move( b ) );
   auto emptied = std::make_unique<ProcessContainer>();
   auto c = Script( "C", &log );
   c->enabled = false;
   emptied->AddInstance( std::move( c ) );
   inner->AddInstance( std::move( emptied ) );
   container.AddInstance( std::move( inner ) );
   ASSERT_TRUE( container.LaunchOn( *w->mainView ) );

   ProcessContainer history( w->mainView->History() );
   log.clear();
   ASSERT_TRUE( history.LaunchOn( *other->mainView ) );
   EXPECT_EQ( log, ( std::vector<std::string>{ "run A", "after A" } ) );
   auto* replayed = dynamic_cast<ProcessContainer*>( other->mainView->LastProcess() );
   ASSERT_NE( replayed, nullptr );
   ASSERT_EQ( replayed->instances.Length(), 1u );
   auto* entry = dynamic_cast<ProcessContainer*>( replayed->instances[0] );
   ASSERT_NE( entry, nullptr );
   ASSERT_EQ( entry->instances.Length(), 1u );
   EXPECT_EQ( entry->instances[0]->Id(), "A" );
}

// On a preview every run starts from the preview's restored state, so a sequence that fails halfway is undone by
// restoring it; the refusal is then shown as for any run.
TEST_F( ContainerOnImageWindowTest, AFailureHalfwayRestoresThePreview )
{
   TImageWindow* w = Make( RandomImage( 16, 16, 1, qor::ColorSpace::Gray ), "Image01" );
   TImageWindow::Preview* preview = w->CreatePreview( "Preview01", 4, 4, 8, 8 );
   const std::vector<float> before = Samples( preview->GetImage() );

   ProcessContainer container;
   auto a = Script( "A" );
   a->work = [preview] { preview->GetImage().Fill( 0, 0.25f ); };
   container.AddInstance( std::move( a ) );
   auto b = Script( "B" );
   b->work = [] { throw ProcessRefusal( "Process B failed" ); };
   container.AddInstance( std::move( b ) );

   prompter.Expect( "Process B failed" );
   EXPECT_FALSE( container.LaunchOn( *preview ) );
   EXPECT_EQ( Samples( preview->GetImage() ), before );
   EXPECT_EQ( preview->LastProcess(), nullptr );
   EXPECT_TRUE( w->paintingAllowed );
}

// A masked instance blends its result with the pixels it started from through its own mask, whatever the window's
// own mask; its record in the history says so only when the blend happened.
TEST_F( ContainerOnImageWindowTest, MaskedInstancesBlendThroughTheirOwnMask )
{
   struct Case
   {
      const char* name;
      bool onPreview;
      bool resizes;
      bool nested; // the mask is a nested container's, whose own instance has none
   };
   for ( const Case& c : { Case{ "main view", false, false, false }, Case{ "preview", true, false, false },
                           Case{ "result of another size", false, true, false },
                           Case{ "nested container", false, false, true } } )
   {
      SCOPED_TRACE( c.name );
      TImageWindow* w = Make( RandomImage( 16, 16, 1, qor::ColorSpace::Gray ), "Image01" );
      // Masked in (1) on the right half, out (0) on the left.
      auto* maskImage = new qor::Image( 16, 16, 1, qor::ColorSpace::Gray );
      for ( int32_t y = 0; y < 16; ++y )
         for ( int32_t x = 0; x < 16; ++x )
            maskImage->Pixel( x, y ) = ( x >= 8 ) ? 1.0f : 0.0f;
      TImageWindow* maskWindow = Make( maskImage, "Mask01" );
      TImageWindow::View* view = w->mainView;
      if ( c.onPreview )
         view = w->CreatePreview( "Preview01", 4, 4, 8, 8 );
      const qor::Image before( view->GetImage() );

      ProcessContainer container;
      auto a = Script( "A" );
      a->work = [view, resizes = c.resizes]
      {
         if ( resizes )
            view->GetImage().Allocate( 4, 4, 1, qor::ColorSpace::Gray );
         view->GetImage().Fill( 0, 0.25f );
      };
      std::unique_ptr<Process> step = std::move( a );
      if ( c.nested )
      {
         auto inner = std::make_unique<ProcessContainer>();
         inner->AddInstance( std::move( step ) );
         step = std::move( inner );
      }
      step->maskId = "Mask01";
      step->maskLost = true;
      container.AddInstance( std::move( step ) );

      ASSERT_TRUE( container.LaunchOn( *view ) );
      const qor::Image& after = view->GetImage();
      auto* history = dynamic_cast<ProcessContainer*>( view->LastProcess() );
      ASSERT_NE( history, nullptr );
      const Process& recorded = *history->instances[0];
      if ( c.resizes )
      {
         EXPECT_EQ( after.Width(), 4 );
         EXPECT_EQ( after.Pixel( 0, 0 ), 0.25f );
         EXPECT_EQ( recorded.mask, nullptr ) << "nothing was blended";
         EXPECT_EQ( recorded.maskId, "" );
         EXPECT_FALSE( recorded.maskLost );
      }
      else
      {
         const int32_t left = c.onPreview ? 4 : 0;
         for ( int32_t y = 0; y < after.Height(); ++y )
            for ( int32_t x = 0; x < after.Width(); ++x )
               ASSERT_EQ( after.Pixel( x, y ), ( left + x >= 8 ) ? 0.25f : before.Pixel( x, y ) ) << x << "," << y;
         EXPECT_EQ( recorded.mask, static_cast<MaskTarget*>( maskWindow ) );
         EXPECT_EQ( recorded.maskId, "Mask01" );
         EXPECT_FALSE( recorded.maskLost );
      }
      for ( QPointer<TImageWindow>& window : windows )
         delete window.data();
      windows.clear();
   }
}

TEST_F( ContainerOnImageWindowTest, MasksAreFoundByTheIdentifierOfACompatibleImage )
{
   TImageWindow* w = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "Image01" );
   TImageWindow* mask = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "Mask01" );
   Make( RandomImage( 9, 8, 1, qor::ColorSpace::Gray ), "Wide01" );
   TImageWindow* colour = Make( RandomImage( 8, 8, 3, qor::ColorSpace::RGB ), "Colour01" );
   TImageWindow* masked = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "Masked01" );
   masked->SetMask( w );
   ProcessContainer::RunSteps& steps = ProcessContainer::Steps();
   EXPECT_EQ( steps.FindMask( "Mask01", *w->mainView ), static_cast<MaskTarget*>( mask ) );
   EXPECT_EQ( steps.FindMask( "Wide01", *w->mainView ), nullptr ) << "other dimensions";
   EXPECT_EQ( steps.FindMask( "Image01", *w->mainView ), nullptr ) << "the target itself";
   EXPECT_EQ( steps.FindMask( "mask01", *w->mainView ), nullptr );
   EXPECT_EQ( steps.FindMask( "Colour01", *w->mainView ), nullptr ) << "a colour mask for a grey image";
   EXPECT_EQ( steps.FindMask( "Mask01", *colour->mainView ), static_cast<MaskTarget*>( mask ) )
       << "a grey mask fits any image";
   EXPECT_EQ( steps.FindMask( "Masked01", *w->mainView ), nullptr ) << "a window masked by the target";
   EXPECT_EQ( steps.FindMask( "Image01", *masked->mainView ), static_cast<MaskTarget*>( w ) );
}

} // namespace
