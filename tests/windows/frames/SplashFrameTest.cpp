// The splash frame: a 450 x 450 picture, drawn the same every time, with a dark sky and stars on it.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPixmap>

#include "windows/frames/SplashFrame.h"

TEST( SplashFrameTest, TheFrameIsSizedToItsPictureOfADarkSkyWithStars )
{
   TSplashFrame frame;
   frame.adjustSize();
   EXPECT_EQ( frame.size(), QSize( 450, 450 ) );
   EXPECT_EQ( frame.SplashImage->objectName(), "SplashImage" );
   EXPECT_EQ( frame.SplashImage->pixmap().size(), QSize( 450, 450 ) );

   const QImage picture = TSplashFrame::SplashPicture();
   EXPECT_EQ( picture, TSplashFrame::SplashPicture() );
   int dark = 0;
   int bright = 0;
   for ( int y = 0; y < picture.height(); ++y )
      for ( int x = 0; x < picture.width(); ++x )
      {
         const int gray = qGray( picture.pixel( x, y ) );
         dark += gray < 40;
         bright += gray > 200;
      }
   EXPECT_GT( dark, picture.width() * picture.height() / 2 );
   EXPECT_GT( bright, 200 );
}
