// TImageWindow: the position, pixel readout and information texts of the main window's status panels, the colour
// swatches, and the idle refresh of the active window.

#include "windows/image/ImageWindow.h"

#include <QLabel>
#include <QToolBar>

#include <cmath>
#include <vector>

#include "classlib/RGBColorSystem.h"
#include "process/Preferences.h"
#include "support/Utils.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/MainWindow.h"

namespace
{

QString DataSeparator()
{
   return QString::fromLatin1( CurrentPreferences.mainWindow.dataSeparator.c_str() );
}

// One value of the readout: its label, its value as shown, and its decimals.
struct Component
{
   QString label;
   double value;
   bool angle; // hue in degrees: never scaled to the integer range
};

} // namespace

void TImageWindow::ShowPosition( double x, double y )
{
   if ( MainWindow == nullptr )
      return;
   SetPanelText( MainWindow->Position_Panel,
                 QString::asprintf( " x:%.2f", x ) + DataSeparator() + QString::asprintf( "y:%.2f", y ) );
}

QString TImageWindow::PixelReadoutText( int32_t column, int32_t row, const ReadoutOptionsData& options ) const
{
   if ( rubberBandActive )
      return QString::asprintf( " Rect: %d,%d -> %d,%d w:%d h:%d", rubberX0, rubberY0, rubberX1, rubberY1,
                                std::abs( rubberX1 - rubberX0 ) + 1, std::abs( rubberY1 - rubberY0 ) + 1 );
   if ( previewMoving || previewResizing )
      return QString::asprintf( " %s: %d,%d w:%d h:%d", previewMoving ? "Move" : "Resize", editLeft, editTop,
                                editRight - editLeft + 1, editBottom - editTop + 1 );
   if ( currentView == nullptr )
      return {};
   const qor::Image& img = currentView->GetImage();
   if ( column < 0 || row < 0 || column >= img.Width() || row >= img.Height() )
      return {};

   const bool colour = img.IsColor() && img.NumberOfNominalChannels() >= 3;
   auto value = [&]( int32_t channel ) { return View::ProbeValue( img, channel, column, row, options ); };
   const float s1 = value( 0 );
   const float s2 = colour ? value( 1 ) : s1;
   const float s3 = colour ? value( 2 ) : s1;
   const bool alpha = displayChannel > ( img.IsColor() ? 5 : 0 );

   std::vector<Component> components;
   if ( !colour )
      components.push_back( { "K", s1, false } );
   else
   {
      // A damaged record can hold a data code beyond the last: it reads as the last one.
      switch ( std::min<int>( options.data, 5 ) )
      {
      case 0:
      case 1:
         components = { { "R", s1, false }, { "G", s2, false }, { "B", s3, false } };
         if ( options.data == 1 && !alpha )
            components.push_back( { "L*", rgbWorkingSpace.RGBToCIEL( s1, s2, s3 ), false } );
         break;
      case 2:
      {
         float h, s, v;
         qor::RGBToHSV( h, s, v, s1, s2, s3 );
         components = { { "H", double( h ) * 360, true }, { "S", s, false }, { "V", v, false } };
         break;
      }
      case 3:
      {
         float X, Y, Z;
         rgbWorkingSpace.RGBToCIEXYZ( X, Y, Z, s1, s2, s3 );
         components = { { "X", X, false }, { "Y", Y, false }, { "Z", Z, false } };
         break;
      }
      default:
      {
         float X, Y, Z, L, a, b;
         rgbWorkingSpace.RGBToCIEXYZ( X, Y, Z, s1, s2, s3 );
         rgbWorkingSpace.CIEXYZToCIELab( L, a, b, X, Y, Z );
         if ( options.data == 4 )
            components = { { "L*", L, false }, { "a*", a, false }, { "b*", b, false } };
         else
         {
            float l, c, h;
            rgbWorkingSpace.CIELabToCIELch( l, c, h, L, a, b );
            components = { { "L*", l, false }, { "c*", c, false }, { "h*", double( h ) * 360, true } };
         }
         break;
      }
      }
   }
   if ( alpha )
   {
      const int32_t plane = CurrentRenderMode();
      if ( plane >= 0 && plane < img.NumberOfChannels() )
         components.push_back( { QString::asprintf( "a%02d", plane - img.NumberOfNominalChannels() + 1 ),
                                 View::ProbeValue( img, plane, column, row, options ), false } );
   }

   const QString separator = DataSeparator();
   QString text = " ";
   for ( size_t i = 0; i < components.size(); ++i )
   {
      const Component& c = components[i];
      const bool scaled = !options.real && !c.angle;
      const double shown = scaled ? c.value * double( options.maxValue ) : c.value;
      const int decimals = scaled ? 0 : std::clamp( options.precision, 0, 17 );
      text += c.label + QString::asprintf( ":%.*f", decimals, shown );
      if ( i + 1 < components.size() )
         text += separator;
   }
   return text;
}

void TImageWindow::ShowPixelReadout( int32_t column, int32_t row )
{
   if ( MainWindow == nullptr || currentView == nullptr )
      return;
   const ReadoutOptionsData& options = MainWindow->readoutOptions;
   SetPanelText( MainWindow->Readout_Panel, PixelReadoutText( column, row, options ) );
   if ( rubberBandActive || previewMoving || previewResizing )
      return;

   QToolBar* samples = MainWindow->ColorSamples_ToolBar;
   if ( samples == nullptr || !samples->isVisible() )
      return;
   QLabel* swatches[] = { MainWindow->RGB_Panel, MainWindow->R_Panel, MainWindow->G_Panel, MainWindow->B_Panel,
                          MainWindow->L_Panel };
   const qor::Image& img = currentView->GetImage();
   if ( column < 0 || row < 0 || column >= img.Width() || row >= img.Height() )
   {
      for ( QLabel* s : swatches )
         SetPanelColor( s, samples->palette().color( QPalette::Button ) );
      return;
   }
   float v[3];
   const bool colour = img.IsColor() && img.NumberOfNominalChannels() >= 3;
   for ( int32_t c = 0; c < 3; ++c )
      v[c] = View::ProbeValue( img, colour ? c : 0, column, row, options );
   auto byte = []( double x ) { return std::clamp( int( std::nearbyint( x * 255 ) ), 0, 255 ); };
   const int r8 = byte( v[0] ), g8 = byte( v[1] ), b8 = byte( v[2] );
   const int l8 = byte( rgbWorkingSpace.RGBToCIEL( v[0], v[1], v[2] ) );
   SetPanelColor( MainWindow->R_Panel, QColor( r8, 0, 0 ) );
   SetPanelColor( MainWindow->G_Panel, QColor( 0, g8, 0 ) );
   SetPanelColor( MainWindow->B_Panel, QColor( 0, 0, b8 ) );
   SetPanelColor( MainWindow->RGB_Panel, QColor( r8, g8, b8 ) );
   SetPanelColor( MainWindow->L_Panel, QColor( l8, l8, l8 ) );
}

QString TImageWindow::InfoText() const
{
   if ( currentView == nullptr )
      return {};
   const qor::Image& img = currentView->GetImage();
   const QString separator = DataSeparator();
   const float megabytes = float( double( img.Width() ) * img.Height() * 4 * img.NumberOfChannels() / 1048576.0 );
   QString text = QString::asprintf( " w:%d", img.Width() ) + separator + QString::asprintf( "h:%d", img.Height() ) +
                  separator + ( img.IsColor() ? "RGB" : "Grayscale" ) +
                  ( rgbWorkingSpace.SharesDataWith( GlobalRGBWorkingSpace ) ? "(global)" : "(local)" ) + separator +
                  QString::asprintf( "%.3f MB", double( megabytes ) );
   if ( const auto* preview = dynamic_cast<const Preview*>( currentView ) )
   {
      if ( preview->HasStoredState() )
         text += separator + "Stored";
   }
   else if ( modificationCount > 0 )
      text += separator + "Modified";
   if ( maskWindow != nullptr )
      text += separator + "Masked" + ( maskEnabled ? "" : "(disabled)" );
   if ( !( ColorManagementSettings.displayAvailable && ColorManagementSettings.EnableGlobalColorManagement ) ||
        !colorManagementEnabled )
      text += separator + "ICM Off";
   return text;
}

void TImageWindow::UpdateInfoPanel()
{
   if ( MainWindow != nullptr )
      SetPanelText( MainWindow->Info_Panel, InfoText() );
}

void TImageWindow::IdleUpdate( bool& done )
{
   // The channel selector is refreshed by the main window's own idle update.
   if ( MainWindow != nullptr && MainWindow->Info_Panel != nullptr && MainWindow->Info_Panel->isVisible() )
      UpdateInfoPanel();
   done = true;
}
