#ifndef LF_PROCESS_READOUT_OPTIONS_H
#define LF_PROCESS_READOUT_OPTIONS_H

#include "process/GlobalProcess.h"
#include "process/ReadoutOptionsData.h"

// Carries a set of pixel readout options; a global run makes them the options in force and shows the readout under
// the pointer again. Never runs on a view.
class ReadoutOptions : public GlobalProcess
{
public:
   // One ReadoutOptionsData record. Streams as 21 bytes in every version: int32 data, int32 mode (of both only the
   // low byte counts), int32 probeSize, uint8 real, int32 precision, uint32 maxValue. A read refuses values no
   // readout can show (a data or mode code beyond the last, a probe size that is not odd from 1 to 15, a precision
   // outside 1 to 6) and then keeps the set as it was.
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      ReadoutOptionsData options;
   };

   ReadoutOptions();
   explicit ReadoutOptions( const ReadoutOptionsData& options );
   ReadoutOptions( const ReadoutOptions& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // The options become the main window's and the readout is shown again; no status task, timing or history.
   void ExecuteGlobal() override;

   ReadoutOptionsData& Options() { return static_cast<Parameters&>( *parameters ).options; }
   const ReadoutOptionsData& Options() const { return static_cast<const Parameters&>( *parameters ).options; }
};

// The readout options in force, held by the main window: reading them, and making others the ones in force with the
// readout under the pointer shown again. The windows install their holder at start-up; without one, or without a
// main window, they are only kept.
class ReadoutOptionsHolder
{
public:
   virtual ReadoutOptionsData Current() = 0;
   virtual void Apply( const ReadoutOptionsData& options ) = 0;

protected:
   ~ReadoutOptionsHolder() = default;
};

// Installs the windows' holder (nullptr: none). Not owned.
void SetReadoutOptionsHolder( ReadoutOptionsHolder* holder );

ReadoutOptionsData CurrentReadoutOptions();
void ApplyReadoutOptions( const ReadoutOptionsData& options );

#endif
