#include "IPTCPhotoInfo.h"

#include "File.h"

#include <algorithm>
#include <string_view>

namespace qor
{

namespace
{

constexpr uint8_t TagMarker = 0x1C;
constexpr uint8_t Record = 2;
constexpr int64_t HeaderSize = 5;
// Longest piece whose length fits the standard two-byte field: a length with its top bit set announces the
// extended form, so 32768..65535 cannot be written there either.
constexpr int64_t MaxStandardLength = 0x7FFF;
// Extended form as written: 80 04, then a 4-byte length.
constexpr int64_t ExtendedLengthBytes = 4;
constexpr uint8_t RecordVersion[] = { TagMarker, Record, 0x00, 0x00, 0x02, 0x00, 0x04 };

// The elements of an item's value: cut at every ";" for a repeatable dataset, whole otherwise.
std::vector<std::string_view> Pieces( const IPTCPhotoInfo::Item& item )
{
   std::string_view value( item.value );
   std::vector<std::string_view> pieces;
   if ( !item.description->repeatable )
   {
      pieces.push_back( value );
      return pieces;
   }
   for ( ;; )
   {
      size_t p = value.find( ';' );
      if ( p == std::string_view::npos )
         break;
      pieces.push_back( value.substr( 0, p ) );
      value.remove_prefix( p + 1 );
   }
   pieces.push_back( value );
   return pieces;
}

std::string_view TrimBlanks( std::string_view s )
{
   size_t first = s.find_first_not_of( ' ' );
   if ( first == std::string_view::npos )
      return std::string_view();
   size_t last = s.find_last_not_of( ' ' );
   return s.substr( first, last - first + 1 );
}

int64_t DatasetSize( int64_t length )
{
   return HeaderSize + length + ( length > MaxStandardLength ? ExtendedLengthBytes : 0 );
}

std::vector<IPTCPhotoInfo::ItemDescription> BuildRegistry()
{
   using K = IPTCPhotoInfo::ItemKind;
   // In the order of the IIM record 2 datasets; each entry goes in front of the list, so it ends up reversed.
   std::vector<IPTCPhotoInfo::ItemDescription> r = {
      { "ObjectName", 5, false, 64, K::Text },
      { "EditStatus", 7, false, 64, K::Text },
      { "Urgency", 10, false, 1, K::Text },
      { "Category", 15, false, 3, K::Text },
      { "SupplementalCategories", 20, true, 32, K::Text },
      { "FixtureIdentifier", 22, false, 32, K::Text },
      { "Keywords", 25, true, 64, K::Text },
      { "ContentLocationCodes", 26, true, 3, K::Text },
      { "ContentLocationNames", 27, true, 64, K::Text },
      { "SpecialInstructions", 40, false, 256, K::Text },
      { "DateCreated", 55, false, 8, K::Date },
      { "TimeCreated", 60, false, 11, K::Time },
      { "DigitalCreationDate", 62, false, 8, K::Date },
      { "DigitalCreationTime", 63, false, 11, K::Time },
      { "OriginatingProgram", 65, false, 32, K::Text },
      { "ProgramVersion", 70, false, 10, K::Text },
      { "BylineNames", 80, true, 32, K::Text },
      { "BylineTitles", 85, true, 32, K::Text },
      { "City", 90, false, 32, K::Text },
      { "SubLocation", 92, false, 32, K::Text },
      { "StateProvince", 95, false, 32, K::Text },
      { "CountryCode", 100, false, 3, K::Text },
      { "CountryName", 101, false, 64, K::Text },
      { "OriginalTransmissionReference", 103, false, 32, K::Text },
      { "Headline", 105, false, 256, K::Text },
      { "Credit", 110, false, 32, K::Text },
      { "Source", 115, false, 32, K::Text },
      { "CopyrightNotice", 116, false, 128, K::Text },
      { "Contacts", 118, true, 128, K::Text },
      { "Caption", 120, false, 2000, K::Text },
      { "CaptionWriter", 122, false, 32, K::Text },
   };
   std::reverse( r.begin(), r.end() );
   return r;
}

// Decoding keeps the items in the order their first datasets have in the block, so that a block decoded and
// encoded again lists its datasets as it did: adding in front, as Set does, would reverse them at every save.
// The data join as Set joins them.
void AppendDataset( std::vector<IPTCPhotoInfo::Item>& items, const IPTCPhotoInfo::ItemDescription* description,
                    const uint8_t* data, size_t length )
{
   auto it = std::find_if( items.begin(), items.end(), [description]( const IPTCPhotoInfo::Item& i )
                           { return i.description->dataset == description->dataset; } );
   if ( it == items.end() )
   {
      items.push_back( IPTCPhotoInfo::Item{ description, std::string() } );
      it = items.end() - 1;
   }
   if ( description->repeatable && !it->value.empty() )
      it->value += ';';
   it->value.append( reinterpret_cast<const char*>( data ), length );
}

// The value Encode's datasets decode to: the elements trimmed of blanks and the empty ones left out.
std::string CanonicalValue( const IPTCPhotoInfo::Item& item )
{
   std::string value;
   for ( std::string_view piece : Pieces( item ) )
   {
      piece = TrimBlanks( piece );
      if ( piece.empty() )
         continue;
      if ( !value.empty() )
         value += ';';
      value.append( piece );
   }
   return value;
}

std::string DatasetName( int32_t record, int32_t dataset )
{
   return std::to_string( record ) + ':' + std::to_string( dataset );
}

} // namespace

// ----------------------------------------------------------------------------------------------------------------

const std::vector<IPTCPhotoInfo::ItemDescription>& IPTCPhotoInfo::Descriptions()
{
   static const std::vector<ItemDescription> registry = BuildRegistry();
   return registry;
}

const IPTCPhotoInfo::ItemDescription* IPTCPhotoInfo::DescriptionByName( const std::string& name )
{
   for ( const ItemDescription& d : Descriptions() )
      if ( d.name == name )
         return &d;
   return nullptr;
}

const IPTCPhotoInfo::ItemDescription* IPTCPhotoInfo::DescriptionByDataset( int32_t dataset )
{
   for ( const ItemDescription& d : Descriptions() )
      if ( d.dataset == dataset )
         return &d;
   return nullptr;
}

// ----------------------------------------------------------------------------------------------------------------

int64_t IPTCPhotoInfo::Item::EncodedSize() const
{
   std::vector<std::string_view> pieces = Pieces( *this );
   int64_t size = 0;
   for ( size_t i = 0; i < pieces.size(); ++i )
      if ( i + 1 < pieces.size() || !pieces[i].empty() )
         size += DatasetSize( int64_t( pieces[i].size() ) );
   return size;
}

void IPTCPhotoInfo::Item::Encode( std::vector<uint8_t>& block ) const
{
   const auto dataset = uint8_t( description->dataset );
   for ( std::string_view piece : Pieces( *this ) )
   {
      piece = TrimBlanks( piece );
      if ( piece.empty() )
         continue;
      const auto length = uint64_t( piece.size() );
      block.push_back( TagMarker );
      block.push_back( Record );
      block.push_back( dataset );
      if ( int64_t( length ) > MaxStandardLength )
      {
         block.push_back( 0x80 );
         block.push_back( uint8_t( ExtendedLengthBytes ) );
         for ( int shift = 24; shift >= 0; shift -= 8 )
            block.push_back( uint8_t( length >> shift ) );
      }
      else
      {
         block.push_back( uint8_t( length >> 8 ) );
         block.push_back( uint8_t( length ) );
      }
      block.insert( block.end(), piece.begin(), piece.end() );
   }
}

// ----------------------------------------------------------------------------------------------------------------

void IPTCPhotoInfo::Clear()
{
   items.clear();
}

void IPTCPhotoInfo::Add( Item item )
{
   if ( item.description == nullptr )
      throw Exception( "An IPTC item must have a dataset description" );
   const int32_t dataset = item.description->dataset;
   items.erase( std::remove_if( items.begin(), items.end(),
                                [dataset]( const Item& i ) { return i.description->dataset == dataset; } ),
                items.end() );
   items.insert( items.begin(), std::move( item ) );
}

void IPTCPhotoInfo::Assign( const IPTCPhotoInfo& other )
{
   if ( &other == this )
      return;
   items.assign( other.items.rbegin(), other.items.rend() );
}

std::optional<std::string> IPTCPhotoInfo::FindValue( const std::string& name ) const
{
   for ( const Item& item : items )
      if ( item.description->name == name )
         return item.value;
   return std::nullopt;
}

void IPTCPhotoInfo::Set( const ItemDescription* description, const void* data, size_t length )
{
   if ( description == nullptr )
      throw Exception( "An IPTC item must have a dataset description" );
   auto it = std::find_if( items.begin(), items.end(), [description]( const Item& i )
                           { return i.description->dataset == description->dataset; } );
   if ( it == items.end() )
   {
      items.insert( items.begin(), Item{ description, std::string() } );
      it = items.begin();
   }
   if ( description->repeatable && !it->value.empty() )
      it->value += ';';
   if ( length > 0 )
      it->value.append( static_cast<const char*>( data ), length );
}

int32_t IPTCPhotoInfo::Encode( std::vector<uint8_t>& block ) const
{
   block.clear();

   int64_t estimate = 0;
   for ( const Item& item : items )
      estimate += item.EncodedSize();
   if ( estimate == 0 )
      return 0;

   const int64_t size = ( estimate + int64_t( sizeof( RecordVersion ) ) + 3 ) & ~int64_t( 3 );
   if ( size > MaxBlockSize )
      throw Exception( "IPTC information too large: its IIM block would take " + std::to_string( size ) +
                       " bytes, at most " + std::to_string( MaxBlockSize ) + " are allowed" );

   block.reserve( size_t( size ) );
   block.assign( std::begin( RecordVersion ), std::end( RecordVersion ) );
   for ( const Item& item : items )
      item.Encode( block );
   // The estimate counts untrimmed and empty elements, so the padding may exceed what the rounding needs.
   block.resize( size_t( size ), 0 );
   return int32_t( size );
}

void IPTCPhotoInfo::Decode( const void* data, int64_t size )
{
   if ( size < 0 || ( size > 0 && data == nullptr ) )
      throw Exception( "Invalid IIM block: " + std::to_string( size ) + " bytes" );

   const auto* bytes = static_cast<const uint8_t*>( data );
   std::vector<Item> decoded; // in the order of the block
   int64_t pos = 0;
   while ( pos < size )
   {
      if ( bytes[pos] != TagMarker )
      {
         ++pos;
         continue;
      }

      const int64_t left = size - pos;
      if ( left < HeaderSize )
         throw Exception( "Invalid IIM block: truncated dataset header at offset " + std::to_string( pos ) );
      const int32_t record = bytes[pos + 1];
      const int32_t dataset = bytes[pos + 2];
      const uint32_t field = ( uint32_t( bytes[pos + 3] ) << 8 ) | bytes[pos + 4];
      int64_t header = HeaderSize;
      uint64_t length = field;
      if ( field & 0x8000 )
      {
         // Extended form: the low 15 bits count the bytes of the length that follows.
         const int64_t count = field & 0x7FFF;
         if ( count < 1 || count > 4 )
            throw Exception( "Invalid IIM block: dataset " + DatasetName( record, dataset ) + " at offset " +
                             std::to_string( pos ) + " has an extended length of " + std::to_string( count ) +
                             " bytes" );
         if ( left < HeaderSize + count )
            throw Exception( "Invalid IIM block: truncated dataset header at offset " + std::to_string( pos ) );
         length = 0;
         for ( int64_t i = 0; i < count; ++i )
            length = ( length << 8 ) | bytes[pos + HeaderSize + i];
         header += count;
      }
      if ( length > uint64_t( left - header ) )
         throw Exception( "Invalid IIM block: dataset " + DatasetName( record, dataset ) + " at offset " +
                          std::to_string( pos ) + " declares " + std::to_string( length ) + " bytes, only " +
                          std::to_string( left - header ) + " are left" );

      // Record 1 (envelope) reuses dataset numbers of record 2 for other things, such as the character set.
      if ( record == Record )
         if ( const ItemDescription* description = DescriptionByDataset( dataset ) )
            AppendDataset( decoded, description, bytes + pos + header, size_t( length ) );
      pos += header + int64_t( length );
   }
   // Each value as Encode writes it: written again and decoded, the information is the same, item for item.
   std::vector<Item> canonical;
   canonical.reserve( decoded.size() );
   for ( Item& item : decoded )
   {
      item.value = CanonicalValue( item );
      if ( !item.value.empty() )
         canonical.push_back( std::move( item ) );
   }
   items.swap( canonical );
}

void IPTCPhotoInfo::Write( File& file ) const
{
   std::vector<uint8_t> block;
   const int32_t size = Encode( block );
   file.WriteValue( size );
   if ( size != 0 )
      file.Write( block.data(), size );
}

void IPTCPhotoInfo::Read( File& file )
{
   int32_t size = 0;
   file.ReadValue( size );
   if ( size == 0 )
   {
      Clear();
      return;
   }
   if ( size < 0 || size > MaxBlockSize )
      throw Exception( "Invalid IPTC block size: " + std::to_string( size ) + " bytes" );
   if ( size > file.BytesLeft() )
      throw File::UnexpectedEndOfFile( file.Path() );

   std::vector<uint8_t> block( static_cast<size_t>( size ) );
   file.Read( block.data(), size );
   Decode( block.data(), size );
}

} // namespace qor
