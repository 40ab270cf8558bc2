#ifndef QOR_IPTCPHOTOINFO_H
#define QOR_IPTCPHOTOINFO_H

// IPTC photo information of an image and its binary IIM block.
//
// The information is a list of named text items, one per IPTC-IIM record-2 dataset (title, keywords, credits,
// dates, locations, caption, ...). Names and dataset numbers come from one fixed registry of 31 datasets.
// A repeatable dataset (keywords, categories, by-lines, ...) is held as one text whose elements are separated by
// ";" and becomes one dataset per element in the block.
//
// The item list runs in the reverse order of addition: every new item goes in front. The block lists the
// datasets in list order, and decoding keeps the order of the block, with each value as Encode writes it (blanks
// around elements trimmed, empty elements and items left out): information decoded from a block, encoded and
// decoded again is the same information, and encodes to the same block.
//
// The IIM block: the record-version dataset 1C 02 00 00 02 00 04, then one dataset per element
// (1C 02 <dataset> <length, big-endian> <bytes>), then zero bytes up to a multiple of 4. A piece longer than
// 32767 bytes is written in the IIM extended-length form (length field 80 04, then a 4-byte big-endian length),
// which is also how other IIM readers understand a length with its top bit set.
//
// The stream form (swap files, module files, process parameters): int32 block size, then the block; a size of 0
// with nothing after it for an object without items.
//
// A damaged block or stream throws IPTCPhotoInfo::Exception (or a qor::File exception for a failing file) and
// leaves the object as it was.

#include "Exception.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qor
{

class File;

class IPTCPhotoInfo
{
public:
   enum class ItemKind : int32_t
   {
      Text = 0,
      Date = 1,
      Time = 2
   };

   // One registry entry. The maximum length and the kind are for the editors; the codec limits nothing by them.
   struct ItemDescription
   {
      std::string name;      // key used by the editors and by FindValue
      int32_t dataset;       // IIM dataset number in record 2
      bool repeatable;
      int32_t maximumLength; // IIM maximum length in bytes
      ItemKind kind;
   };

   // One item of an image's information.
   struct Item
   {
      const ItemDescription* description = nullptr; // registry entry, not owned
      std::string value;                            // elements of a repeatable dataset joined by ";"

      // Bytes this item may take in the block: 5 + length of every element before each ";" (empty ones too),
      // plus 5 + length of what follows the last ";" when it is not empty; untrimmed, so never less than Encode
      // writes. A non-repeatable item is one element.
      int64_t EncodedSize() const;

      // Appends the item's datasets: each element trimmed of blanks (0x20), empty elements left out.
      void Encode( std::vector<uint8_t>& block ) const;
   };

   // A malformed IIM block or IPTC stream, or information too large to encode: "IPTC:\n" and what went wrong.
   class Exception : public GenericException
   {
   public:
      using GenericException::GenericException;
      std::string ClassText() const override { return "IPTC"; }
   };

   // Largest block encoded, written or read: far above what the 31 datasets can sensibly hold, and low enough
   // that a corrupt size in a stream cannot make the reader allocate gigabytes.
   static constexpr int32_t MaxBlockSize = 16 * 1024 * 1024;

   // Registry, in list order ("CaptionWriter" first, "ObjectName" last). Fixed for the life of the program.
   static const std::vector<ItemDescription>& Descriptions();

   // The entry whose name equals the text exactly (case and blanks count), or nullptr.
   static const ItemDescription* DescriptionByName( const std::string& name );

   // The entry of a record-2 dataset number, or nullptr.
   static const ItemDescription* DescriptionByDataset( int32_t dataset );

   IPTCPhotoInfo() = default;
   virtual ~IPTCPhotoInfo() = default;

   // Copies keep the list order (unlike Assign).
   IPTCPhotoInfo( const IPTCPhotoInfo& ) = default;
   IPTCPhotoInfo& operator=( const IPTCPhotoInfo& ) = default;
   IPTCPhotoInfo( IPTCPhotoInfo&& ) noexcept = default;
   IPTCPhotoInfo& operator=( IPTCPhotoInfo&& ) noexcept = default;

   // Items in list order.
   const std::vector<Item>& Items() const { return items; }
   int32_t Count() const { return int32_t( items.size() ); }
   bool IsEmpty() const { return items.empty(); }

   void Clear();

   // Puts the item in front of the list. An item of the same dataset already in the list is replaced, so that
   // there is never more than one item per dataset. Throws when the item has no description.
   void Add( Item item );

   // Clears, then adds a copy of every item of the other object in its list order, each in front: the copy
   // lists the items in the opposite order. Assigning an object to itself changes nothing.
   void Assign( const IPTCPhotoInfo& other );

   // Value of the first item in list order whose name equals the text exactly.
   std::optional<std::string> FindValue( const std::string& name ) const;

   // Adds data to the item of the description's dataset, creating it (in front, empty) when missing. A
   // repeatable value that is not empty gets ";" before the new data; a non-repeatable one gets the data appended
   // as is.
   void Set( const ItemDescription* description, const void* data, size_t length );

   // Builds the IIM block into `block` and returns its size; returns 0 with an empty block when no item yields
   // any bytes. Throws Exception when the block would exceed MaxBlockSize.
   int32_t Encode( std::vector<uint8_t>& block ) const;

   // Replaces the items by those of an IIM block, in the order of their first datasets there; the data of repeated
   // datasets join as Set joins them, then every value is made what Encode writes (elements trimmed of blanks,
   // empty elements dropped; an item left empty is dropped). Bytes other than 0x1C between datasets are skipped;
   // datasets of other records and unknown dataset numbers are ignored. A dataset whose header or data does not
   // fit in the block throws Exception, and the object keeps its items.
   void Decode( const void* data, int64_t size );

   // Stream form: int32 block size, then the block when the size is not 0. Nothing is written when encoding fails.
   void Write( File& file ) const;

   // Reads the stream form. The size is checked against MaxBlockSize and the bytes left in the file before
   // anything is allocated; on any failure the object keeps its items.
   void Read( File& file );

private:
   std::vector<Item> items; // list order: front first
};

} // namespace qor

#endif
