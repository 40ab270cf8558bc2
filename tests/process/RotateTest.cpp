// Rotate: the rotated size, the exact quarter turns, the general rotation against the class library, and its record.

#include <gtest/gtest.h>

#include "GeometryTestKit.h"
#include "TestSupport.h"
#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "process/Rotate.h"

namespace
{

class RotateTest : public test::ScriptedUiTest
{
};

Rotate ByDegrees( double degrees, bool optimize = true )
{
   Rotate r;
   r.Params().rotationAngle = float( degrees * 0.017453292519943295 );
   r.Params().optimizeFastRotations = optimize;
   return r;
}

TEST_F( RotateTest, QuarterTurnsAreExactAndOtherAnglesInterpolate )
{
   const qor::Image original = test::RandomImage( 100, 50, 3, qor::ColorSpace::RGB, 4 );
   struct Case
   {
      double degrees;
      bool optimize;
      Rotate::Operation operation;
   };
   for ( const Case& c : { Case{ 0, true, Rotate::Operation::None }, Case{ 360, true, Rotate::Operation::None },
                           Case{ -360, true, Rotate::Operation::General }, Case{ 0, false, Rotate::Operation::General },
                           Case{ 90.0004, true, Rotate::Operation::Rotate90CCW },
                           Case{ 90.0006, true, Rotate::Operation::General },
                           Case{ -90, true, Rotate::Operation::Rotate90CW },
                           Case{ 180, true, Rotate::Operation::Rotate180 },
                           Case{ -180, true, Rotate::Operation::Rotate180 },
                           Case{ 45, true, Rotate::Operation::General } } )
   {
      SCOPED_TRACE( std::to_string( c.degrees ) + ( c.optimize ? " optimized" : "" ) );
      Rotate process = ByDegrees( c.degrees, c.optimize );
      process.Params().fillColor = RGBColorParameters( 0.1f, 0.2f, 0.3f );
      process.Params().interpolation = InterpolationParameters( InterpolationParameters::Bilinear, 5 );
      EXPECT_EQ( process.OperationFor(), c.operation );

      qor::Image image( original );
      qor::Image expected( original );
      switch ( c.operation )
      {
      case Rotate::Operation::Rotate90CW:
         expected.Rotate90CW();
         break;
      case Rotate::Operation::Rotate90CCW:
         expected.Rotate90CCW();
         break;
      case Rotate::Operation::Rotate180:
         expected.Rotate180();
         break;
      case Rotate::Operation::General:
      {
         const float fill[] = { 0.1f, 0.2f, 0.3f };
         expected.Rotate( 50, 25, process.Params().rotationAngle, fill, InterpolationParameters::Bilinear );
         break;
      }
      default:
         break;
      }
      kit::GeometryView view( image );
      process.DoExecuteOn( view );
      EXPECT_TRUE( test::SamePixels( image, expected ) );
      EXPECT_EQ( view.modified, 1 ) << "even an unchanged image counts as modified";
      int32_t w = 100, h = 50;
      process.GetNewSize( w, h, view );
      if ( c.operation != Rotate::Operation::None )
      {
         EXPECT_EQ( std::make_pair( w, h ), std::make_pair( image.Width(), image.Height() ) );
      }
   }
}

TEST_F( RotateTest, RotatedSizes )
{
   struct Case
   {
      double degrees;
      int32_t w, h, newW, newH;
   };
   for ( const Case& c : { Case{ 90, 100, 50, 50, 100 }, Case{ 45, 100, 50, 106, 106 }, Case{ 0, 100, 50, 100, 50 },
                           Case{ 180, 7, 3, 7, 3 } } )
   {
      int32_t w = c.w, h = c.h;
      qor::Image image( 1, 1, 1 );
      kit::GeometryView view( image );
      ByDegrees( c.degrees ).GetNewSize( w, h, view );
      EXPECT_EQ( std::make_pair( w, h ), std::make_pair( c.newW, c.newH ) ) << c.degrees;
   }
   // A turn whose box would leave the limits is refused before anything happens.
   qor::Image image( 1, 1, 1 );
   kit::GeometryView view( image );
   EXPECT_FALSE( ByDegrees( 30 ).CanExecuteOnSize( view, 31000, 20000 ) );
   EXPECT_TRUE( ByDegrees( 90 ).CanExecuteOnSize( view, 31000, 20000 ) );
}

TEST_F( RotateTest, TextAndStream )
{
   Rotate::Parameters p;
   EXPECT_EQ( p.ToText( 0 ), "rotationAngle=+45.000,\noptimizeFastRotations=1,\nfillColor={0.0000,0.0000,0.0000},\n"
                             "interpolation={algorithm=\"bicubicInterpolation\"}" );
   p.rotationAngle = -p.rotationAngle;
   EXPECT_EQ( p.ToText( -1 ), "rotationAngle=-45.000,..." );

   kit::ParameterStreams streams;
   const std::vector<uint8_t> bytes = streams.Written( p );
   ASSERT_EQ( bytes.size(), 25u );
   Rotate::Parameters read;
   EXPECT_EQ( streams.ReadFrom( read, bytes ), 0 );
   EXPECT_EQ( read.ToText( 0 ), p.ToText( 0 ) );
   std::vector<uint8_t> damaged = bytes;
   damaged[3] = 0x7F;
   damaged[2] = 0x80; // infinity
   damaged[1] = damaged[0] = 0;
   EXPECT_THROW( streams.ReadFrom( read, damaged ), qor::GenericException );
}

} // namespace
