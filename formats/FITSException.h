#ifndef LF_FORMATS_FITS_EXCEPTION_H
#define LF_FORMATS_FITS_EXCEPTION_H

// Failures of the FITS reader and writer.
//
// Every one carries the path of the file concerned (not shown in the message, except by the refusals of a file
// that is not read at all, which also say what the file holds that is not read) and, when a CFITSIO call failed, that call's status code with CFITSIO's own text for it
// (for logs and tests; not shown either). When a system call failed beneath, its error text ends the message ("No
// space left on device"). The message is "FITS Support:\n" followed by the error text of the class. The reader and
// writer turn a nonzero CFITSIO status into one of these right after the call that set it.

#include <cstdint>
#include <string>

#include "classlib/Exception.h"

class FITSException : public qor::Exception
{
public:
   explicit FITSException( std::string path, int status = 0, int systemError = 0 );

   std::string ClassText() const override { return "FITS Support"; }

   const std::string& Path() const { return path; }
   // The CFITSIO status of the failing call, 0 when the failure was found by the program itself.
   int Status() const { return status; }
   // CFITSIO's short text for the status ("" for 0).
   std::string StatusText() const;
   // The errno value of the system call that failed beneath, 0 when none did.
   int SystemError() const { return systemError; }

protected:
   // The text, followed by ":\n" and the system's text for the error when a system call failed.
   std::string WithSystemErrorText( const std::string& text ) const;

private:
   std::string path;
   int status;
   int systemError;
};

#define LF_FITS_EXCEPTION( Name, Text )                                                                                \
   class Name : public FITSException                                                                                   \
   {                                                                                                                   \
   public:                                                                                                             \
      using FITSException::FITSException;                                                                              \
      std::string ErrorText() const override { return WithSystemErrorText( Text ); }                                   \
   };

// A file the reader does not read at all; the message names it.
#define LF_FITS_FILE_REFUSAL( Name, Text )                                                                             \
   class Name : public FITSException                                                                                   \
   {                                                                                                                   \
   public:                                                                                                             \
      using FITSException::FITSException;                                                                              \
      std::string ErrorText() const override { return Text ":\n" + Path(); }                                           \
   };

LF_FITS_EXCEPTION( FITSUnableToOpenFile, "Unable to open FITS file" )
LF_FITS_EXCEPTION( FITSInvalidPrimaryHDUType, "Invalid primary FITS HDU type" )
LF_FITS_EXCEPTION( FITSInvalidImageSize, "Invalid or unsupported image size in FITS file" )
LF_FITS_EXCEPTION( FITSKeywordReadError, "Error reading keyword data from FITS header" )
LF_FITS_EXCEPTION( FITSFileReadError, "Error reading FITS file" )
LF_FITS_EXCEPTION( FITSInvalidICCProfileHDU, "Invalid ICC Profile extension HDU in FITS file" )
LF_FITS_EXCEPTION( FITSInvalidIPTCPhotoInfoHDU, "Invalid IPTC PhotoInfo extension HDU in FITS file" )
LF_FITS_EXCEPTION( FITSUnableToCreateFile, "Unable to create FITS file" )
LF_FITS_EXCEPTION( FITSUnableToCreatePrimaryHDU, "Unable to create primary FITS HDU" )
LF_FITS_EXCEPTION( FITSKeywordWriteError, "Error writing keyword data to FITS header" )
LF_FITS_EXCEPTION( FITSFileWriteError, "Error writing FITS file" )

LF_FITS_FILE_REFUSAL( FITSCompressedFile, "Cannot open a compressed file; decompress it first" )
LF_FITS_FILE_REFUSAL( FITSUnsupportedImageDimensions, "Unsupported number of image dimensions in FITS file" )
LF_FITS_FILE_REFUSAL( FITSTileCompressedImage,
                      "Cannot open a tile-compressed image: only the primary image of a FITS file is read, "
                      "uncompressed" )
LF_FITS_FILE_REFUSAL( FITSImageInExtension,
                      "Cannot open an image stored in an extension: only the primary image of a FITS file is read" )
LF_FITS_FILE_REFUSAL( FITSNoImage, "The FITS file holds no image" )
LF_FITS_FILE_REFUSAL( FITSCompressedFileTruncated, "The compressed file ends before the data its header announces" )
LF_FITS_FILE_REFUSAL( FITSCompressedFileDamaged, "The compressed file is damaged" )
LF_FITS_FILE_REFUSAL( FITSCompressedSurplus, "The compressed file holds more data than its headers announce" )
LF_FITS_FILE_REFUSAL( FITSCompressedInvalidHeader, "The compressed file holds no valid FITS header" )

// A compressed file that would unpack to more than the memory there is; the message names both.
class FITSNotEnoughMemory : public FITSException
{
public:
   FITSNotEnoughMemory( std::string path, uint64_t needed, uint64_t available )
      : FITSException( std::move( path ) ), needed( needed ), available( available )
   {
   }
   std::string ErrorText() const override;
   uint64_t Needed() const { return needed; }
   uint64_t Available() const { return available; }

private:
   uint64_t needed;
   uint64_t available;
};
LF_FITS_FILE_REFUSAL( FITSNotARegularFile, "Cannot open something that is not a file" )

#undef LF_FITS_EXCEPTION
#undef LF_FITS_FILE_REFUSAL

#endif
