#ifndef LF_PROCESS_IPTC_PHOTO_INFO_DATA_H
#define LF_PROCESS_IPTC_PHOTO_INFO_DATA_H

// The IPTC photo information of an image as a process ("IPTCPhotoInfo"): a run gives an image window a copy of the
// set it carries, replacing the window's own. Only the information changes (and is saved for undo); the pixels
// never. IPTC module files (".lf-iptc") keep such a set on their own: the 40-byte module header, then the set's
// stream form (int32 size of the IIM block, then the block), which is also the parameters' stream form. The size and
// every dataset of the block are checked against the file before anything is allocated (qor::IPTCPhotoInfo::Read).

#include "classlib/IPTCPhotoInfo.h"
#include "process/ImageProcess.h"
#include "process/Module.h"

class IPTCPhotoInfoModule : public Module
{
public:
   static constexpr uint32_t TypeId = 0x5A5A089E;

   // Clear(), then Close().
   ~IPTCPhotoInfoModule() override;

   std::string Description() const override;
   uint32_t ModuleType() const override;
   void ReadData() override;
   void WriteData() override;
   void Clear() override;

   qor::IPTCPhotoInfo info;
};

class IPTCPhotoInfoData : public ImageProcess
{
public:
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      // Only the number of items ("items=N"): the items themselves stay out of text reports.
      std::string ToText( int32_t level ) const override;

      qor::IPTCPhotoInfo info;
   };

   IPTCPhotoInfoData();
   IPTCPhotoInfoData( const IPTCPhotoInfoData& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   void DoExecuteOn( ProcessView& view ) override;
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
   uint32_t UndoFlags( const ProcessView& view ) const override;

   Parameters& Values() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Values() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
