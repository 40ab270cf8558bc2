#ifndef LF_TESTS_ICC_TEST_PROFILES_H
#define LF_TESTS_ICC_TEST_PROFILES_H

// ICC profiles made by LittleCMS for the colour-management tests, and the bytes of a file.

#include <lcms2.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace test
{

inline std::vector<uint8_t> FileBytes( const std::string& path )
{
   std::ifstream in( path, std::ios::binary );
   return std::vector<uint8_t>( std::istreambuf_iterator<char>( in ), {} );
}

inline void DescribeProfile( cmsHPROFILE profile, const char* text )
{
   cmsMLU* mlu = cmsMLUalloc( nullptr, 1 );
   cmsMLUsetASCII( mlu, "en", "US", text );
   cmsWriteTag( profile, cmsSigProfileDescriptionTag, mlu );
   cmsMLUfree( mlu );
}

// An RGB profile with a D65 white, the primaries and one gamma for the three channels.
inline cmsHPROFILE MakeRGBProfile( const char* description, double gamma, const cmsCIExyYTRIPLE& primaries )
{
   cmsCIExyY white;
   cmsWhitePointFromTemp( &white, 6504 );
   cmsToneCurve* curve = cmsBuildGamma( nullptr, gamma );
   cmsToneCurve* curves[3] = { curve, curve, curve };
   cmsHPROFILE profile = cmsCreateRGBProfile( &white, &primaries, curves );
   cmsFreeToneCurve( curve );
   DescribeProfile( profile, description );
   return profile;
}

// The primaries, white point and gamma of Adobe RGB (1998).
inline cmsHPROFILE MakeAdobeCompatibleProfile( const char* description )
{
   return MakeRGBProfile( description, 563.0 / 256.0, { { 0.64, 0.33, 1 }, { 0.21, 0.71, 1 }, { 0.15, 0.06, 1 } } );
}

inline cmsHPROFILE MakeGrayProfile( const char* description )
{
   cmsToneCurve* curve = cmsBuildGamma( nullptr, 2.2 );
   cmsHPROFILE profile = cmsCreateGrayProfile( cmsD50_xyY(), curve );
   cmsFreeToneCurve( curve );
   DescribeProfile( profile, description );
   return profile;
}

// The profile as a block of bytes, saved in the given ICC version (2.1 writes the description as a 'desc' element,
// 4.3 as 'mluc'); closes it.
inline std::vector<uint8_t> SaveProfile( cmsHPROFILE profile, double version = 2.1 )
{
   cmsSetProfileVersion( profile, version );
   cmsUInt32Number size = 0;
   cmsSaveProfileToMem( profile, nullptr, &size );
   std::vector<uint8_t> bytes( size );
   cmsSaveProfileToMem( profile, bytes.data(), &size );
   cmsCloseProfile( profile );
   return bytes;
}

} // namespace test

#endif
