// The main window's idle update: the one place that enables, checks and captions its actions, presses the mode
// button of the current mouse mode, fills the channel selector and writes the information panels.

#include "windows/main/MainWindow.h"

#include <QAbstractEventDispatcher>
#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QIcon>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QToolBar>

#include <algorithm>
#include <array>
#include <functional>
#include <utility>

#include "classlib/Image.h"
#include "platform/ColorManagementSettings.h"
#include "windows/image/ImageFileFormat.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/PresentationWindow.h"
#include "windows/main/SystemPerformance.h"
#include "windows/processing/ProcessIcon.h"
#include "windows/processing/ProcessingWindow.h"

namespace
{

// The state the rules look at, taken once at the start of an update.
struct IdleState
{
   TImageWindow* A = nullptr;
   TImageWindow::Preview* P = nullptr; // the target preview
   bool imageActive = false;
   bool mainViewCurrent = false;
   bool viewCurrent = false;
   bool hasPreviews = false;
   bool hasMask = false;
   bool anyImage = false;
   bool colorImage = false;

   explicit IdleState( TImageWindow* active ) : A( active )
   {
      imageActive = A != nullptr;
      anyImage = !MainViewList.empty();
      if ( A == nullptr )
         return;
      const TImageWindow::View* current = A->currentView;
      mainViewCurrent = current != nullptr && current->IsMainView();
      viewCurrent = current != nullptr && ( current->IsMainView() || current->IsPreview() );
      if ( current != nullptr && current->IsPreview() )
         P = static_cast<TImageWindow::Preview*>( A->currentView );
      else if ( mainViewCurrent )
         P = A->selectedPreview;
      hasPreviews = !A->previews.empty();
      hasMask = A->maskWindow != nullptr;
      colorImage = A->image != nullptr && A->image->IsColor();
   }
};

// Caption and hint become the text when it differs (so that an unchanged state repaints nothing).
void SetCaption( QAction* action, const QString& text )
{
   if ( action->text() != text )
   {
      action->setText( text );
      action->setToolTip( text );
      action->setStatusTip( text );
   }
}

// " " and the process identifier, when there is a process.
QString ProcessSuffix( const Process* process )
{
   return process != nullptr ? " " + QString::fromStdString( process->Id() ) : QString();
}

void SetPanelText( QLabel* panel, const QString& text )
{
   if ( panel != nullptr && panel->text() != text )
      panel->setText( text );
}

// Whether a dynamic session of that kind runs in any image window (its dialog serves one window at a time).
template <class Member>
bool AnySession( Member member )
{
   return std::any_of( MainViewList.begin(), MainViewList.end(),
                       [member]( const TImageWindow::View* v ) { return v->Window()->*member != nullptr; } );
}


} // namespace

QStringList TMainWindow::ChannelSelectorItems( const qor::Image& image )
{
   QStringList items;
   if ( image.IsColor() )
      items << "RGB" << "Red" << "Green" << "Blue" << "Luminance" << "Chrominance";
   else
      items << "Gray";
   const int alpha = std::max( 0, image.NumberOfChannels() - image.NumberOfNominalChannels() );
   for ( int i = 1; i <= alpha; ++i )
      items << QString::asprintf( "alpha%02d", i );
   return items;
}

QIcon TMainWindow::ChannelColorIcon( int index )
{
   // 0 the RGB composite, 1-3 the three channels, 4 luminance (and grey images), 5 chrominance, 6 alpha.
   static const std::array<QIcon, 7> icons = [] {
      std::array<QIcon, 7> made;
      auto swatch = []( const std::function<void( QPainter& )>& paint )
      {
         QPixmap pixmap( 16, 16 );
         pixmap.fill( Qt::transparent );
         QPainter painter( &pixmap );
         paint( painter );
         painter.setPen( QColor( 64, 64, 64 ) );
         painter.drawRect( 1, 1, 13, 13 );
         return QIcon( pixmap );
      };
      auto stripes = [&]( std::initializer_list<QColor> colours )
      {
         return swatch( [colours]( QPainter& p ) {
            int x = 2;
            const int w = 12 / int( colours.size() );
            for ( const QColor& c : colours )
            {
               p.fillRect( x, 2, w, 12, c );
               x += w;
            }
         } );
      };
      made[0] = stripes( { Qt::red, Qt::green, Qt::blue } );
      made[1] = stripes( { Qt::red } );
      made[2] = stripes( { Qt::green } );
      made[3] = stripes( { Qt::blue } );
      made[4] = swatch( []( QPainter& p ) {
         QLinearGradient ramp( 2, 0, 14, 0 );
         ramp.setColorAt( 0, Qt::black );
         ramp.setColorAt( 1, Qt::white );
         p.fillRect( 2, 2, 12, 12, ramp );
      } );
      made[5] = stripes( { QColor( 255, 0, 255 ), Qt::yellow, Qt::cyan } );
      made[6] = swatch( []( QPainter& p ) {
         for ( int y = 0; y < 3; ++y )
            for ( int x = 0; x < 3; ++x )
               p.fillRect( 2 + 4 * x, 2 + 4 * y, 4, 4, ( x + y ) % 2 != 0 ? Qt::white : Qt::lightGray );
      } );
      return made;
   }();
   return icons[std::clamp( index, 0, 6 )];
}

void TMainWindow::ConnectIdleUpdate()
{
   // The update runs each time the event loop is about to wait for the next event; while it runs nothing else
   // does, and an update that changes nothing posts no event, so the loop then really waits.
   if ( QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance() )
      connect( dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
               [this]
               {
                  static bool running = false;
                  if ( running )
                     return;
                  running = true;
                  ApplicationEvents1Idle();
                  running = false;
               } );
}

void TMainWindow::ApplicationEvents1Idle()
{
   // 1. The presentation window is freed once it has hidden itself.
   if ( PresentationWindow != nullptr && !PresentationWindow->isVisible() )
   {
      delete PresentationWindow;
      PresentationWindow = nullptr;
   }

   // 2.
   const IdleState s( ActiveImageWindow() );
   TImageWindow* A = s.A;

   // 3. Enabled states and check marks.
   const std::pair<QAction*, bool> enabled[] = {
       { FileRevert_Action, A != nullptr && !A->filePath.empty() && A->modificationCount > 0 },
       { FileSave_Action, A != nullptr && !A->filePath.empty() && !A->isCopy && A->modificationCount > 0 },
       { FileSaveAs_Action, s.imageActive },
       { FileClose_Action, s.imageActive },
       { FileCloseAll_Action, s.anyImage },
       { FileFITSHeader_Action, s.imageActive },
       { FileIPTCPhotoInfo_Action, s.imageActive },
       { EditCopy_Action, s.viewCurrent },
       { EditPaste_Action, IsClipboardImageAvailable() },
       { EditPurgeUndo_Action, s.anyImage },
       { ImageDuplicate_Action, s.imageActive },
       { ImageSetIdentifier_Action, s.imageActive },
       { ImageViewInformation_Action, s.imageActive },
       { PreviewMakeImage_Action, s.P != nullptr },
       { ImageViewStatistics_Action, s.imageActive },
       { ImageViewHistogram_Action, s.imageActive },
       { ImageViewProcessingHistory_Action, s.imageActive },
       { ImageViewProcessingReport_Action, s.imageActive },
       { ColorSpaceRGBSpaceParameters_Action, s.imageActive },
       { ColorSpaceResetToGlobalRGBSpace_Action,
         s.imageActive && !A->rgbWorkingSpace.SharesDataWith( GlobalRGBWorkingSpace ) },
       { ProcessSaveProcessIcons_Action, !ProcessIcons.empty() },
       { ProcessArrangeProcessIcons_Action, !ProcessIcons.empty() },
       { ProcessRemoveProcessIcons_Action, !ProcessIcons.empty() },
       { ColorSpaceConvertToGrayscale_Action, s.imageActive && s.colorImage },
       { ColorSpaceConvertToRGBColor_Action, s.imageActive && !s.colorImage },
       { PreviewNew_Action, s.imageActive },
       { PreviewProperties_Action, s.P != nullptr },
       { ImageAssignICCProfile_Action, s.imageActive },
       { ImageTransformToDefaultICCProfile_Action, s.imageActive },
       { PreviewClone_Action, s.P != nullptr },
       { PreviewNext_Action, s.hasPreviews },
       { PreviewPrev_Action, s.hasPreviews },
       { PreviewStore_Action, s.P != nullptr },
       { PreviewRestore_Action, s.P != nullptr },
       { PreviewReset_Action, s.P != nullptr },
       { PreviewDelete_Action, s.P != nullptr },
       { PreviewStoreAll_Action, s.hasPreviews },
       { PreviewRestoreAll_Action, s.hasPreviews },
       { PreviewResetAll_Action, s.hasPreviews },
       { PreviewDeleteAll_Action, s.hasPreviews },
       { MaskSelectMask_Action, s.imageActive },
       { GeometryResample_Action, s.imageActive },
       { GeometryIntegerResample_Action, s.imageActive },
       { GeometryCropExpand_Action, s.imageActive },
       { GeometryRotate_Action, s.imageActive },
       { GeometryRotate180_Action, s.imageActive },
       { GeometryRotate90CW_Action, s.imageActive },
       { GeometryRotate90CCW_Action, s.imageActive },
       { GeometryMirrorHorizontal_Action, s.imageActive },
       { GeometryMirrorVertical_Action, s.imageActive },
       { ImageInvert_Action, s.imageActive },
       { MaskRemoveMask_Action, s.hasMask },
       { MaskEnableMask_Action, s.hasMask },
       { MaskShowMask_Action, s.hasMask },
       { WindowCascade_Action, s.anyImage },
       { WindowTileHorizontal_Action, s.anyImage },
       { WindowTileVertical_Action, s.anyImage },
       { WindowArrangeIcons_Action, s.anyImage },
       { WindowZoomIn_Action, s.imageActive },
       { WindowZoomOut_Action, s.imageActive },
       { WindowZoom11_Action, s.imageActive },
       { WindowZoom12_Action, s.imageActive },
       { WindowZoom13_Action, s.imageActive },
       { WindowZoom14_Action, s.imageActive },
       { WindowZoom16_Action, s.imageActive },
       { WindowZoom18_Action, s.imageActive },
       { WindowZoom21_Action, s.imageActive },
       { WindowZoom31_Action, s.imageActive },
       { WindowZoom41_Action, s.imageActive },
       { WindowZoom61_Action, s.imageActive },
       { WindowZoom81_Action, s.imageActive },
       { WindowZoomToFit_Action, s.imageActive },
       { WindowFitWindow_Action, s.imageActive },
       { ReadoutMode_Action, s.viewCurrent },
       { ZoomInMode_Action, s.viewCurrent },
       { ZoomOutMode_Action, s.viewCurrent },
       { PanMode_Action, s.viewCurrent },
       { CenterMode_Action, s.viewCurrent },
       { DynamicCropMode_Action, s.mainViewCurrent && A->dbeData == nullptr &&
                                     ( A->dynamicCropData != nullptr || !AnySession( &TImageWindow::dynamicCropData ) ) },
       { DynamicBackgroundExtractionMode_Action,
         s.mainViewCurrent && A->dynamicCropData == nullptr &&
             ( A->dbeData != nullptr || !AnySession( &TImageWindow::dbeData ) ) },
       { NewPreviewMode_Action, s.mainViewCurrent },
       { EditPreviewMode_Action, s.mainViewCurrent },
       // The process windows open without an image.
       { ProcessATrousWavelets_Action, true },
       { ProcessPixelMath_Action, true },
   };
   for ( const auto& [action, on] : enabled )
      action->setEnabled( on );
   SelectChannel_ComboBox->setEnabled( s.viewCurrent );

   MaskEnableMask_Action->setChecked( !s.hasMask || A->maskEnabled );
   MaskShowMask_Action->setChecked( !s.hasMask || A->maskShown );
   WindowStayOnTopProcessingWindows_Action->setChecked( ProcessingWindowsStayOnTop() );
   for ( const auto& [toolBar, action] : ToolBarActions() )
      action->setChecked( toolBar->isVisible() );
   SetCaption( WindowShowControlBars_Action, controlBarVisible[0] ? "Hide Control Bars" : "Show Control Bars" );

   // The button of the current mouse mode is pressed (the group releases the others); none for another value.
   const std::array<QAction*, 9> modes = ModeActions();
   if ( CurrentImageWindowMode < modes.size() )
      modes[CurrentImageWindowMode]->setChecked( true );
   else
      for ( QAction* mode : modes )
         if ( mode->isChecked() )
         {
            mode->actionGroup()->setExclusionPolicy( QActionGroup::ExclusionPolicy::ExclusiveOptional );
            mode->setChecked( false );
            mode->actionGroup()->setExclusionPolicy( QActionGroup::ExclusionPolicy::Exclusive );
         }

   UpdateReadoutActions();

   // 4. Caption rules.
   if ( A == nullptr )
   {
      EditUndo_Action->setEnabled( false );
      SetCaption( EditUndo_Action, "No image to undo/redo" );
   }
   else if ( A->undoAvailable )
   {
      EditUndo_Action->setEnabled( true );
      SetCaption( EditUndo_Action, "Undo" + ProcessSuffix( A->mainView->LastProcess() ) );
   }
   else if ( A->redoAvailable )
   {
      EditUndo_Action->setEnabled( true );
      SetCaption( EditUndo_Action, "Redo" + ProcessSuffix( A->mainView->RedoProcess() ) );
   }
   else
   {
      EditUndo_Action->setEnabled( false );
      SetCaption( EditUndo_Action, "Nothing to undo" );
   }

   EditEnableUndo_Action->setEnabled( A != nullptr );
   EditEnableUndo_Action->setChecked( A != nullptr && A->undoEnabled );
   SetCaption( EditEnableUndo_Action, A == nullptr       ? "No image to enable/disable undo"
                                      : A->undoEnabled ? "Disable Undo (now enabled)"
                                                       : "Enable Undo (now disabled)" );

   const bool globalColorManagement =
       ColorManagementSettings.displayAvailable && ColorManagementSettings.EnableGlobalColorManagement;
   ImageEnableColorManagement_Action->setEnabled( A != nullptr && globalColorManagement );
   SetCaption( ImageEnableColorManagement_Action,
               A == nullptr                   ? "No image to enable/disable color management"
               : !globalColorManagement       ? "Color management is globally disabled"
               : A->colorManagementEnabled    ? "Disable Color Management (now enabled)"
                                              : "Enable Color Management (now disabled)" );

   if ( s.P == nullptr )
      SetCaption( PreviewUndo_Action, "No preview to undo/redo" );
   else if ( s.P->IsModified() && !s.P->IsRedoPossible() )
      SetCaption( PreviewUndo_Action, "Undo Preview" + ProcessSuffix( s.P->LastProcess() ) );
   else if ( s.P->IsRedoPossible() )
      SetCaption( PreviewUndo_Action, "Redo Preview" + ProcessSuffix( s.P->RedoProcess() ) );
   else
      SetCaption( PreviewUndo_Action, "Nothing to undo" );
   PreviewUndo_Action->setEnabled( s.P != nullptr && ( s.P->IsModified() || s.P->IsRedoPossible() ) );

   // 7. Panels.
   if ( A != nullptr )
   {
      const qor::Image& image = A->DisplayedImage();
      const QStringList items = ChannelSelectorItems( image );
      ControlUpdateGuard guard( this );
      // Compared by their texts: a grey image with five alpha channels has as many items as a colour image.
      bool same = SelectChannel_ComboBox->count() == items.size();
      for ( int i = 0; same && i < items.size(); ++i )
         same = SelectChannel_ComboBox->itemText( i ) == items[i];
      if ( !same )
      {
         SelectChannel_ComboBox->clear();
         for ( int i = 0; i < items.size(); ++i )
            SelectChannel_ComboBox->addItem( ChannelColorIcon( image.IsColor() ? std::min( i, 6 ) : i == 0 ? 4 : 6 ),
                                             items[i] );
      }
      if ( !SelectChannel_ComboBox->view()->isVisible() && SelectChannel_ComboBox->currentIndex() != A->displayChannel )
         SelectChannel_ComboBox->setCurrentIndex( A->displayChannel );
      bool done = false;
      A->IdleUpdate( done );
   }
   else
   {
      SetPanelText( Info_Panel, SystemPerformanceIndex != 0
                                    ? QString::asprintf( "System Performance = %.3f", double( SystemPerformanceIndex ) )
                                    : QString() );
      SetPanelText( Position_Panel, QString() );
      SetPanelText( Readout_Panel, QString() );
   }
}
