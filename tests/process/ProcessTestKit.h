#ifndef LF_TESTS_PROCESS_PROCESS_TEST_KIT_H
#define LF_TESTS_PROCESS_PROCESS_TEST_KIT_H

// Small processes, views, mask windows and byte helpers for the tests of the instance stream, the registry, the
// container and the module files.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "classlib/File.h"
#include "process/Process.h"

namespace kit
{

// A string usable as a template argument.
template <size_t N>
struct FixedString
{
   constexpr FixedString( const char ( &text )[N] ) { std::copy_n( text, N, value ); }
   char value[N];
};

// A parameter set with a text, so that its stream holds a length of its own.
class KitParameters : public Process::Parameters
{
public:
   std::unique_ptr<Process::Parameters> Clone() const override { return std::make_unique<KitParameters>( *this ); }
   void Assign( const Process::Parameters& source ) override { *this = dynamic_cast<const KitParameters&>( source ); }
   void Read( qor::File& file, float ) override
   {
      file.ReadValue( sigma );
      file.ReadValue( iterations );
      label = file.ReadString( file.ReadValue<int32_t>() );
   }
   void Write( qor::File& file, float ) const override
   {
      file.WriteValue( sigma );
      file.WriteValue( iterations );
      file.WriteValue( static_cast<int32_t>( label.size() ) );
      file.WriteString( label );
   }
   std::string ToText( int32_t ) const override { return text; }

   double sigma = 1.5;
   int32_t iterations = 3;
   std::string label = "lum";
   std::string text = "sigma=1.5";
};

// A registrable process class: identifier, category and version (in thousandths) fixed by the type.
template <FixedString id, FixedString category = "General", int32_t versionThousandths = 1000, bool withParameters = true>
class FakeProcess : public Process
{
public:
   FakeProcess()
   {
      if ( withParameters )
         parameters = std::make_unique<KitParameters>();
   }
   FakeProcess( const FakeProcess& source ) : Process( source )
   {
      if ( source.parameters )
         parameters = source.parameters->Clone();
   }
   std::unique_ptr<Process> Clone() const override { return std::make_unique<FakeProcess>( *this ); }
   std::string Id() const override { return id.value; }
   std::string Category() const override { return category.value; }
   float Version() const override { return static_cast<float>( versionThousandths ) / 1000.0f; }
};

// A process that a test scripts at run time: whether it can run, what its work does, what it declares.
class ScriptProcess : public Process
{
public:
   explicit ScriptProcess( std::string id, std::vector<std::string>* log = nullptr ) : id( std::move( id ) ), log( log )
   {
   }
   ScriptProcess( const ScriptProcess& source ) = default;
   std::unique_ptr<Process> Clone() const override { return std::make_unique<ScriptProcess>( *this ); }
   std::string Id() const override { return id; }
   bool CanExecuteOn( const ProcessView& ) const override { return canRun; }
   bool CanExecuteGlobal() const override { return canRunGlobal; }
   bool ConfirmExecutionOn( ProcessView& ) override { return confirm; }
   void DoExecuteOn( ProcessView& ) override
   {
      Log( "run " + id );
      if ( work )
         work();
   }
   void AfterExecutionOn( ProcessView& ) override { Log( "after " + id ); }
   bool ModifiesTarget( const ProcessView& ) const override { return modifies; }
   uint32_t UndoFlags( const ProcessView& ) const override { return flags; }

   void Log( const std::string& line ) const
   {
      if ( log != nullptr )
         log->push_back( line );
   }

   std::string id;
   std::vector<std::string>* log;
   bool canRun = true;
   bool canRunGlobal = true;
   bool confirm = true;
   bool modifies = true;
   uint32_t flags = Process::UndoPixelData;
   std::function<void()> work;
};

// A plain view in memory: what a process needs of its target, without an image window.
class FakeView : public ProcessView
{
public:
   explicit FakeView( std::string id, bool preview = false, qor::Image* image = nullptr )
      : id( std::move( id ) ), preview( preview ), image( image )
   {
   }
   bool IsPreview() const override { return preview; }
   std::string FullId() const override { return id; }
   qor::Image* TargetImage() const override { return image; }
   std::string id;
   bool preview;
   qor::Image* image; // not owned
};

class FakeMask : public MaskTarget
{
public:
   explicit FakeMask( std::string id ) : id( std::move( id ) ) {}
   // Like an image window, a mask that goes away lets go of everything that still refers to it.
   ~FakeMask()
   {
      beingDestroyed = true;
      std::vector<Maskable*> left;
      left.swap( users );
      for ( Maskable* user : left )
         user->SetMask( nullptr );
   }
   FakeMask( const FakeMask& ) = delete;
   FakeMask& operator=( const FakeMask& ) = delete;
   void AddMaskReference( Maskable* user ) override { users.push_back( user ); }
   void RemoveMaskReference( Maskable* user ) override
   {
      users.erase( std::remove( users.begin(), users.end(), user ), users.end() );
   }
   bool IsBeingDestroyed() const override { return beingDestroyed; }
   std::string MainViewId() const override { return id; }
   std::string id;
   std::vector<Maskable*> users;
   bool beingDestroyed = false;
};

// Little-endian bytes built field by field, for expected file contents.
class Bytes
{
public:
   template <typename T>
   Bytes& Value( T value )
   {
      const auto* p = reinterpret_cast<const uint8_t*>( &value );
      data.insert( data.end(), p, p + sizeof( T ) );
      return *this;
   }
   Bytes& Raw( std::initializer_list<uint8_t> bytes )
   {
      data.insert( data.end(), bytes );
      return *this;
   }
   Bytes& Text( const std::string& text )
   {
      data.insert( data.end(), text.begin(), text.end() );
      return *this;
   }
   // int32 length, then the bytes.
   Bytes& String( const std::string& text ) { return Value( static_cast<int32_t>( text.size() ) ).Text( text ); }

   std::vector<uint8_t> data;
};

inline std::vector<uint8_t> FileBytes( const std::string& path )
{
   std::ifstream in( path, std::ios::binary );
   return std::vector<uint8_t>( std::istreambuf_iterator<char>( in ), std::istreambuf_iterator<char>() );
}

// The stream of a parameter set (version 1.0), written to a file at path and read back as bytes.
inline std::vector<uint8_t> ParameterBytes( const Process::Parameters& parameters, const std::string& path )
{
   {
      qor::File file;
      file.CreateForWriting( path );
      parameters.Write( file, 1.0f );
   }
   return FileBytes( path );
}

inline void WriteBytes( const std::string& path, const std::vector<uint8_t>& bytes )
{
   std::ofstream out( path, std::ios::binary | std::ios::trunc );
   out.write( reinterpret_cast<const char*>( bytes.data() ), static_cast<std::streamsize>( bytes.size() ) );
}

} // namespace kit

#endif
