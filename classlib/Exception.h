#ifndef QOR_EXCEPTION_H
#define QOR_EXCEPTION_H

// The class library's one error path.
//
// Every failure of the class library, the file formats and the module files is thrown by value as a
// qor::Exception descendant and caught by reference. An exception has two texts: the class text names the
// kind of failure, the error text says what went wrong; Message() joins them as "class:\nerror" (or the error
// alone when the class text is empty). Catchers either call Show() or take Message() into a box of their own.
//
// How foreign error mechanisms become these exceptions: CFITSIO status codes are turned into FITSException by
// the FITS reader and writer right after each call; libtiff's error handler records the text and the TIFF code
// throws TIFFException when the call returns; libjpeg's error exit longjmps back to the codec, which then
// throws JPEGException outside any libjpeg frame; lcms2's error handler records the text and the colour
// management code throws after the failing call. No exception ever crosses a C library frame.
//
// The class library does not know the GUI: Show() hands caption and message to a handler that the platform
// layer installs (a warning box); without one it writes to standard error.

#include <exception>
#include <string>

namespace qor
{

class Exception : public std::exception
{
public:
   using ShowHandler = void ( * )( const std::string& caption, const std::string& message );

   ~Exception() override = default;

   virtual std::string ClassText() const = 0;
   virtual std::string ErrorText() const = 0;
   virtual std::string Message() const;
   virtual std::string Caption() const;
   virtual void Show() const;

   // std::exception's view of Message(), so that a generic catcher still says something useful.
   const char* what() const noexcept override;

   // Installs the function through which Show() presents an exception; nullptr restores the default.
   static void SetShowHandler( ShowHandler handler );

private:
   mutable std::string whatText;
};

// Base of the image-related exceptions.
class ImageException : public Exception
{
public:
   std::string ClassText() const override { return "Image"; }
};

// Carries a message composed at run time; its class text is empty, so its Message() is the text alone.
class GenericException : public Exception
{
public:
   explicit GenericException( std::string text ) : text( std::move( text ) ) {}
   std::string ClassText() const override { return std::string(); }
   std::string ErrorText() const override { return text; }

private:
   std::string text;
};

// Thrown after an input error has already been shown to the user: catchers show nothing and abandon the action.
class CatchedException : public GenericException
{
public:
   CatchedException() : GenericException( std::string() ) {}
};

} // namespace qor

#endif
