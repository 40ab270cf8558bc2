#ifndef QOR_CONTAINERS_H
#define QOR_CONTAINERS_H

// The class library's containers: contiguous arrays of values, arrays kept sorted, arrays and lists of pointers
// to objects, and doubly linked lists.
//
// Arrays grow in whole blocks of the allocator's block size (4096 bytes), so that arrays of curve points, view
// pointers or keyword records grow in large steps and rarely move: appending pointers one at a time reallocates
// once every 1024 elements. The capacity never shrinks, except that an array which ends up empty (Clear, or a
// removal that takes every element) gives its storage back.
//
// Pointer containers (IndirectArray, IndirectSortedArray, IndirectList) never delete their objects on their own:
// an owner calls DeleteObjects() before the container goes away. DeleteObjects() deletes each distinct object
// once, even when the same pointer sits in several slots, and leaves null slots behind.
//
// Positions are iterators; arrays check every position handed to Insert and the removals and throw
// std::out_of_range for one outside the array. List positions must belong to the list they are used with.
//
// None of these classes is thread-safe; they are used on one thread at a time.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <list>
#include <stdexcept>
#include <type_traits>
#include <unordered_set>
#include <utility>
#include <vector>

namespace qor
{

// The growth policy shared by every container: capacities are whole multiples of a block of bytes.
class StandardAllocator
{
public:
   static constexpr uint32_t DefaultBlockSize = 4096;

   StandardAllocator() = default;
   explicit StandardAllocator( uint32_t blockSize ) : blockSize( blockSize ) {}

   uint32_t BlockSize() const { return blockSize; }
   void SetBlockSize( uint32_t size ) { blockSize = size; }

   // How many elements of the given size make one block; never less than one.
   size_t GrowthUnit( size_t elementSize ) const
   {
      size_t unit = ( elementSize > 0 ) ? blockSize / elementSize : blockSize;
      return ( unit > 0 ) ? unit : 1;
   }

   // The capacity that holds at least length elements: length rounded up to a multiple of the growth unit.
   size_t PagedLength( size_t length, size_t elementSize ) const
   {
      size_t unit = GrowthUnit( elementSize );
      size_t blocks = length / unit + ( ( length % unit != 0 ) ? 1 : 0 );
      if ( blocks > SIZE_MAX / unit )
         throw std::length_error( "qor container: capacity overflow" );
      return blocks * unit;
   }

private:
   uint32_t blockSize = DefaultBlockSize;
};

namespace detail
{

// Deletes the objects that the pointer slots in [first, last) point to and nulls the slots. An object held in
// several slots is deleted once.
template <typename Iterator> void DeleteDistinctObjects( Iterator first, Iterator last )
{
   using Pointer = std::remove_reference_t<decltype( *first )>;
   using Object = std::remove_pointer_t<Pointer>;
   static_assert( sizeof( Object ) > 0, "DeleteObjects needs the complete type of the objects" );

   std::unordered_set<const Object*> deleted;
   for ( ; first != last; ++first )
   {
      Pointer object = *first;
      if ( object == nullptr )
         continue;
      *first = nullptr;
      if ( deleted.insert( object ).second )
         delete object;
   }
}

// Orders pointers by the objects they point to; a null pointer comes before every object, so that an array
// whose objects were deleted (all slots null) is still in order.
template <typename T, typename Less> struct PointeeLess
{
   Less less;

   bool operator()( const T* a, const T* b ) const
   {
      if ( a == nullptr )
         return b != nullptr;
      if ( b == nullptr )
         return false;
      return less( *a, *b );
   }
};

} // namespace detail

// ---------------------------------------------------------------------------------------------------------------

// A contiguous array of values.
template <typename T, typename A = StandardAllocator> class Array
{
   static_assert( !std::is_same_v<T, bool>, "qor::Array<bool> is not supported" );

public:
   using value_type = T;
   using size_type = size_t;
   using iterator = T*;
   using const_iterator = const T*;
   using allocator_type = A;

   Array() = default;

   explicit Array( size_t length, const T& value = T() ) { Insert( End(), static_cast<int64_t>( length ), value ); }

   Array( std::initializer_list<T> values )
   {
      Reserve( values.size() );
      items.insert( items.end(), values.begin(), values.end() );
   }

   Array( const Array& other ) : allocator( other.allocator )
   {
      Reserve( other.Length() );
      items.insert( items.end(), other.items.begin(), other.items.end() );
   }

   Array( Array&& other ) noexcept : allocator( other.allocator ) { items.swap( other.items ); }

   Array& operator=( Array other ) noexcept
   {
      items.swap( other.items );
      std::swap( allocator, other.allocator );
      return *this;
   }

   ~Array() = default;

   size_t Length() const { return items.size(); }
   size_t Capacity() const { return items.capacity(); }
   bool IsEmpty() const { return items.empty(); }

   const A& Allocator() const { return allocator; }

   iterator Begin() { return items.data(); }
   iterator End() { return items.data() + items.size(); }
   const_iterator Begin() const { return items.data(); }
   const_iterator End() const { return items.data() + items.size(); }
   iterator begin() { return Begin(); }
   iterator end() { return End(); }
   const_iterator begin() const { return Begin(); }
   const_iterator end() const { return End(); }

   // Unchecked element access, for inner loops.
   T& operator[]( size_t index ) { return items[index]; }
   const T& operator[]( size_t index ) const { return items[index]; }

   // Checked element access: throws std::out_of_range for an index past the end.
   T& At( size_t index ) { return items.at( index ); }
   const T& At( size_t index ) const { return items.at( index ); }

   // The first element equal to value, or End().
   iterator Find( const T& value ) { return std::find( Begin(), End(), value ); }
   const_iterator Find( const T& value ) const { return std::find( Begin(), End(), value ); }

   // Inserts count copies of value before position and returns the position of the first of them; a count of
   // zero or less changes nothing. The value may be an element of this array.
   iterator Insert( const_iterator position, int64_t count, const T& value )
   {
      size_t index = IndexOf( position );
      if ( count <= 0 )
         return Begin() + index;
      T copy( value );
      OpenRoom( static_cast<size_t>( count ) );
      items.insert( items.begin() + index, static_cast<size_t>( count ), copy );
      return Begin() + index;
   }

   iterator Insert( const_iterator position, const T& value ) { return Insert( position, 1, value ); }

   // Appends value and returns its position.
   iterator Add( const T& value ) { return Insert( End(), 1, value ); }

   // Removes every element equal to value, keeping the order of the others; returns how many went.
   size_t Remove( const T& value )
   {
      T copy( value );
      size_t before = items.size();
      items.erase( std::remove( items.begin(), items.end(), copy ), items.end() );
      size_t removed = before - items.size();
      ReleaseIfEmpty();
      return removed;
   }

   // Removes the elements in [first, last) and returns the position that follows them.
   iterator RemoveRange( const_iterator first, const_iterator last )
   {
      size_t from = IndexOf( first );
      size_t to = IndexOf( last );
      if ( to < from )
         throw std::out_of_range( "qor::Array: reversed range" );
      items.erase( items.begin() + from, items.begin() + to );
      ReleaseIfEmpty();
      return Begin() + from;
   }

   // Removes the element at position (which must not be End()) and returns the position that follows it.
   iterator RemoveAt( const_iterator position )
   {
      if ( IndexOf( position ) == items.size() )
         throw std::out_of_range( "qor::Array: no element at the end position" );
      return RemoveRange( position, position + 1 );
   }

   // Destroys every element and frees the storage.
   void Clear() { std::vector<T>().swap( items ); }

protected:
   // Makes room for count more elements, growing to a whole number of blocks when the free capacity is short.
   void OpenRoom( size_t count )
   {
      if ( items.capacity() - items.size() >= count )
         return;
      if ( count > SIZE_MAX - items.size() )
         throw std::length_error( "qor::Array: too many elements" );
      Reserve( items.size() + count );
   }

   void Reserve( size_t length )
   {
      if ( length > items.capacity() )
         items.reserve( allocator.PagedLength( length, sizeof( T ) ) );
   }

   void ReleaseIfEmpty()
   {
      if ( items.empty() )
         Clear();
   }

   size_t IndexOf( const_iterator position ) const
   {
      std::less<const T*> before;
      if ( before( position, Begin() ) || before( End(), position ) )
         throw std::out_of_range( "qor::Array: position outside the array" );
      return static_cast<size_t>( position - Begin() );
   }

private:
   std::vector<T> items;
   A allocator;
};

// ---------------------------------------------------------------------------------------------------------------

// An array of pointers to objects that it does not own: its destructor frees only the storage.
template <typename T, typename A = StandardAllocator> class IndirectArray : public Array<T*, A>
{
public:
   using Array<T*, A>::Array;

   // Deletes the object of every non-null slot and nulls the slot; the length stays.
   void DeleteObjects() { detail::DeleteDistinctObjects( this->Begin(), this->End() ); }
};

// ---------------------------------------------------------------------------------------------------------------

// An array kept in the order of Less. Elements can be read but not changed in place.
template <typename T, typename Less = std::less<T>, typename A = StandardAllocator> class SortedArray
{
public:
   using value_type = T;
   using size_type = size_t;
   using iterator = const T*;
   using const_iterator = const T*;

   SortedArray() = default;

   size_t Length() const { return items.Length(); }
   size_t Capacity() const { return items.Capacity(); }
   bool IsEmpty() const { return items.IsEmpty(); }

   const_iterator Begin() const { return items.Begin(); }
   const_iterator End() const { return items.End(); }
   const_iterator begin() const { return Begin(); }
   const_iterator end() const { return End(); }

   const T& operator[]( size_t index ) const { return items[index]; }
   const T& At( size_t index ) const { return items.At( index ); }

   // Inserts value after every element that is not greater than it, so that equal elements keep the order in
   // which they were added; returns its position.
   const_iterator Add( const T& value )
   {
      const_iterator position = std::upper_bound( Begin(), End(), value, less );
      return items.Insert( position, 1, value );
   }

   // The first element equivalent to key, or End().
   template <typename K> const_iterator Search( const K& key ) const
   {
      const_iterator position =
          std::lower_bound( Begin(), End(), key, [this]( const T& e, const K& k ) { return less( e, k ); } );
      if ( position != End() && !less( key, *position ) )
         return position;
      return End();
   }

   size_t Remove( const T& value ) { return items.Remove( value ); }
   const_iterator RemoveRange( const_iterator first, const_iterator last ) { return items.RemoveRange( first, last ); }
   const_iterator RemoveAt( const_iterator position ) { return items.RemoveAt( position ); }
   void Clear() { items.Clear(); }

protected:
   Array<T, A> items;
   Less less;
};

// An array of pointers kept in the order of the objects they point to (Less compares two objects). Like every
// pointer container it never deletes its objects on its own.
template <typename T, typename Less = std::less<T>, typename A = StandardAllocator>
class IndirectSortedArray : public SortedArray<T*, detail::PointeeLess<T, Less>, A>
{
public:
   // Deletes the object of every non-null slot and nulls the slot; the length stays.
   void DeleteObjects() { detail::DeleteDistinctObjects( this->items.Begin(), this->items.End() ); }
};

// ---------------------------------------------------------------------------------------------------------------

// A doubly linked list of values. Positions stay valid until their own node is removed.
template <typename T, typename A = StandardAllocator> class List
{
   using Nodes = std::list<T>;

public:
   using value_type = T;
   using size_type = size_t;
   using iterator = typename Nodes::iterator;
   using const_iterator = typename Nodes::const_iterator;

   List() = default;
   List( std::initializer_list<T> values ) : nodes( values ) {}

   size_t Length() const { return nodes.size(); }
   bool IsEmpty() const { return nodes.empty(); }

   iterator Begin() { return nodes.begin(); }
   iterator End() { return nodes.end(); }
   const_iterator Begin() const { return nodes.begin(); }
   const_iterator End() const { return nodes.end(); }
   iterator begin() { return Begin(); }
   iterator end() { return End(); }
   const_iterator begin() const { return Begin(); }
   const_iterator end() const { return End(); }

   iterator Find( const T& value ) { return std::find( Begin(), End(), value ); }
   const_iterator Find( const T& value ) const { return std::find( Begin(), End(), value ); }

   // Inserts count nodes holding value before position and returns the first of them; a count of zero or less
   // changes nothing and returns position.
   iterator Insert( const_iterator position, int64_t count, const T& value )
   {
      if ( count <= 0 )
         return nodes.erase( position, position ); // the mutable form of position
      return nodes.insert( position, static_cast<size_t>( count ), value );
   }

   iterator Insert( const_iterator position, const T& value ) { return Insert( position, 1, value ); }

   // Appends value and returns its node.
   iterator Add( const T& value ) { return Insert( End(), 1, value ); }

   // Unlinks the nodes in [first, last) and returns last.
   iterator RemoveRange( const_iterator first, const_iterator last ) { return nodes.erase( first, last ); }

   // Unlinks the node at position and returns the node that followed it.
   iterator RemoveAt( const_iterator position ) { return nodes.erase( position ); }

   // Unlinks every node holding value; returns how many went.
   size_t Remove( const T& value )
   {
      T copy( value );
      size_t before = nodes.size();
      nodes.remove( copy );
      return before - nodes.size();
   }

   void Clear() { nodes.clear(); }

private:
   Nodes nodes;
};

// A list of pointers to objects that it does not own: its destructor frees only the nodes.
template <typename T, typename A = StandardAllocator> class IndirectList : public List<T*, A>
{
public:
   using List<T*, A>::List;
   using typename List<T*, A>::iterator;

   // Deletes the object of every node in [first, last) and nulls the node's pointer; the nodes stay.
   void DeleteObjects( iterator first, iterator last ) { detail::DeleteDistinctObjects( first, last ); }
   void DeleteObjects() { DeleteObjects( this->Begin(), this->End() ); }
};

} // namespace qor

#endif
