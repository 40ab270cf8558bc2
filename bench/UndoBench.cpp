// Undo of a 4096x4096 RGB float image (about 200 MB): PrepareUndo writes the swap file, UndoRedo writes the current
// state to the temporary file and reads the swap file back. Beside them, a bare sequential write, and a write plus a
// read, of the same bytes in the same folder: the floor the swap files are measured against. Every file lives in
// the window's private swap folder, which goes with the program.

#include "BenchCommon.h"
#include "windows/image/ImageWindow.h"

#include <QApplication>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{

constexpr int32_t Side = 4096;

QApplication& Application()
{
   static int argc = 1;
   static char name[] = "UndoBench";
   static char* argv[] = { name, nullptr };
   static std::unique_ptr<QApplication> app = []
   {
      qputenv( "QT_QPA_PLATFORM", "offscreen" );
      return std::make_unique<QApplication>( argc, argv );
   }();
   return *app;
}

TImageWindow& Window()
{
   static TImageWindow* window = []
   {
      Application();
      auto* image = new qor::Image( Side, Side, 3, qor::ColorSpace::RGB );
      for ( int32_t c = 0; c < 3; ++c )
         for ( int64_t i = 0; i < image->NumberOfPixels(); ++i )
            image->PixelData( c )[i] = float( ( i * ( c + 3 ) ) % 65536 ) / 65535.0f;
      return CreateImageWindow( nullptr, image, "Bench" );
   }();
   return *window;
}

std::string BarePath()
{
   return Window().swapFilePath + ".bare";
}

// Moves count bytes between the buffer and the file with as many calls as the system needs.
template <typename Call> void Whole( int fd, char* p, int64_t count, Call call )
{
   while ( count > 0 )
   {
      ssize_t n = call( fd, p, size_t( count ) );
      if ( n <= 0 )
         std::abort();
      p += n;
      count -= n;
   }
}

void BareWrite()
{
   const qor::Image& image = *Window().image;
   int fd = ::open( BarePath().c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600 );
   if ( fd < 0 )
      std::abort();
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
      Whole( fd, reinterpret_cast<char*>( const_cast<float*>( image.PixelData( c ) ) ), image.NumberOfPixels() * 4,
             []( int f, char* q, size_t n ) { return ::write( f, q, n ); } );
   ::close( fd );
}

void BareRead()
{
   static std::vector<float> buffer( size_t( Side ) * Side );
   int fd = ::open( BarePath().c_str(), O_RDONLY );
   if ( fd < 0 )
      std::abort();
   for ( int32_t c = 0; c < 3; ++c )
      Whole( fd, reinterpret_cast<char*>( buffer.data() ), int64_t( buffer.size() ) * 4,
             []( int f, char* q, size_t n ) { return ::read( f, q, n ); } );
   ::close( fd );
}

struct Registration
{
   Registration()
   {
      const std::string size = std::to_string( Side ) + "x" + std::to_string( Side ) + "x3";
      bench::Register( "undo_prepare", size, [] { Window().PrepareUndo( 0x01 ); } );
      bench::Register( "swap_bare_write", size, [] { BareWrite(); } );
      bench::Register( "undo_redo", size, [] { Window().UndoRedo(); },
                       []
                       {
                          if ( !Window().undoAvailable && !Window().redoAvailable )
                             Window().PrepareUndo( 0x01 );
                       } );
      bench::Register( "swap_bare_write_read", size,
                       []
                       {
                          BareWrite();
                          BareRead();
                       } );
   }
} registration;

} // namespace
