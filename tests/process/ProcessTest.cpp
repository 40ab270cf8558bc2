// The process model: instances, their copies, parameters, mask references and the common stream fields.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "TestDirs.h"
#include "TestSupport.h"
#include "classlib/DateTime.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "process/GlobalProcess.h"
#include "process/ImageProcess.h"
#include "process/Process.h"
#include "support/ApplicationNames.h"

namespace
{

// A parameter set with a layout that grew: iterations exists from version 1.1 on.
class SigmaParameters : public Process::Parameters
{
public:
   std::unique_ptr<Process::Parameters> Clone() const override { return std::make_unique<SigmaParameters>( *this ); }
   void Assign( const Process::Parameters& source ) override
   {
      *this = dynamic_cast<const SigmaParameters&>( source );
   }
   void Read( qor::File& file, float version ) override
   {
      file.ReadValue( sigma );
      name = file.ReadString( file.ReadValue<int32_t>() );
      if ( version >= 1.1f )
         file.ReadValue( iterations );
   }
   void Write( qor::File& file, float version ) const override
   {
      file.WriteValue( sigma );
      file.WriteValue( static_cast<int32_t>( name.size() ) );
      file.WriteString( name );
      if ( version >= 1.1f )
         file.WriteValue( iterations );
   }
   std::string ToText( int32_t level ) const override
   {
      std::string indent( static_cast<size_t>( 3 * level ), ' ' );
      return indent + "sigma=" + std::to_string( sigma ) + ",\n" + indent + "name=\"" + name + "\",\n" + indent +
             "iterations=" + std::to_string( iterations );
   }

   double sigma = 1.5;
   std::string name = "lum";
   int32_t iterations = 3;
};

class SigmaProcess : public ImageProcess
{
public:
   explicit SigmaProcess( float version = 1.1f ) : version( version )
   {
      parameters = std::make_unique<SigmaParameters>();
   }
   SigmaProcess( const SigmaProcess& source ) : ImageProcess( source ), version( source.version )
   {
      parameters = source.parameters->Clone();
   }
   std::unique_ptr<Process> Clone() const override { return std::make_unique<SigmaProcess>( *this ); }
   std::string Id() const override { return "Sigma"; }
   float Version() const override { return version; }
   void DoExecuteOn( ProcessView& ) override
   {
      ++runs;
      if ( failure )
         failure();
   }
   bool ConfirmExecutionOn( ProcessView& ) override { return confirm; }

   SigmaParameters& Params() { return static_cast<SigmaParameters&>( *parameters ); }

   float version;
   int runs = 0;
   bool confirm = true;
   std::function<void()> failure;
};

// A process without parameters, of the General category, whose copy constructor does not clone any.
class BareProcess : public Process
{
public:
   std::unique_ptr<Process> Clone() const override { return std::make_unique<BareProcess>( *this ); }
   std::string Id() const override { return "Bare"; }
};

class SettingsProcess : public GlobalProcess
{
public:
   std::unique_ptr<Process> Clone() const override { return std::make_unique<SettingsProcess>( *this ); }
   std::string Id() const override { return "Settings"; }
   void DoExecuteGlobal() override { ++runs; }
   int runs = 0;
};

class FakeMaskWindow : public MaskTarget
{
public:
   explicit FakeMaskWindow( std::string id ) : id( std::move( id ) ) {}
   void AddMaskReference( Maskable* user ) override { references.push_back( user ); }
   void RemoveMaskReference( Maskable* user ) override
   {
      references.erase( std::remove( references.begin(), references.end(), user ), references.end() );
   }
   bool IsBeingDestroyed() const override { return destroying; }
   std::string MainViewId() const override { return id; }

   // What the window does when its main view is renamed.
   void Rename( const std::string& newId )
   {
      id = newId;
      for ( Maskable* user : std::vector<Maskable*>( references ) )
         user->MaskChanged();
   }

   std::string id;
   bool destroying = false;
   std::vector<Maskable*> references;
};

class FakeView : public ProcessView
{
public:
   FakeView( std::string id, bool preview ) : id( std::move( id ) ), preview( preview ) {}
   bool IsPreview() const override { return preview; }
   std::string FullId() const override { return id; }
   std::string id;
   bool preview;
};

// Counts ProcessUpdated broadcasts while it lives.
class UpdateCounter : public ProcessUpdateListener
{
public:
   UpdateCounter() { AddProcessUpdateListener( this ); }
   ~UpdateCounter() { RemoveProcessUpdateListener( this ); }
   void ProcessUpdated( Process& instance ) override
   {
      seen.push_back( &instance );
      if ( onUpdate )
         onUpdate();
   }
   std::vector<Process*> seen;
   std::function<void()> onUpdate;
};

// --- Instances and copies ---------------------------------------------------------------------------------------

TEST( ProcessTest, CategoriesAndApplicability )
{
   FakeView main( "Image01", false );
   FakeView preview( "Image01->Preview01", true );
   SigmaProcess image;
   SettingsProcess global;
   BareProcess general;

   EXPECT_EQ( image.Category(), "Image" );
   EXPECT_TRUE( image.CanExecuteOn( main ) );
   EXPECT_FALSE( image.CanExecuteOn( preview ) );
   EXPECT_FALSE( image.CanExecuteGlobal() );

   EXPECT_EQ( global.Category(), "Global" );
   EXPECT_FALSE( global.CanExecuteOn( main ) );
   EXPECT_FALSE( global.CanExecuteOn( preview ) );
   EXPECT_TRUE( global.CanExecuteGlobal() );

   EXPECT_EQ( general.Category(), "General" );
   EXPECT_TRUE( general.CanExecuteOn( preview ) );
   EXPECT_EQ( general.Version(), 1.0f );
   EXPECT_EQ( general.UndoFlags( main ), Process::UndoPixelData );
   EXPECT_TRUE( general.ModifiesTarget( main ) );
   EXPECT_TRUE( general.IsMaskable( main, nullptr ) );
   EXPECT_EQ( general.Action(), nullptr );
   EXPECT_FALSE( general.IsInterfaceAvailable() );
}

TEST( ProcessTest, CloneCopiesTheInstanceWithItsOwnParameters )
{
   SigmaProcess original;
   original.enabled = false;
   original.maskId = "Mask01";
   original.maskLost = true;
   original.startTime = 45000.25;
   original.processingTime = 0.001;
   original.targetModificationCount = 17;
   original.Params().sigma = 2.75;
   auto* owner = reinterpret_cast<ProcessContainer*>( &original ); // any address: the owner is only referenced
   original.owner = owner;

   std::unique_ptr<Process> copy = original.Clone();
   auto& clone = static_cast<SigmaProcess&>( *copy );
   EXPECT_EQ( clone.Id(), "Sigma" );
   EXPECT_FALSE( clone.enabled );
   EXPECT_EQ( clone.maskId, "Mask01" );
   EXPECT_TRUE( clone.maskLost );
   EXPECT_EQ( clone.startTime, 45000.25 );
   EXPECT_EQ( clone.processingTime, 0.001 );
   EXPECT_EQ( clone.owner, owner );
   EXPECT_EQ( clone.targetModificationCount, 0 );
   EXPECT_EQ( clone.ToText(), original.ToText() );

   // The parameters are the clone's own.
   ASSERT_NE( clone.parameters.get(), original.parameters.get() );
   clone.Params().sigma = 9;
   EXPECT_EQ( original.Params().sigma, 2.75 );

   std::unique_ptr<Process> probe = original.ProbeInstance();
   EXPECT_EQ( probe->ToText(), original.ToText() );
}

TEST( ProcessTest, BaseCopyHasNoParametersAndTextIsTheBareId )
{
   BareProcess bare;
   bare.parameters = SigmaParameters().Clone();
   std::unique_ptr<Process> copy = bare.Clone();
   EXPECT_EQ( copy->parameters, nullptr );
   EXPECT_EQ( copy->ToText(), "Bare" );
   EXPECT_EQ( bare.ToText(), "Bare sigma=1.500000,\nname=\"lum\",\niterations=3" );
}

// --- Masks ----------------------------------------------------------------------------------------------------------

TEST( ProcessMaskTest, SettingTheSameMaskChangesNothingAndTellsNobody )
{
   FakeMaskWindow window( "Mask01" );
   SigmaProcess p;
   UpdateCounter updates;
   p.SetMask( &window );
   EXPECT_EQ( p.maskId, "Mask01" );
   EXPECT_EQ( updates.seen.size(), 1u );
   p.SetMask( &window );
   EXPECT_EQ( updates.seen.size(), 1u );
   EXPECT_EQ( window.references, std::vector<Maskable*>{ &p } );
}

TEST( ProcessMaskTest, RemovingAMaskKeepsItsIdAndMarksItLost )
{
   FakeMaskWindow window( "Mask01" );
   FakeMaskWindow other( "Stars" ); // outlives the instance that ends up using it
   SigmaProcess p;
   p.SetMask( &window );
   UpdateCounter updates;
   p.SetMask( nullptr );
   EXPECT_EQ( p.mask, nullptr );
   EXPECT_EQ( p.maskId, "Mask01" );
   EXPECT_TRUE( p.maskLost );
   EXPECT_TRUE( window.references.empty() );
   EXPECT_EQ( updates.seen, std::vector<Process*>{ &p } );

   // A new mask clears the mark and takes the new window's identifier.
   p.SetMask( &other );
   EXPECT_FALSE( p.maskLost );
   EXPECT_EQ( p.maskId, "Stars" );

   // No mask on an instance that has none: both cleared.
   SigmaProcess q;
   q.maskId = "Old";
   q.maskLost = true;
   q.SetMask( nullptr );
   EXPECT_EQ( q.maskId, "" );
   EXPECT_FALSE( q.maskLost );
}

TEST( ProcessMaskTest, RenamedMaskWindowRefreshesTheIdAndBroadcasts )
{
   FakeMaskWindow window( "Mask01" );
   SigmaProcess p;
   p.SetMask( &window );
   UpdateCounter updates;
   window.Rename( "Mask02" );
   EXPECT_EQ( p.maskId, "Mask02" );
   EXPECT_EQ( updates.seen.size(), 1u );
}

TEST( ProcessMaskTest, ClonesRegisterWithTheSameWindowAndLeaveAlone )
{
   FakeMaskWindow window( "Mask01" );
   SigmaProcess p;
   p.SetMask( &window );
   {
      std::unique_ptr<Process> clone = p.Clone();
      EXPECT_EQ( clone->mask, &window );
      EXPECT_EQ( window.references.size(), 2u );
   }
   EXPECT_EQ( window.references, std::vector<Maskable*>{ &p } );

   // A window being destroyed is not touched (it drops its whole list itself).
   auto doomed = std::make_unique<SigmaProcess>();
   doomed->SetMask( &window );
   window.destroying = true;
   doomed.reset();
   EXPECT_EQ( window.references.size(), 2u );
}

TEST( ProcessUpdateTest, ListenersAreToldInOrderAndMayLeaveMeanwhile )
{
   SigmaProcess p;
   std::vector<int> order;
   auto first = std::make_unique<UpdateCounter>();
   auto second = std::make_unique<UpdateCounter>();
   auto third = std::make_unique<UpdateCounter>();
   first->onUpdate = [&] {
      order.push_back( 1 );
      third.reset(); // a window closed by the first one's reaction
   };
   second->onUpdate = [&] { order.push_back( 2 ); };
   NotifyProcessUpdated( p );
   EXPECT_EQ( order, ( std::vector<int>{ 1, 2 } ) );
}

// --- Interfaces and launches --------------------------------------------------------------------------------------

class ProcessLaunchTest : public test::ScriptedUiTest
{
};

TEST_F( ProcessLaunchTest, UndefinedInterfaceIsAnErrorBox )
{
   platform::ScriptedPrompter::Expectation box;
   box.text = "Sigma: Undefined interface.";
   box.caption = ApplicationTitle();
   box.icon = platform::Icon::Error;
   prompter.Expect( box );
   SigmaProcess().LaunchInterface();

   struct Window : ProcessInterface
   {
      void ImportInstance( const Process& instance ) override { imported = instance.ToText(); }
      std::string imported;
   } window;
   SigmaProcess p;
   p.Params().sigma = 4;
   p.ImportToInterface( window );
   EXPECT_EQ( window.imported, p.ToText() );
}

TEST_F( ProcessLaunchTest, RefusalsAreShownAndCancellationIsSilent )
{
   FakeView preview( "Image01->Preview01", true );
   FakeView main( "Image01", false );
   SigmaProcess p;
   prompter.Expect( "Process Sigma cannot be executed on view: Image01->Preview01" );
   EXPECT_FALSE( p.LaunchOn( preview ) );
   EXPECT_EQ( prompter.Records().back().caption, ApplicationTitle() );

   p.confirm = false;
   EXPECT_FALSE( p.LaunchOn( main ) );
   EXPECT_EQ( p.runs, 0 );
   EXPECT_EQ( prompter.Records().size(), 1u );

   prompter.Expect( "Process Sigma cannot be executed globally" );
   EXPECT_FALSE( p.LaunchGlobal() );
}

TEST_F( ProcessLaunchTest, RunIsTimedAndFailuresAreReported )
{
   FakeView main( "Image01", false );
   SigmaProcess p;
   double before = qor::DateTime::Now();
   EXPECT_TRUE( p.LaunchOn( main ) );
   EXPECT_EQ( p.runs, 1 );
   EXPECT_GE( p.startTime, before );
   EXPECT_LE( p.startTime, qor::DateTime::Now() );
   EXPECT_GE( p.processingTime, 0 );
   EXPECT_LT( p.processingTime, 1.0 / 24 );

   prompter.Expect( "Process aborted." );
   p.failure = [] { throw qor::Image::AbortProcessEvent( nullptr ); };
   EXPECT_FALSE( p.LaunchOn( main ) );
   EXPECT_EQ( prompter.Records().back().caption, "Sigma" );
   EXPECT_EQ( prompter.Records().back().icon, platform::Icon::Information );

   prompter.Expect( "Out of memory" );
   p.failure = [] { throw std::bad_alloc(); };
   EXPECT_FALSE( p.LaunchOn( main ) );

   SettingsProcess settings;
   EXPECT_TRUE( settings.LaunchGlobal() );
   EXPECT_EQ( settings.runs, 1 );
}

// --- Stream of the common fields ------------------------------------------------------------------------------

class ProcessStreamTest : public ::testing::Test
{
protected:
   std::vector<uint8_t> Written( const Process& p )
   {
      qor::File f;
      f.CreateForReadWrite( path );
      p.Write( f );
      f.Seek( 0 );
      std::vector<uint8_t> bytes( static_cast<size_t>( f.Size() ) );
      f.Read( bytes.data(), f.Size() );
      return bytes;
   }

   void ReadInto( Process& p, int64_t keepBytes = -1 )
   {
      if ( keepBytes >= 0 )
      {
         qor::File f;
         f.OpenForReadWrite( path );
         f.Resize( keepBytes );
      }
      qor::File f;
      f.OpenForReading( path );
      p.Read( f );
   }

   test::TempDir dir;
   std::string path = dir.File( "instance.bin" );
};

template <typename T>
void Append( std::vector<uint8_t>& bytes, T value )
{
   uint8_t raw[sizeof( T )];
   std::memcpy( raw, &value, sizeof( T ) );
   bytes.insert( bytes.end(), raw, raw + sizeof( T ) );
}

TEST_F( ProcessStreamTest, InstanceWithoutParametersWritesTheCommonFieldsExactly )
{
   BareProcess p;
   p.enabled = false;
   p.maskId = "M1";
   p.maskLost = true;
   p.startTime = 45000.5;
   p.processingTime = 0.25;
   p.owner = reinterpret_cast<ProcessContainer*>( &p ); // never written

   std::vector<uint8_t> expected;
   Append( expected, 1.0f );
   Append( expected, int32_t( 0 ) );
   Append( expected, uint8_t( 0 ) );
   Append( expected, int32_t( 2 ) );
   expected.push_back( 'M' );
   expected.push_back( '1' );
   Append( expected, uint8_t( 1 ) );
   Append( expected, 45000.5 );
   Append( expected, 0.25 );
   EXPECT_EQ( Written( p ), expected );

   BareProcess back;
   ReadInto( back );
   EXPECT_FALSE( back.enabled );
   EXPECT_EQ( back.maskId, "M1" );
   EXPECT_TRUE( back.maskLost );
   EXPECT_EQ( back.mask, nullptr );
   EXPECT_EQ( back.startTime, 45000.5 );
   EXPECT_EQ( back.processingTime, 0.25 );
   EXPECT_EQ( back.owner, nullptr );
}

TEST_F( ProcessStreamTest, ParametersRoundTripAndOlderLayoutsStillRead )
{
   SigmaProcess p;
   p.Params().sigma = 0.125;
   p.Params().name = "chroma";
   p.Params().iterations = 9;
   std::vector<uint8_t> bytes = Written( p );
   SigmaProcess back;
   ReadInto( back );
   EXPECT_EQ( back.ToText(), p.ToText() );
   EXPECT_EQ( Written( back ), bytes );

   // An instance stored by version 1.0 of the process has no iterations: the default stays.
   SigmaProcess old( 1.0f );
   old.Params().sigma = 3;
   Written( old );
   SigmaProcess current;
   ReadInto( current );
   EXPECT_EQ( current.Params().sigma, 3 );
   EXPECT_EQ( current.Params().iterations, 3 );
}

TEST_F( ProcessStreamTest, VersionIsStoredToThreeDecimals )
{
   EXPECT_EQ( Process::StreamVersion( 1.01f ), 1.01f );
   EXPECT_EQ( Process::StreamVersion( 1.301f ), 1.301f );
   EXPECT_EQ( Process::StreamVersion( 1.0004f ), 1.0f );
   EXPECT_EQ( Process::StreamVersion( 2.0006f ), 2.001f );
}

TEST_F( ProcessStreamTest, ShortOrDamagedStreamLeavesTheInstanceAsItWas )
{
   SigmaProcess p;
   p.Params().sigma = 7;
   p.maskId = "StarMask";
   Written( p );

   SigmaProcess target;
   target.Params().sigma = 1;
   std::string before = target.ToText();
   // Cut inside the mask identifier, and inside the last field.
   int64_t full = static_cast<int64_t>( Written( p ).size() );
   for ( int64_t keep : { full - 20, full - 1 } )
   {
      SCOPED_TRACE( keep );
      Written( p );
      EXPECT_THROW( ReadInto( target, keep ), qor::File::Exception );
      EXPECT_EQ( target.ToText(), before );
      EXPECT_EQ( target.maskId, "" );
      EXPECT_TRUE( target.enabled );
   }

   // A mask identifier length that the file cannot hold is refused before anything is allocated.
   {
      BareProcess bare;
      Written( bare );
      qor::File f;
      f.OpenForReadWrite( path );
      f.Seek( 9 );
      f.WriteValue( int32_t( 0x7fffffff ) );
   }
   BareProcess bare;
   EXPECT_THROW( ReadInto( bare ), qor::File::Exception );
}

} // namespace
