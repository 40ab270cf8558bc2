#ifndef LF_PROCESS_MODULE_H
#define LF_PROCESS_MODULE_H

// Module files: process icon sets, kernel filter sets, FITS keyword sets and IPTC sets.
//
// A module file is a fixed 40-byte header that names the kind of module, its versions and its creation and
// modification times, followed by a body that each kind reads and writes itself. Module is the base of the kinds:
// it owns the file while a read or write is under way, writes and checks the header, and calls the kind's body
// reader (ReadData) or writer (WriteData), which work through `file`.
//
// File layout (little-endian), P = PrefixSize() zero bytes first (0 for every kind):
//   P+0  uint32  signature            Signature() (0x5A5A9595); never checked
//   P+4  int32   module version x 100 Version() x 100, truncated; never checked
//   P+8  uint32  module type          ModuleType(): must be the reading kind's
//   P+12 int32   format version x 100 FormatVersion() x 100, truncated: must not exceed the reading kind's
//   P+16 float64 creation time        set by the first write of a file history; not later than the modification
//   P+24 float64 modification time    now, at every write
//   P+32 uint32  data offset          DataOffset() = P + 40: the body starts there
//   P+36 4 bytes reserved             zeros in a new header; a header that was read keeps its bytes
//
// A read checks, in this order: a file shorter than P + 40 bytes (FileIsNotAQORModule), the module type
// (ModuleAuthenticationFailed), the data offset (below P + 40 or beyond the end of the file) and the times
// (InvalidModuleHeader), the format version (UnsupportedModuleVersion). A failed check leaves the module as it
// was; the file is closed on every path. A body that cannot be read empties the module (Clear) and makes it
// forget its file (Close).
//
// A write never damages the file it replaces: the module is written to a new file beside the target, flushed to
// disk and renamed over the target only when complete. A failure leaves the old file as it was and removes the
// partial one.
//
// Between operations the file is closed; the module remembers the path and the header of the last file it read
// or wrote, so that Write( "" ) rewrites that file keeping its creation time.

#include <cstdint>
#include <memory>
#include <string>

#include "classlib/File.h"

class Module
{
public:
   // Base of the module errors: "Module Error:\n" + description + ":\n" + path.
   class Exception : public qor::File::Exception
   {
   public:
      std::string ClassText() const override;

   protected:
      explicit Exception( std::string path ) : qor::File::Exception( std::move( path ) ) {}
   };

   class FileIsNotAQORModule : public Exception
   {
   public:
      explicit FileIsNotAQORModule( std::string path ) : Exception( std::move( path ) ) {}
      std::string Description() const override;
   };

   class ModuleAuthenticationFailed : public Exception
   {
   public:
      explicit ModuleAuthenticationFailed( std::string path ) : Exception( std::move( path ) ) {}
      std::string Description() const override;
   };

   class InvalidModuleHeader : public Exception
   {
   public:
      explicit InvalidModuleHeader( std::string path ) : Exception( std::move( path ) ) {}
      std::string Description() const override;
   };

   class UnsupportedModuleVersion : public Exception
   {
   public:
      explicit UnsupportedModuleVersion( std::string path ) : Exception( std::move( path ) ) {}
      std::string Description() const override;
   };

   class FilePathNotSpecified : public Exception
   {
   public:
      explicit FilePathNotSpecified( std::string path ) : Exception( std::move( path ) ) {}
      std::string Description() const override;
   };

   // The 40 header bytes as stored.
   struct Header
   {
      uint32_t signature = 0;
      int32_t version = 0;
      uint32_t moduleType = 0;
      int32_t formatVersion = 0;
      double creationTime = 0;
      double modificationTime = 0;
      uint32_t dataOffset = 0;
      uint8_t reserved[4] = {};
   };
   static_assert( sizeof( Header ) == 40, "the module header is 40 bytes" );
   static constexpr int64_t HeaderSize = 40;

   Module() = default;
   Module( const Module& ) = delete;
   Module& operator=( const Module& ) = delete;
   // Close().
   virtual ~Module();

   // "Generic Module".
   virtual std::string Description() const;
   // 0.
   virtual int32_t PrefixSize() const;
   // PrefixSize() + 40.
   virtual int32_t DataOffset() const;
   // 0x5A5A9595.
   virtual uint32_t Signature() const;
   virtual uint32_t ModuleType() const = 0;
   // 1.0.
   virtual float Version() const;
   // 1.0.
   virtual float FormatVersion() const;
   // Reads / writes the body through `file`; nothing here.
   virtual void ReadData();
   virtual void WriteData();
   // Empties the module's contents; nothing here.
   virtual void Clear();

   // Reads a module file of this kind into the module.
   void Read( const std::string& path );
   // Writes the module to a file; an empty path means the file of the last read or write (FilePathNotSpecified
   // when there is none).
   void Write( const std::string& path = std::string() );
   // Forgets the file and the header: the next write starts a new file history (new creation time) and needs a
   // path.
   void Close();

   // The path of the last file read or written (empty after Close).
   const std::string& FilePath() const { return filePath; }
   // The header of the last file read or written, or nullptr.
   const Header* LastHeader() const { return header.get(); }

protected:
   // The file of the operation under way (the body reader and writer use it); between operations it is closed.
   std::unique_ptr<qor::File> file;
   std::unique_ptr<Header> header;

private:
   std::string filePath;
};

#endif
