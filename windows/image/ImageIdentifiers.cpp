#include "windows/image/ImageIdentifiers.h"

#include <cstdio>
#include <functional>

#include "process/Preferences.h"

namespace
{

// A set of identifiers to be unique in: the main views of all windows, or the previews of one window.
struct IdentifierSpace
{
   std::function<bool( const std::string& )> exists;
   // The first identifier that begins with the prefix (any for an empty prefix); false when there is none.
   std::function<bool( const std::string& prefix, std::string& found )> firstStartingWith;
   const char* invalidExpression = "";
   const char* notFound = "";
};

std::string Unique( const std::string& wish, const IdentifierSpace& space )
{
   if ( !space.exists( wish ) )
      return wish;
   for ( int64_t i = 1;; ++i )
      if ( std::string t = wish + std::to_string( i ); !space.exists( t ) )
         return t;
}

std::string Numbered( const std::string& prefix, int32_t n )
{
   char digits[16];
   std::snprintf( digits, sizeof( digits ), "%02d", int( n ) );
   return prefix + digits;
}

std::string TrimBlanks( const std::string& text )
{
   size_t begin = text.find_first_not_of( " \t" );
   if ( begin == std::string::npos )
      return {};
   return text.substr( begin, text.find_last_not_of( " \t" ) - begin + 1 );
}

std::string Expand( const std::string& templ, const std::string& imageId, bool wantExisting,
                    const IdentifierSpace& space )
{
   std::string s = TrimBlanks( templ );
   // Macros are expanded from left to right; text inserted by a macro is never scanned again.
   size_t from = 0;
   for ( size_t p; ( p = s.find( '&', from ) ) != std::string::npos; )
   {
      size_t q = s.find( ';', p + 1 );
      if ( q == std::string::npos )
         throw ProcessRefusal( space.invalidExpression );
      const std::string name = s.substr( p + 1, q - p - 1 );
      s.erase( p, q - p + 1 );
      from = p;

      if ( name == "imageId" )
      {
         s.insert( p, imageId );
         from = p + imageId.size();
      }
      else if ( name == "uniqueId" )
      {
         if ( wantExisting )
         {
            // The text is a prefix of the identifier found, which becomes the whole result: inserting it beside
            // the text would name the prefix twice and no existing view.
            std::string found;
            if ( !space.firstStartingWith( s, found ) )
               throw ProcessRefusal( space.notFound );
            return found;
         }
         if ( s.empty() )
            throw ProcessRefusal( space.invalidExpression );
         const std::string base = s;
         for ( int64_t i = 1; space.exists( s ); ++i )
         {
            s = base;
            s.insert( p, std::to_string( i ) );
         }
         from = p + ( s.size() - base.size() );
      }
   }
   return s;
}

IdentifierSpace MainViews()
{
   IdentifierSpace space;
   space.exists = []( const std::string& id ) { return FindMainViewByIdentifier( id ) != nullptr; };
   space.firstStartingWith = []( const std::string& prefix, std::string& found )
   {
      for ( const TImageWindow::View* v : MainViewList )
         if ( v->Identifier().compare( 0, prefix.size(), prefix ) == 0 )
         {
            found = v->Identifier();
            return true;
         }
      return false;
   };
   space.invalidExpression = "Invalid macro-expression in image identifier";
   space.notFound = "Image not found in identifier macro-expansion";
   return space;
}

IdentifierSpace PreviewsOf( const TImageWindow& window )
{
   IdentifierSpace space;
   space.exists = [&window]( const std::string& id ) { return window.FindPreviewByIdentifier( id ) != nullptr; };
   space.firstStartingWith = [&window]( const std::string& prefix, std::string& found )
   {
      for ( const TImageWindow::Preview* p : window.previews )
         if ( p->Identifier().compare( 0, prefix.size(), prefix ) == 0 )
         {
            found = p->Identifier();
            return true;
         }
      return false;
   };
   space.invalidExpression = "Invalid macro-expression in preview identifier";
   space.notFound = "Preview not found in identifier macro-expansion";
   return space;
}

} // namespace

std::string DefaultImageIdentifier()
{
   return UniqueImageIdentifier( Numbered( CurrentPreferences.identifiers.imagePrefix, ImageWindowCounter + 1 ) );
}

std::string UniqueImageIdentifier( const std::string& wish )
{
   if ( wish.empty() )
      return DefaultImageIdentifier();
   return Unique( wish, MainViews() );
}

TImageWindow::View* FindMainViewByIdentifier( const std::string& text )
{
   if ( text.empty() )
      return nullptr;
   for ( TImageWindow::View* v : MainViewList )
      if ( v->Identifier() == text )
         return v;
   return nullptr;
}

TImageWindow::View* FindMainViewByFilePath( const std::string& path )
{
   for ( TImageWindow::View* v : MainViewList )
      if ( v->Window()->filePath == path )
         return v;
   return nullptr;
}

std::string ExpandIdentifierMacros( const std::string& templ, const std::string& imageId, bool wantExisting )
{
   return Expand( templ, imageId, wantExisting, MainViews() );
}

std::string TImageWindow::DefaultPreviewIdentifier() const
{
   return UniquePreviewIdentifier( Numbered( CurrentPreferences.identifiers.previewPrefix, previewCounter + 1 ) );
}

std::string TImageWindow::UniquePreviewIdentifier( const std::string& wish ) const
{
   if ( wish.empty() )
      return DefaultPreviewIdentifier();
   return Unique( wish, PreviewsOf( *this ) );
}

TImageWindow::Preview* TImageWindow::FindPreviewByIdentifier( const std::string& text ) const
{
   for ( Preview* p : previews )
      if ( p->Identifier() == text )
         return p;
   return nullptr;
}

std::string TImageWindow::ExpandPreviewIdentifierMacros( const std::string& templ, bool wantExisting ) const
{
   return Expand( templ, mainView->Identifier(), wantExisting, PreviewsOf( *this ) );
}
