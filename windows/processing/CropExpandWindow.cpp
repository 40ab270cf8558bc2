#include "windows/processing/CropExpandWindow.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QToolButton>

#include <array>

#include "classlib/Exception.h"
#include "process/CropExpand.h"
#include "support/Utils.h"
#include "windows/frames/SelectColorFrame.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/FilterWindowParts.h"

namespace
{

// 0 for the near side fixed (sum to the far side), 1 centred, 2 the far side fixed; by axis, from a margin pair.
int32_t AnchorAxis( int32_t nearMargin, int32_t farMargin )
{
   if ( ( nearMargin != 0 ) == ( farMargin != 0 ) )
      return 1;
   return nearMargin != 0 ? 2 : 0;
}

// Moves the sum of the pair to the side the anchor leaves free, or centres it.
void Rearrange( int32_t anchorAxis, int32_t& nearMargin, int32_t& farMargin )
{
   const int32_t sum = nearMargin + farMargin;
   if ( anchorAxis == 1 )
      nearMargin = farMargin = sum >> 1;
   else if ( anchorAxis == 0 )
   {
      farMargin = sum != 0 ? sum : 1;
      nearMargin = 0;
   }
   else
   {
      nearMargin = sum != 0 ? sum : 1;
      farMargin = 0;
   }
}

QPixmap DrawGlyph( int dx, int dy )
{
   QPixmap pixmap( 9, 9 );
   pixmap.fill( Qt::transparent );
   if ( dx == 0 && dy == 0 )
      return pixmap;
   QPainter p( &pixmap );
   p.setPen( Qt::black );
   const QPoint tip( 4 + 4 * dx, 4 + 4 * dy );
   p.drawLine( QPoint( 4 - 4 * dx, 4 - 4 * dy ), tip );
   // The head: two strokes back from the tip, at right angles to each other.
   const QPoint back( -dx, -dy );
   const QPoint side1 = dx != 0 && dy != 0 ? QPoint( -dx, 0 ) : QPoint( back.x() - dy, back.y() - dx );
   const QPoint side2 = dx != 0 && dy != 0 ? QPoint( 0, -dy ) : QPoint( back.x() + dy, back.y() + dx );
   p.drawLine( tip, tip + side1 * 3 );
   p.drawLine( tip, tip + side2 * 3 );
   return pixmap;
}

} // namespace

const QIcon& TCropExpandWindow::GlyphIcon( Glyph glyph )
{
   static const std::array<QIcon, 9> icons = {
      QIcon( DrawGlyph( 0, 0 ) ),  QIcon( DrawGlyph( -1, 0 ) ), QIcon( DrawGlyph( 1, 0 ) ),
      QIcon( DrawGlyph( 0, -1 ) ), QIcon( DrawGlyph( 0, 1 ) ),  QIcon( DrawGlyph( -1, -1 ) ),
      QIcon( DrawGlyph( 1, -1 ) ), QIcon( DrawGlyph( -1, 1 ) ), QIcon( DrawGlyph( 1, 1 ) ) };
   return icons[size_t( glyph )];
}

TCropExpandWindow::TCropExpandWindow( QWidget* owner ) : TGeometryWindow( owner )
{
   setObjectName( "CropExpandWindow" );
   setWindowTitle( "  Crop/Expand" );

   auto* panel = new QFrame( this );
   panel->setObjectName( "CropMargins_Panel" );
   panel->setFrameShape( QFrame::StyledPanel );
   auto* grid = new QGridLayout( panel );
   grid->addWidget( MakeCaptionPanel( panel, "CropMarginsCaption_Panel", " Margins/Dimensions (pixels) & Anchors" ),
                    0, 0, 1, 5 );
   const char* marginNames[4] = { "Left_Edit", "Top_Edit", "Right_Edit", "Bottom_Edit" };
   for ( int i = 0; i < 4; ++i )
   {
      marginEdits[i] = new QLineEdit( panel );
      marginEdits[i]->setObjectName( marginNames[i] );
      SetEditExitHandler( marginEdits[i], [this, i] { Margin_EditExit( i ); } );
   }
   Left_Edit = marginEdits[0];
   Top_Edit = marginEdits[1];
   Right_Edit = marginEdits[2];
   Bottom_Edit = marginEdits[3];
   grid->addWidget( Top_Edit, 1, 1, 1, 3 );
   grid->addWidget( Left_Edit, 3, 0 );
   grid->addWidget( Right_Edit, 3, 4 );
   grid->addWidget( Bottom_Edit, 5, 1, 1, 3 );

   const char* anchorNames[9] = { "TL_SpeedButton", "TM_SpeedButton", "TR_SpeedButton", "ML_SpeedButton", "MM_SpeedButton",
                                  "MR_SpeedButton", "BL_SpeedButton", "BM_SpeedButton", "BR_SpeedButton" };
   auto* group = new QButtonGroup( this );
   group->setExclusive( true );
   for ( int32_t i = 0; i < 9; ++i )
   {
      QToolButton* b = new QToolButton( panel );
      b->setObjectName( anchorNames[i] );
      b->setCheckable( true );
      b->setIconSize( QSize( 9, 9 ) );
      group->addButton( b, i );
      connect( b, &QToolButton::clicked, this, [this, i] { Anchor_SpeedButtonClick( i ); } );
      Anchor_SpeedButtons[i] = b;
      grid->addWidget( b, 2 + i / 3, 1 + i % 3 );
   }
   Anchor_SpeedButtons[4]->setChecked( true );

   grid->addWidget( new QLabel( "New Width:", panel ), 6, 0 );
   Width_Edit = new QLineEdit( panel );
   Width_Edit->setObjectName( "Width_Edit" );
   SetEditExitHandler( Width_Edit, [this] { Size_EditExit( 0 ); } );
   grid->addWidget( Width_Edit, 6, 1, 1, 2 );
   grid->addWidget( new QLabel( "New Height:", panel ), 7, 0 );
   Height_Edit = new QLineEdit( panel );
   Height_Edit->setObjectName( "Height_Edit" );
   SetEditExitHandler( Height_Edit, [this] { Size_EditExit( 1 ); } );
   grid->addWidget( Height_Edit, 7, 1, 1, 2 );

   FillColor_Frame = MakeFillColorFrame( " Fill Color" );

   auto* layout = new QGridLayout( this );
   layout->addWidget( ViewsList, 0, 0, 1, 2 );
   layout->addWidget( panel, 1, 0 );
   layout->addWidget( FillColor_Frame, 1, 1 );
   layout->addWidget( Info_Panel, 2, 0, 1, 2 );
   layout->addWidget( Buttons_Panel, 3, 1, Qt::AlignRight );

   SelectView( nullptr );
}

void TCropExpandWindow::TakeView( TImageWindow::View* view )
{
   if ( view != nullptr )
   {
      const qor::Image& image = view->GetImage();
      imageWidth = image.Width();
      imageHeight = image.Height();
      channelCount = image.NumberOfNominalChannels();
      FillColor_Frame->grayOnly = !image.IsColor();
   }
   else
   {
      imageWidth = imageHeight = 100;
      channelCount = 1;
      FillColor_Frame->grayOnly = false;
   }
   if ( !CropExpand::IsValidSize( CropExpand::NewSide( imageWidth, leftMargin, rightMargin ), 1 ) )
      leftMargin = rightMargin = 0;
   if ( !CropExpand::IsValidSize( 1, CropExpand::NewSide( imageHeight, topMargin, bottomMargin ) ) )
      topMargin = bottomMargin = 0;
}

void TCropExpandWindow::UpdateControls()
{
   UpdateEdits();
   UpdateInfo();
   FillColor_Frame->UpdateControls();
}

int32_t TCropExpandWindow::DerivedAnchor() const
{
   return 3 * AnchorAxis( topMargin, bottomMargin ) + AnchorAxis( leftMargin, rightMargin );
}

TCropExpandWindow::Glyph TCropExpandWindow::GlyphOf( int32_t button ) const
{
   const int32_t anchor = DerivedAnchor();
   const int32_t dx = button % 3 - anchor % 3, dy = button / 3 - anchor / 3;
   if ( ( dx == 0 && dy == 0 ) || dx < -1 || dx > 1 || dy < -1 || dy > 1 )
      return None;
   // A neighbour's arrow points away from the anchor when its side grows, toward it when it shrinks.
   const int32_t deciding = dx < 0 ? leftMargin : dx > 0 ? rightMargin : dy < 0 ? topMargin : bottomMargin;
   const int32_t sx = deciding < 0 ? -dx : dx, sy = deciding < 0 ? -dy : dy;
   static const Glyph table[3][3] = { { UpLeft, Up, UpRight }, { Left, None, Right }, { DownLeft, Down, DownRight } };
   return table[sy + 1][sx + 1];
}

void TCropExpandWindow::UpdateEdits()
{
   for ( int i = 0; i < 4; ++i )
      WriteIntegerToEdit( marginEdits[i], *margins[i] );
   WriteIntegerToEdit( Width_Edit, imageWidth + leftMargin + rightMargin );
   WriteIntegerToEdit( Height_Edit, imageHeight + topMargin + bottomMargin );
   const int32_t anchor = DerivedAnchor();
   if ( !Anchor_SpeedButtons[anchor]->isChecked() )
   {
      TMainWindow::ControlUpdateGuard guard;
      Anchor_SpeedButtons[anchor]->setChecked( true );
   }
   for ( int32_t i = 0; i < 9; ++i )
      Anchor_SpeedButtons[i]->setIcon( GlyphIcon( GlyphOf( i ) ) );
}

void TCropExpandWindow::UpdateInfo()
{
   ShowInfo( imageWidth + leftMargin + rightMargin, imageHeight + topMargin + bottomMargin );
}

void TCropExpandWindow::Size_EditExit( int axis )
{
   int32_t& nearMargin = axis == 0 ? leftMargin : topMargin;
   int32_t& farMargin = axis == 0 ? rightMargin : bottomMargin;
   const int32_t side = axis == 0 ? imageWidth : imageHeight;
   try
   {
      const int32_t d = int32_t( ReadNumberFromEdit( axis == 0 ? Width_Edit : Height_Edit, 1, 32000, false ) ) - side;
      if ( d == 0 )
         nearMargin = farMargin = 0;
      else if ( d == nearMargin + farMargin )
      {
      }
      else if ( nearMargin == 0 && farMargin != 0 )
         farMargin = d;
      else if ( farMargin == 0 && nearMargin != 0 )
         nearMargin = d;
      else if ( d == 1 || d == -1 )
      {
         nearMargin = d;
         farMargin = 0;
      }
      else
      {
         // The far side takes the odd pixel.
         nearMargin = farMargin = d / 2;
         if ( d % 2 != 0 )
            farMargin += d > 0 ? 1 : -1;
      }
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   UpdateEdits();
   UpdateInfo();
}

void TCropExpandWindow::Margin_EditExit( int side )
{
   const int32_t opposite = *margins[( side + 2 ) % 4];
   const int32_t dimension = side % 2 == 0 ? imageWidth : imageHeight;
   try
   {
      *margins[side] = int32_t( ReadNumberFromEdit( marginEdits[side], 1.0 - dimension - opposite,
                                                    32000.0 - dimension - opposite, false ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   UpdateEdits();
   UpdateInfo();
}

void TCropExpandWindow::Anchor_SpeedButtonClick( int32_t anchor )
{
   if ( UpdatingControls() )
      return;
   Rearrange( anchor % 3, leftMargin, rightMargin );
   Rearrange( anchor / 3, topMargin, bottomMargin );
   UpdateEdits();
   UpdateInfo();
}

std::unique_ptr<Process> TCropExpandWindow::NewInstance()
{
   auto instance = std::make_unique<CropExpand>();
   CropExpand::Parameters& p = instance->Params();
   p.leftMargin = leftMargin;
   p.topMargin = topMargin;
   p.rightMargin = rightMargin;
   p.bottomMargin = bottomMargin;
   p.fillColor = RGBColorParameters( FillColor_Frame->color[0], FillColor_Frame->color[1], FillColor_Frame->color[2] );
   return instance;
}

void TCropExpandWindow::ImportInstance( const Process& instance )
{
   const auto* crop = dynamic_cast<const CropExpand*>( &instance );
   if ( crop == nullptr )
      return;
   const CropExpand::Parameters& p = crop->Params();
   leftMargin = p.leftMargin;
   topMargin = p.topMargin;
   rightMargin = p.rightMargin;
   bottomMargin = p.bottomMargin;
   FillColor_Frame->color = { p.fillColor.red, p.fillColor.green, p.fillColor.blue };
   UpdateControls();
}

TCropExpandWindow& CropExpandWindow()
{
   static QPointer<TCropExpandWindow> window;
   if ( window.isNull() )
      window = new TCropExpandWindow( MainWindow );
   return *window;
}
