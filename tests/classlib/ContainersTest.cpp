#include "Containers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace
{

template <typename C> std::vector<typename C::value_type> Items( const C& container )
{
   return std::vector<typename C::value_type>( container.begin(), container.end() );
}

struct Block16
{
   double a = 0, b = 0;
};
static_assert( sizeof( Block16 ) == 16 );

// Counts its destructions, so that tests can tell which containers delete objects and how often.
struct Tracked
{
   static int destroyed;
   int category = 0;
   int id = 0;
   Tracked( int category = 0, int id = 0 ) : category( category ), id( id ) {}
   ~Tracked() { ++destroyed; }
};
int Tracked::destroyed = 0;

struct ByCategoryThenId
{
   bool operator()( const Tracked& a, const Tracked& b ) const
   {
      return ( a.category != b.category ) ? a.category < b.category : a.id < b.id;
   }
};

class ContainersOwnership : public ::testing::Test
{
protected:
   void SetUp() override { Tracked::destroyed = 0; }
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Arrays: growth in whole 4096-byte blocks

TEST( ContainersArray, EmptyArrayHoldsNoStorage )
{
   qor::Array<void*> a;
   EXPECT_EQ( a.Length(), 0u );
   EXPECT_EQ( a.Capacity(), 0u );
   EXPECT_EQ( a.Begin(), nullptr );
   EXPECT_EQ( a.Begin(), a.End() );
   EXPECT_EQ( a.Allocator().BlockSize(), 4096u );
}

TEST( ContainersArray, PointerArrayGrowsByWholeBlocksAndMovesOnlyThen )
{
   // One 4096-byte block: 512 pointers on a 64-bit build.
   const size_t perBlock = 4096 / sizeof( void* );
   qor::Array<void*> a;
   a.Add( nullptr );
   EXPECT_EQ( a.Capacity(), perBlock );
   void** storage = a.Begin();
   while ( a.Length() < perBlock )
      a.Add( &a );
   EXPECT_EQ( a.Capacity(), perBlock );
   EXPECT_EQ( a.Begin(), storage );
   a.Add( nullptr );
   EXPECT_EQ( a.Length(), perBlock + 1 );
   EXPECT_EQ( a.Capacity(), 2 * perBlock );
}

TEST( ContainersArray, GrowthUnitFollowsElementSize )
{
   qor::Array<Block16> wide;
   wide.Add( Block16() );
   EXPECT_EQ( wide.Capacity(), 256u );
   wide.Insert( wide.End(), 256, Block16() );
   EXPECT_EQ( wide.Capacity(), 512u );

   // Elements larger than a block grow one at a time.
   struct Huge
   {
      char bytes[5000];
   };
   qor::Array<Huge> huge;
   huge.Insert( huge.End(), 3, Huge() );
   EXPECT_EQ( huge.Capacity(), 3u );
}

TEST( ContainersArray, InsertPastCapacityReallocatesAndKeepsOrder )
{
   qor::Array<int32_t> a;
   for ( int32_t i = 0; i < 1022; ++i )
      a.Add( i );
   ASSERT_EQ( a.Capacity(), 1024u );

   auto first = a.Insert( a.Begin() + 500, 5, -1 );
   EXPECT_EQ( first, a.Begin() + 500 );
   EXPECT_EQ( a.Length(), 1027u );
   EXPECT_EQ( a.Capacity(), 2048u );
   for ( size_t i = 0; i < a.Length(); ++i )
   {
      int32_t expected = ( i < 500 ) ? int32_t( i ) : ( i < 505 ) ? -1 : int32_t( i - 5 );
      ASSERT_EQ( a[i], expected ) << "at " << i;
   }
}

TEST( ContainersArray, InsertingAnElementOfItselfSurvivesReallocation )
{
   // 128 strings fill one block; appending a copy of the first must read it before the old storage goes.
   qor::Array<std::string> a;
   a.Add( std::string( 100, 'x' ) );
   while ( a.Length() < a.Capacity() )
      a.Add( "filler" );
   size_t full = a.Length();
   a.Add( a[0] );
   a.Insert( a.Begin(), 3, a[a.Length() - 1] );
   ASSERT_EQ( a.Length(), full + 4 );
   EXPECT_GT( a.Capacity(), full );
   for ( size_t i : { size_t( 0 ), size_t( 2 ), size_t( 3 ), full + 3 } )
      EXPECT_EQ( a[i], std::string( 100, 'x' ) ) << "at " << i;
}

TEST( ContainersArray, NonPositiveInsertCountChangesNothing )
{
   qor::Array<int32_t> a{ 1, 2, 3 };
   size_t capacity = a.Capacity();
   for ( int64_t count : { int64_t( 0 ), int64_t( -1 ), INT64_MIN } )
   {
      EXPECT_EQ( a.Insert( a.Begin() + 1, count, 9 ), a.Begin() + 1 );
      EXPECT_EQ( Items( a ), ( std::vector<int32_t>{ 1, 2, 3 } ) );
      EXPECT_EQ( a.Capacity(), capacity );
   }
}

TEST( ContainersArray, PositionsOutsideTheArrayAreRejected )
{
   qor::Array<int32_t> a{ 1, 2, 3 };
   qor::Array<int32_t> other{ 4 };
   EXPECT_THROW( a.Insert( a.End() + 1, 1, 0 ), std::out_of_range );
   EXPECT_THROW( a.Insert( other.Begin(), 1, 0 ), std::out_of_range );
   EXPECT_THROW( a.RemoveAt( a.End() ), std::out_of_range );
   EXPECT_THROW( a.RemoveRange( a.Begin() + 2, a.Begin() + 1 ), std::out_of_range );
   EXPECT_THROW( a.At( 3 ), std::out_of_range );
   EXPECT_EQ( Items( a ), ( std::vector<int32_t>{ 1, 2, 3 } ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Arrays: removal

TEST( ContainersArray, RemoveErasesEveryEqualElement )
{
   struct Case
   {
      std::vector<int32_t> before;
      int32_t value;
      std::vector<int32_t> after;
   };
   const Case cases[] = {
       { { 7, 1, 7, 7, 2, 7 }, 7, { 1, 2 } },
       { { 1, 2, 3 }, 7, { 1, 2, 3 } },
       { { 7, 7, 1 }, 7, { 1 } },
       { { 1, 7, 7 }, 7, { 1 } },
   };
   for ( const Case& c : cases )
   {
      qor::Array<int32_t> a;
      for ( int32_t v : c.before )
         a.Add( v );
      EXPECT_EQ( a.Remove( c.value ), c.before.size() - c.after.size() );
      EXPECT_EQ( Items( a ), c.after );
      EXPECT_EQ( a.Capacity(), 1024u ) << "a partial removal keeps the storage";
   }
}

TEST( ContainersArray, ArrayEmptiedByRemovalFreesItsStorage )
{
   qor::Array<int32_t> a{ 7, 7 };
   EXPECT_EQ( a.Remove( 7 ), 2u );
   EXPECT_TRUE( a.IsEmpty() );
   EXPECT_EQ( a.Capacity(), 0u );
   EXPECT_EQ( a.Begin(), nullptr );

   qor::Array<int32_t> b{ 1, 2 };
   b.RemoveRange( b.Begin(), b.End() );
   EXPECT_EQ( b.Capacity(), 0u );

   qor::Array<int32_t> c{ 1, 2 };
   c.Clear();
   EXPECT_EQ( c.Capacity(), 0u );
}

TEST( ContainersArray, RemoveOfAnElementOfItselfUsesTheValueNotTheSlot )
{
   qor::Array<std::string> a{ "b", "a", "b", "c", "b" };
   EXPECT_EQ( a.Remove( a[0] ), 3u );
   EXPECT_EQ( Items( a ), ( std::vector<std::string>{ "a", "c" } ) );
}

TEST( ContainersArray, RemoveAtAndRemoveRangeReturnTheFollowingPosition )
{
   qor::Array<int32_t> a{ 0, 1, 2, 3, 4, 5 };
   auto next = a.RemoveAt( a.Begin() + 1 );
   EXPECT_EQ( *next, 2 );
   next = a.RemoveRange( a.Begin() + 1, a.Begin() + 3 );
   EXPECT_EQ( *next, 4 );
   EXPECT_EQ( Items( a ), ( std::vector<int32_t>{ 0, 4, 5 } ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Arrays: value semantics

TEST( ContainersArray, CopiesAreIndependentAndMovesLeaveTheSourceEmpty )
{
   qor::Array<std::string> a{ "one", "two" };
   qor::Array<std::string> copy( a );
   copy[0] = "changed";
   EXPECT_EQ( a[0], "one" );
   EXPECT_EQ( copy.Capacity(), 128u );

   qor::Array<std::string> moved( std::move( a ) );
   EXPECT_EQ( Items( moved ), ( std::vector<std::string>{ "one", "two" } ) );
   EXPECT_TRUE( a.IsEmpty() );
   EXPECT_EQ( a.Capacity(), 0u );

   copy = moved;
   EXPECT_EQ( Items( copy ), Items( moved ) );
   EXPECT_EQ( moved.Find( "two" ), moved.Begin() + 1 );
   EXPECT_EQ( moved.Find( "three" ), moved.End() );

   int total = 0;
   for ( const std::string& s : copy )
      total += int( s.size() );
   EXPECT_EQ( total, 6 );
}

// ---------------------------------------------------------------------------------------------------------------
// Sorted arrays

namespace
{
struct Keyed
{
   double key;
   int order;
   bool operator==( const Keyed& other ) const { return key == other.key && order == other.order; }
};

struct ByKey
{
   bool operator()( const Keyed& a, const Keyed& b ) const { return a.key < b.key; }
   bool operator()( const Keyed& a, double k ) const { return a.key < k; }
   bool operator()( double k, const Keyed& b ) const { return k < b.key; }
};
} // namespace

TEST( ContainersSortedArray, AddGoesAfterEqualElements )
{
   qor::SortedArray<Keyed, ByKey> a;
   a.Add( { 3.0, 0 } );
   a.Add( { 1.0, 1 } );
   a.Add( { 2.0, 2 } );
   auto position = a.Add( { 2.0, 3 } );
   EXPECT_EQ( position, a.Begin() + 2 );
   ASSERT_EQ( a.Length(), 4u );
   EXPECT_EQ( a[1], ( Keyed{ 2.0, 2 } ) );
   EXPECT_EQ( a[2], ( Keyed{ 2.0, 3 } ) );
}

TEST( ContainersSortedArray, AddKeepsAStableOrder )
{
   std::mt19937 random( 12345 );
   std::uniform_int_distribution<int> keys( 0, 40 );
   std::vector<Keyed> added;
   qor::SortedArray<Keyed, ByKey> a;
   for ( int i = 0; i < 3000; ++i )
   {
      Keyed k{ double( keys( random ) ), i };
      added.push_back( k );
      a.Add( k );
   }
   std::stable_sort( added.begin(), added.end(), ByKey() );
   EXPECT_EQ( Items( a ), added );
   EXPECT_EQ( a.Capacity(), 3072u ); // 16-byte elements: 256 per block
}

TEST( ContainersSortedArray, SearchFindsTheFirstEqualElementOrEnd )
{
   qor::SortedArray<Keyed, ByKey> a;
   EXPECT_EQ( a.Search( 2.0 ), a.End() );
   for ( Keyed k : { Keyed{ 1.0, 0 }, Keyed{ 2.0, 1 }, Keyed{ 2.0, 2 }, Keyed{ 3.0, 3 } } )
      a.Add( k );
   EXPECT_EQ( a.Search( 2.0 ), a.Begin() + 1 );
   EXPECT_EQ( a.Search( 2.5 ), a.End() );
   EXPECT_EQ( a.Search( 0.5 ), a.End() );
   EXPECT_EQ( a.Search( 3.5 ), a.End() );
   EXPECT_EQ( a.Search( 3.0 ), a.Begin() + 3 );

   qor::SortedArray<float> plain;
   for ( float v : { 3.0f, 1.0f, 2.0f } )
      plain.Add( v );
   EXPECT_EQ( plain.Search( 2.0f ), plain.Begin() + 1 );
   EXPECT_EQ( plain.Search( 2.5f ), plain.End() );
   EXPECT_EQ( plain.Remove( 1.0f ), 1u );
   EXPECT_EQ( Items( plain ), ( std::vector<float>{ 2.0f, 3.0f } ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Pointer containers never delete their objects on their own

TEST_F( ContainersOwnership, IndirectArrayDeleteObjectsLeavesNullSlotsAndDestructionFreesOnlyStorage )
{
   {
      qor::IndirectArray<Tracked> a;
      for ( int i = 0; i < 3; ++i )
         a.Add( new Tracked( 0, i ) );
      a.Add( nullptr );
      a.DeleteObjects();
      EXPECT_EQ( Tracked::destroyed, 3 );
      EXPECT_EQ( a.Length(), 4u );
      EXPECT_EQ( Items( a ), std::vector<Tracked*>( 4, nullptr ) );
   }
   EXPECT_EQ( Tracked::destroyed, 3 );

   Tracked kept;
   {
      qor::IndirectArray<Tracked> b;
      b.Add( &kept );
   }
   EXPECT_EQ( Tracked::destroyed, 3 ) << "destroying a pointer array must not delete its objects";
}

TEST_F( ContainersOwnership, DeleteObjectsDeletesAnObjectHeldTwiceOnlyOnce )
{
   qor::IndirectArray<Tracked> a;
   Tracked* shared = new Tracked;
   a.Add( shared );
   a.Add( new Tracked );
   a.Add( shared );
   a.DeleteObjects();
   EXPECT_EQ( Tracked::destroyed, 2 );
   EXPECT_EQ( Items( a ), std::vector<Tracked*>( 3, nullptr ) );
}

TEST_F( ContainersOwnership, IndirectSortedArrayOrdersByTheObjects )
{
   qor::IndirectSortedArray<Tracked, ByCategoryThenId> a;
   const int keys[][2] = { { 2, 1 }, { 1, 5 }, { 2, 0 }, { 1, 2 } };
   for ( const auto& k : keys )
      a.Add( new Tracked( k[0], k[1] ) );
   std::vector<std::pair<int, int>> order;
   for ( const Tracked* t : a )
      order.emplace_back( t->category, t->id );
   EXPECT_EQ( order, ( std::vector<std::pair<int, int>>{ { 1, 2 }, { 1, 5 }, { 2, 0 }, { 2, 1 } } ) );

   Tracked key( 2, 0 );
   auto found = a.Search( &key );
   ASSERT_NE( found, a.End() );
   EXPECT_EQ( found, a.Begin() + 2 );
   Tracked missing( 3, 0 );
   EXPECT_EQ( a.Search( &missing ), a.End() );

   // After DeleteObjects the null slots still count as sorted, so the array stays usable.
   a.DeleteObjects();
   EXPECT_EQ( Tracked::destroyed, 4 );
   Tracked late( 0, 0 );
   a.Add( &late );
   EXPECT_EQ( a.Length(), 5u );
   EXPECT_EQ( a[4], &late );
   EXPECT_EQ( a.Search( &late ), a.Begin() + 4 );
}

// ---------------------------------------------------------------------------------------------------------------
// Lists

TEST( ContainersList, InsertReturnsTheFirstNewNodeAndRemovalsReturnWhatFollows )
{
   qor::List<int32_t> list;
   EXPECT_TRUE( list.IsEmpty() );
   list.Add( 1 );
   auto four = list.Add( 4 );
   auto first = list.Insert( four, 2, 9 );
   EXPECT_EQ( *first, 9 );
   EXPECT_EQ( std::next( first, 2 ), four );
   EXPECT_EQ( Items( list ), ( std::vector<int32_t>{ 1, 9, 9, 4 } ) );
   EXPECT_EQ( list.Insert( four, 0, 5 ), four );
   EXPECT_EQ( list.Insert( four, -3, 5 ), four );
   EXPECT_EQ( list.Length(), 4u );

   EXPECT_EQ( list.RemoveRange( std::next( list.Begin() ), four ), four );
   EXPECT_EQ( Items( list ), ( std::vector<int32_t>{ 1, 4 } ) );
   EXPECT_EQ( *four, 4 ) << "positions of other nodes survive removals";
   EXPECT_EQ( list.RemoveAt( list.Begin() ), four );
}

TEST( ContainersList, RemoveUnlinksEveryNodeHoldingTheValue )
{
   qor::List<std::string> list{ "k", "a", "k", "k", "b", "k" };
   EXPECT_EQ( list.Remove( *list.Begin() ), 4u );
   EXPECT_EQ( Items( list ), ( std::vector<std::string>{ "a", "b" } ) );
   EXPECT_EQ( list.Length(), 2u );
   EXPECT_NE( list.Find( "b" ), list.End() );
   EXPECT_EQ( list.Find( "k" ), list.End() );
}

TEST_F( ContainersOwnership, IndirectListDeletesObjectsOfARangeOnlyWhenAsked )
{
   {
      qor::IndirectList<Tracked> list;
      for ( int i = 0; i < 4; ++i )
         list.Add( new Tracked( 0, i ) );
      auto third = std::next( list.Begin(), 2 );
      std::vector<Tracked*> survivors( third, list.End() );

      list.DeleteObjects( list.Begin(), third );
      EXPECT_EQ( Tracked::destroyed, 2 );
      EXPECT_EQ( list.Length(), 4u ) << "the nodes stay";
      EXPECT_EQ( *list.Begin(), nullptr );
      EXPECT_EQ( *third, survivors[0] );

      for ( Tracked* t : survivors )
         delete t;
   }
   EXPECT_EQ( Tracked::destroyed, 4 ) << "destroying a pointer list must not delete its objects";
}
