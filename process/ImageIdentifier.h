#ifndef LF_PROCESS_IMAGE_IDENTIFIER_H
#define LF_PROCESS_IMAGE_IDENTIFIER_H

#include "process/ImageProcess.h"

// Renames an image: a run gives the main view of the target's window the identifier the instance carries, with its
// macros expanded ("&imageId;" is the current identifier, "&uniqueId;" a number that makes the result free) and
// made unique among the open images; an empty identifier gives a new default one. Only the identifier changes, and
// only it is saved for undo. Its interfaces are TImageIdentifierWindow and the modal TImageIdentifierDialog.
class ImageIdentifier : public ImageProcess
{
public:
   // Stream (every version): int32 length, then that many characters (none when empty). Text: id="...".
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      std::string id;
   };

   ImageIdentifier();
   explicit ImageIdentifier( const std::string& id );
   ImageIdentifier( const ImageIdentifier& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // An identifier refused by the identifier checks passes on with the checker's message, the image unchanged.
   void DoExecuteOn( ProcessView& view ) override;
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
   uint32_t UndoFlags( const ProcessView& view ) const override;

   // The identifier a run on an image now called current would give it (current itself: nothing to do).
   static std::string NewIdentifier( const std::string& wanted, const std::string& current );

   std::string& WantedId() { return static_cast<Parameters&>( *parameters ).id; }
   const std::string& WantedId() const { return static_cast<const Parameters&>( *parameters ).id; }
};

#endif
