#ifndef LF_FORMATS_FITS_EXCEPTION_H
#define LF_FORMATS_FITS_EXCEPTION_H

// Failures of the FITS reader and writer.
//
// Every one carries the path of the file concerned (not shown in the message) and, when a CFITSIO call failed,
// that call's status code with CFITSIO's own text for it (for logs and tests; not shown either). The message is
// "FITS Support:\n" followed by the error text of the class. The reader and writer turn a nonzero CFITSIO status
// into one of these right after the call that set it.

#include <string>

#include "classlib/Exception.h"

class FITSException : public qor::Exception
{
public:
   explicit FITSException( std::string path, int status = 0 );

   std::string ClassText() const override { return "FITS Support"; }

   const std::string& Path() const { return path; }
   // The CFITSIO status of the failing call, 0 when the failure was found by the program itself.
   int Status() const { return status; }
   // CFITSIO's short text for the status ("" for 0).
   std::string StatusText() const;

private:
   std::string path;
   int status;
};

#define LF_FITS_EXCEPTION( Name, Text )                                                                                \
   class Name : public FITSException                                                                                   \
   {                                                                                                                   \
   public:                                                                                                             \
      using FITSException::FITSException;                                                                              \
      std::string ErrorText() const override { return Text; }                                                          \
   };

LF_FITS_EXCEPTION( FITSUnableToOpenFile, "Unable to open FITS file" )
LF_FITS_EXCEPTION( FITSInvalidPrimaryHDUType, "Invalid primary FITS HDU type" )
LF_FITS_EXCEPTION( FITSUnsupportedImageDimensions, "Unsupported number of image dimensions in FITS file" )
LF_FITS_EXCEPTION( FITSInvalidImageSize, "Invalid or unsupported image size in FITS file" )
LF_FITS_EXCEPTION( FITSKeywordReadError, "Error reading keyword data from FITS header" )
LF_FITS_EXCEPTION( FITSFileReadError, "Error reading FITS file" )
LF_FITS_EXCEPTION( FITSInvalidICCProfileHDU, "Invalid ICC Profile extension HDU in FITS file" )
LF_FITS_EXCEPTION( FITSInvalidIPTCPhotoInfoHDU, "Invalid IPTC PhotoInfo extension HDU in FITS file" )
LF_FITS_EXCEPTION( FITSUnableToCreateFile, "Unable to create FITS file" )
LF_FITS_EXCEPTION( FITSUnableToCreatePrimaryHDU, "Unable to create primary FITS HDU" )
LF_FITS_EXCEPTION( FITSKeywordWriteError, "Error writing keyword data to FITS header" )
LF_FITS_EXCEPTION( FITSFileWriteError, "Error writing FITS file" )

#undef LF_FITS_EXCEPTION

#endif
