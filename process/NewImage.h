#ifndef LF_PROCESS_NEW_IMAGE_H
#define LF_PROCESS_NEW_IMAGE_H

#include "process/GlobalProcess.h"
#include "process/RGBColorParameters.h"

// Creates an image window holding a new image of a given size and colour mode, every pixel set to one colour (a
// grey image takes its red component). Its identifier may be empty (the next default identifier) and may hold
// identifier macros, expanded when the image is made. A global process: it never runs on a view. Its window is
// TNewImageWindow.
class NewImage : public GlobalProcess
{
public:
   // Stream (every version): int32 length of id and its characters, int32 width, int32 height, uint8 colorMode
   // (1 RGB, 0 grey; nonzero reads as RGB), the initial colour (three float32). Text: id (or <auto>), width,
   // height, colorMode ("color" or "grayscale"), then the colour, or "..." at a negative level.
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      std::string id;
      int32_t width = 256;
      int32_t height = 256;
      bool colorMode = true; // RGB; false: grey
      RGBColorParameters initialColor;
   };

   static constexpr int32_t MaxImageSize = 32000;

   NewImage();
   // An instance with a copy of the parameters.
   explicit NewImage( const Parameters& parameters );
   NewImage( const NewImage& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // The creation, without status tasks or timing: a size outside 1 .. MaxImageSize, an identifier that the
   // identifier checks refuse and an image that the memory left cannot hold are all refused (thrown) before
   // anything is allocated; the new window is not marked modified and has an empty history.
   void ExecuteGlobal() override;

   // Bytes of the samples of an image of that size and mode.
   static uint64_t ImageBytes( int32_t width, int32_t height, bool colorMode );
   // The identifier the new image would get now (throws the checkers' errors).
   std::string NewIdentifier() const;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
