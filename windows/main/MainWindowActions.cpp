// The main window's command surface beyond File and Edit: the actions of the Image, Mask, Preview, Tools, Window
// and Help menus, the mouse modes and the channel selector, the menus that show them and the tool bars' buttons.

#include "windows/main/MainWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include <memory>

#include "classlib/Image.h"
#include "platform/ColorManagementSettings.h"
#include "platform/DialogRunner.h"
#include "platform/Prompter.h"
#include "process/AssignICCProfile.h"
#include "process/ConvertToGrayscale.h"
#include "process/ConvertToRGBColor.h"
#include "process/ProcessRegistry.h"
#include "support/Utils.h"
#include "windows/dialogs/AboutDialog.h"
#include "windows/dialogs/ImageIdentifierDialog.h"
#include "windows/dialogs/NewImageFromPreviewDialog.h"
#include "windows/dialogs/PreviewPropertiesDialog.h"
#include "windows/dialogs/ProcessingReportDialogs.h"
#include "windows/dialogs/SelectViewsDialogs.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/ActionIcons.h"
#include "windows/main/Application.h"
#include "windows/processing/ATrousWaveletsWindow.h"
#include "windows/processing/AssignICCProfileWindow.h"
#include "windows/processing/CurvesWindow.h"
#include "windows/processing/ExtractChannelsWindow.h"
#include "windows/processing/FITSHeaderWindow.h"
#include "windows/processing/IPTCPhotoInfoWindow.h"
#include "windows/processing/PreferencesWindow.h"
#include "windows/processing/ReadoutOptionsWindow.h"
#include "windows/processing/ImageIdentifierWindow.h"
#include "windows/processing/HistogramWindow.h"
#include "windows/processing/ImportChannelsWindow.h"
#include "windows/processing/MedianFilterWindow.h"
#include "windows/processing/MinMaxFiltersWindow.h"
#include "windows/processing/PixelMathWindow.h"
#include "windows/processing/NewImageWindow.h"
#include "windows/processing/ProcessContainerWindow.h"
#include "windows/processing/ProcessingHistoryWindow.h"
#include "windows/processing/ProcessingWindow.h"
#include "windows/processing/RGBSpaceParametersWindow.h"
#include "windows/processing/SCNRWindow.h"
#include "windows/processing/SGBNRWindow.h"
#include "windows/tools/AdjustMonitorBrightnessWindow.h"
#include "windows/tools/ImageInformationWindow.h"
#include "windows/tools/MemoryWatchWindow.h"
#include "windows/tools/RealTimePreviewWindow.h"
#include "windows/tools/StatisticsWindow.h"

namespace
{

// An image window's frame back from the minimised state before it is worked on.
void RestoreWindow( TImageWindow& window )
{
   if ( window.Frame()->isMinimized() )
      window.Frame()->showNormal();
}

// The target preview: the current view when it is a preview, else the main view's selected preview.
TImageWindow::Preview* TargetPreview( TImageWindow* window )
{
   if ( window == nullptr || window->currentView == nullptr )
      return nullptr;
   if ( window->currentView->IsPreview() )
      return static_cast<TImageWindow::Preview*>( window->currentView );
   return window->selectedPreview;
}

// Whether display colour management can be used at all; says why not when it cannot.
bool ColorManagementAvailable()
{
   if ( ColorManagementSettings.displayAvailable )
      return true;
   platform::ShowMessage( platform::Icon::Error, ApplicationTitle(),
                          "Lumenforge was unable to initialize a valid color management on this system.\n"
                          "The Color Management interface is not available." );
   return false;
}

// Runs an operation on the target preview of a window, restored first; nothing without one.
template <class Operation>
void OnTargetPreview( TImageWindow* window, Operation operation )
{
   TImageWindow::Preview* preview = TargetPreview( window );
   if ( preview == nullptr )
      return;
   RestoreWindow( *window );
   operation( *window, *preview );
}

// Runs an operation on every preview of a window, in order.
template <class Operation>
void OnEveryPreview( TImageWindow* window, Operation operation )
{
   if ( window != nullptr )
      for ( TImageWindow::Preview* preview : std::vector<TImageWindow::Preview*>( window->previews ) )
         operation( *preview );
}

// The properties dialog of the preview given, or of a new preview of the window when there is none.
void RunPreviewPropertiesDialog( TImageWindow& window, TImageWindow::Preview* preview )
{
   TPreviewPropertiesDialog& dialog = PreviewPropertiesDialog();
   dialog.targetWindow = &window;
   dialog.preview = preview;
   platform::DialogRunner::exec( dialog );
}

// Fresh pixels from the main image under the preview's own rectangle.
void ResetPreview( TImageWindow::Preview& preview )
{
   const qor::Image& image = preview.GetImage();
   preview.Reset( preview.left, preview.top, image.Width(), image.Height() );
}

// Calls select with the active image's current view, when there is one.
template <class Select>
void SelectActiveView( const TMainWindow& main, Select select )
{
   TImageWindow* window = main.ActiveImageWindow();
   if ( window != nullptr && window->currentView != nullptr )
      select( window->currentView );
}

// Shows a view tool; one without a view of its own takes the active image's current view.
template <class Form>
void ShowViewTool( const TMainWindow& main, Form& form, const TImageWindow::View* shown )
{
   ShowForm( &form );
   if ( shown == nullptr )
      SelectActiveView( main, [&form]( TImageWindow::View* v ) { form.SelectView( v ); } );
}

void SetToolButtonName( QToolBar* toolBar, QAction* action, const char* name )
{
   if ( QWidget* button = toolBar->widgetForAction( action ) )
      button->setObjectName( name );
}

} // namespace

// ---- Construction ------------------------------------------------------------------------------------------------

void TMainWindow::BuildCommandActions()
{
   auto make = [this]( QAction*& member, const char* name, const QString& text, const QString& hint,
                       const QKeySequence& shortcut, const QString& glyph, std::function<void()> handler )
   {
      member = new QAction( text, this );
      member->setObjectName( name );
      member->setShortcut( shortcut );
      member->setToolTip( hint.isEmpty() ? text : hint );
      member->setStatusTip( member->toolTip() );
      if ( !glyph.isEmpty() )
         member->setIcon( GlyphIcon( glyph ) );
      connect( member, &QAction::triggered, this, std::move( handler ) );
      addAction( member );
      return member;
   };
   const QKeySequence none;

   // Image
   make( ImageDuplicate_Action, "ImageDuplicate_Action", "Duplicate Image", {}, none, "Dup",
         [this] { ImageDuplicate_ActionExecute(); } );
   make( ImageSetIdentifier_Action, "ImageSetIdentifier_Action", "Set Identifier...", "Set Image Identifier", none,
         "Id", [this] { ImageSetIdentifier_ActionExecute(); } );
   make( ImageEnableColorManagement_Action, "ImageEnableColorManagement_Action", "Color Management Enabled", {},
         QKeySequence( "F11" ), "CM", [this] { ImageEnableColorManagement_ActionExecute(); } );
   make( ImageAssignICCProfile_Action, "ImageAssignICCProfile_Action", "Assign ICC Profile...", "Assign ICC Profile",
         none, "ICC", [this] { ImageAssignICCProfile_ActionExecute(); } );
   make( ImageTransformToDefaultICCProfile_Action, "ImageTransformToDefaultICCProfile_Action",
         "Transform to Default ICC Profile", {}, none, "ICC>", [this] { ImageTransformToDefaultICCProfile_ActionExecute(); } );
   make( ProcessAssignICCProfile_Action, "ProcessAssignICCProfile_Action", "Assign ICC Profile", {}, none, "",
         [this] { ProcessAssignICCProfile_ActionExecute(); } );

   // Mask
   make( MaskSelectMask_Action, "MaskSelectMask_Action", "Select Mask...", "Select Mask", QKeySequence( "Ctrl+M" ),
         "M", [this] { MaskSelectMask_ActionExecute(); } );
   make( MaskRemoveMask_Action, "MaskRemoveMask_Action", "Remove Mask", {}, QKeySequence( "Ctrl+Alt+M" ), "M-",
         [this] { MaskRemoveMask_ActionExecute(); } );
   make( MaskEnableMask_Action, "MaskEnableMask_Action", "Enable Mask", "Mask Enabled", QKeySequence( "Ctrl+Shift+M" ),
         "E", [this] { MaskEnableMask_ActionExecute(); } );
   make( MaskShowMask_Action, "MaskShowMask_Action", "Show Mask", "Mask Shown", none, "S",
         [this] { MaskShowMask_ActionExecute(); } );
   MaskEnableMask_Action->setCheckable( true );
   MaskShowMask_Action->setCheckable( true );

   // Preview
   make( PreviewNew_Action, "PreviewNew_Action", "New Preview...", "New Preview", QKeySequence( "Ctrl+P" ), "P+",
         [this] { PreviewNew_ActionExecute(); } );
   make( PreviewProperties_Action, "PreviewProperties_Action", "Preview Properties...", "Preview Properties", none,
         "P?", [this] { PreviewProperties_ActionExecute(); } );
   make( PreviewClone_Action, "PreviewClone_Action", "Clone Preview", {}, none, "PP",
         [this] { PreviewClone_ActionExecute(); } );
   make( PreviewMakeImage_Action, "PreviewMakeImage_Action", "Make Image...", "Make Image from Preview", none,
         "P\u2192I", [this] { PreviewMakeImage_ActionExecute(); } );
   make( PreviewNext_Action, "PreviewNext_Action", "Next Preview", {}, QKeySequence( "Ctrl+Right" ), "\u25B6",
         [this] { PreviewNext_ActionExecute(); } );
   make( PreviewPrev_Action, "PreviewPrev_Action", "Previous Preview", {}, QKeySequence( "Ctrl+Left" ), "\u25C0",
         [this] { PreviewPrev_ActionExecute(); } );
   make( PreviewUndo_Action, "PreviewUndo_Action", "Undo Preview", {}, QKeySequence( "Ctrl+Shift+Z" ), "\u21B6",
         [this] { PreviewUndo_ActionExecute(); } );
   make( PreviewStore_Action, "PreviewStore_Action", "Store Preview", {}, QKeySequence( "Ctrl+Alt+S" ), "St",
         [this] { PreviewStore_ActionExecute(); } );
   make( PreviewStoreAll_Action, "PreviewStoreAll_Action", "Store All Previews", {}, none, {},
         [this] { PreviewStoreAll_ActionExecute(); } );
   make( PreviewRestore_Action, "PreviewRestore_Action", "Restore Preview", {}, QKeySequence( "Ctrl+Alt+R" ), "Rs",
         [this] { PreviewRestore_ActionExecute(); } );
   make( PreviewRestoreAll_Action, "PreviewRestoreAll_Action", "Restore All Previews", {}, none, {},
         [this] { PreviewRestoreAll_ActionExecute(); } );
   make( PreviewReset_Action, "PreviewReset_Action", "Reset Preview", {}, QKeySequence( "Ctrl+R" ), "Rt",
         [this] { PreviewReset_ActionExecute(); } );
   make( PreviewResetAll_Action, "PreviewResetAll_Action", "Reset All Previews", {}, none, {},
         [this] { PreviewResetAll_ActionExecute(); } );
   make( PreviewDelete_Action, "PreviewDelete_Action", "Delete Preview", {}, none, "P\u00D7",
         [this] { PreviewDelete_ActionExecute(); } );
   make( PreviewDeleteAll_Action, "PreviewDeleteAll_Action", "Delete All Previews", {}, none, {},
         [this] { PreviewDeleteAll_ActionExecute(); } );

   // Colour spaces and the view tools
   make( ImageViewStatistics_Action, "ImageViewStatistics_Action", "Statistics", "View Statistics", none, "\u03A3",
         [this] { ImageViewStatistics_ActionExecute(); } );
   make( ImageViewInformation_Action, "ImageViewInformation_Action", "Information", {}, none, "i",
         [this] { ImageViewInformation_ActionExecute(); } );
   make( ImageViewHistogram_Action, "ImageViewHistogram_Action", "Histogram", "View Histogram", none, "Hg",
         [this] { ImageViewHistogram_ActionExecute(); } );
   make( ColorSpaceRGBSpaceParameters_Action, "ColorSpaceRGBSpaceParameters_Action", "RGB Working Space Parameters",
         {}, none, "WS", [this] { ColorSpaceRGBSpaceParameters_ActionExecute(); } );
   make( ColorSpaceResetToGlobalRGBSpace_Action, "ColorSpaceResetToGlobalRGBSpace_Action",
         "Reset to Global RGB Working Space", "Reset to Global RGBWS", none, {},
         [this] { ColorSpaceResetToGlobalRGBSpace_ActionExecute(); } );
   make( ColorSpaceConvertToGrayscale_Action, "ColorSpaceConvertToGrayscale_Action", "Convert to Grayscale", {}, none,
         "Gy", [this] { LaunchOnMainView( ConvertToGrayscale() ); } );
   make( ColorSpaceConvertToRGBColor_Action, "ColorSpaceConvertToRGBColor_Action", "Convert to RGB Color", {}, none,
         "RGB", [this] { LaunchOnMainView( ConvertToRGBColor() ); } );

   // The show family: no image window needed.
   make( ProcessRGBSpaceParameters_Action, "ProcessRGBSpaceParameters_Action", "RGB Working Space Parameters", {},
         none, "WS", [] { ShowForm( &RGBSpaceParametersWindow() ); } );
   make( ProcessExtractChannels_Action, "ProcessExtractChannels_Action", "Extract Channels", {}, none, "Ex",
         [] { ShowForm( &ExtractChannelsWindow() ); } );
   make( ProcessImportChannels_Action, "ProcessImportChannels_Action", "Import Channels", {}, none, "Im",
         [] { ShowForm( &ImportChannelsWindow() ); } );
   make( ProcessMedianFilter_Action, "ProcessMedianFilter_Action", "Median Filter", {}, none, "Md",
         [] { ShowForm( &MedianFilterWindow() ); } );
   make( ProcessMinMaxFilter_Action, "ProcessMinMaxFilter_Action", "Minimum/Maximum Filters", {}, none, "Mx",
         [] { ShowForm( &MinMaxFiltersWindow() ); } );
   make( ProcessSCNR_Action, "ProcessSCNR_Action", "SCNR", {}, none, "Sc", [] { ShowForm( &SCNRWindow() ); } );
   make( ProcessHistograms_Action, "ProcessHistograms_Action", "Histograms", {}, none, "Hg",
         [this] { ShowViewTool( *this, HistogramWindow(), HistogramWindow().CurrentView() ); } );
   make( ProcessSGBNR_Action, "ProcessSGBNR_Action", "SGBNR", {}, none, "Sg", [] { ShowForm( &SGBNRWindow() ); } );
   make( ProcessPixelMath_Action, "ProcessPixelMath_Action", "Pixel Math", {}, none, "PM",
         [] { ShowForm( &PixelMathWindow() ); } );
   // The view tools opened from the tool bars look at the active image, as they do from the Image menu.
   make( ToolsStatistics_Action, "ToolsStatistics_Action", "Statistics", {}, none, "\u03A3",
         [this] { ShowViewTool( *this, StatisticsWindow(), StatisticsWindow().currentView ); } );
   make( ToolsRealTimePreview_Action, "ToolsRealTimePreview_Action", "Real Time Preview", {}, none, "RT",
         [] { ShowForm( &RealTimePreviewWindow() ); } );
   make( ProcessCurves_Action, "ProcessCurves_Action", "Curves", {}, none, "Cv", [] { ShowForm( &CurvesWindow() ); } );
   make( ImageViewProcessingHistory_Action, "ImageViewProcessingHistory_Action", "Processing History",
         "View Processing History", none, "H", [this] { ImageViewProcessingHistory_ActionExecute(); } );
   make( ImageViewProcessingReport_Action, "ImageViewProcessingReport_Action", "Processing Report",
         "View Processing Report", none, "R", [this] { ImageViewProcessingReport_ActionExecute(); } );
   make( ProcessProcessContainer_Action, "ProcessProcessContainer_Action", "Process Container", {}, none, "PC",
         [] { ShowForm( &ProcessContainerWindow() ); } );
   make( ToolsProcessingHistory_Action, "ToolsProcessingHistory_Action", "Processing History", {}, none, "H",
         [this] { ShowViewTool( *this, ProcessingHistoryWindow(), ProcessingHistoryWindow().CurrentView() ); } );
   make( ProcessNewImage_Action, "ProcessNewImage_Action", "New Image", {}, none, "New",
         [] { ShowForm( &NewImageWindow() ); } );
   make( ProcessImageIdentifier_Action, "ProcessImageIdentifier_Action", "Image Identifier", {}, none, "Id",
         [] { ShowForm( &ImageIdentifierWindow() ); } );
   make( ToolsImageInformation_Action, "ToolsImageInformation_Action", "Image Information", {}, none, "i",
         [this] { ShowViewTool( *this, ImageInformationWindow(), ImageInformationWindow().CurrentView() ); } );
   make( ProcessPreferences_Action, "ProcessPreferences_Action", "Preferences", {}, none, "Pf",
         [] { ShowForm( &PreferencesWindow() ); } );
   make( ProcessReadoutOptions_Action, "ProcessReadoutOptions_Action", "Readout Options", {}, none, "RO",
         [] { ShowForm( &ReadoutOptionsWindow() ); } );
   make( ProcessFITSKeywords_Action, "ProcessFITSKeywords_Action", "FITS Keywords", {}, none, "FK",
         [] { ShowForm( &FITSHeaderWindow() ); } );
   make( ProcessIPTCPhotoInfo_Action, "ProcessIPTCPhotoInfo_Action", "IPTC Photo Info", {}, none, "IP",
         [] { ShowForm( &IPTCPhotoInfoWindow() ); } );

   // Process
   make( ProcessATrousWavelets_Action, "ProcessATrousWavelets_Action", QString::fromUtf8( "À Trous Wavelet Transform" ),
         "Wavelets", none, "W", [this] { ProcessATrousWavelets_ActionExecute(); } );

   // Tools
   make( ToolsMemoryWatch_Action, "ToolsMemoryWatch_Action", "Memory Watch", {}, none, "MB",
         [this] { ToolsMemoryWatch_ActionExecute(); } );
   make( ToolsAdjustMonitorBrightness_Action, "ToolsAdjustMonitorBrightness_Action", "Adjust Monitor Brightness", {},
         none, "\u263C", [this] { ToolsAdjustMonitorBrightness_ActionExecute(); } );

   // Window
   make( WindowCascade_Action, "WindowCascade_Action", "Cascade", {}, none, {}, [this] { WindowCascade_ActionExecute(); } );
   make( WindowTileHorizontal_Action, "WindowTileHorizontal_Action", "Tile Horizontal", {}, none, {},
         [this] { WindowTileHorizontal_ActionExecute(); } );
   make( WindowTileVertical_Action, "WindowTileVertical_Action", "Tile Vertical", {}, none, {},
         [this] { WindowTileVertical_ActionExecute(); } );
   make( WindowArrangeIcons_Action, "WindowArrangeIcons_Action", "Arrange Icons", {}, none, {},
         [this] { WindowArrangeIcons_ActionExecute(); } );
   make( WindowZoomIn_Action, "WindowZoomIn_Action", "Zoom In", {}, QKeySequence( "Ctrl+Up" ), "+",
         [this] { WindowZoomIn_ActionExecute(); } );
   make( WindowZoomOut_Action, "WindowZoomOut_Action", "Zoom Out", {}, QKeySequence( "Ctrl+Down" ), "\u2212",
         [this] { WindowZoomOut_ActionExecute(); } );
   struct Zoom
   {
      QAction*& member;
      const char* name;
      const char* caption;
      const char* shortcut;
      int32_t zoom;
   };
   for ( const Zoom& z : { Zoom{ WindowZoom11_Action, "WindowZoom11_Action", "1:1", "Ctrl+1", 1 },
                           Zoom{ WindowZoom12_Action, "WindowZoom12_Action", "1:2", "Ctrl+Shift+2", -2 },
                           Zoom{ WindowZoom13_Action, "WindowZoom13_Action", "1:3", "Ctrl+Shift+3", -3 },
                           Zoom{ WindowZoom14_Action, "WindowZoom14_Action", "1:4", "Ctrl+Shift+4", -4 },
                           Zoom{ WindowZoom16_Action, "WindowZoom16_Action", "1:6", "Ctrl+Shift+6", -6 },
                           Zoom{ WindowZoom18_Action, "WindowZoom18_Action", "1:8", "Ctrl+Shift+8", -8 },
                           Zoom{ WindowZoom21_Action, "WindowZoom21_Action", "2:1", "Ctrl+2", 2 },
                           Zoom{ WindowZoom31_Action, "WindowZoom31_Action", "3:1", "Ctrl+3", 3 },
                           Zoom{ WindowZoom41_Action, "WindowZoom41_Action", "4:1", "Ctrl+4", 4 },
                           Zoom{ WindowZoom61_Action, "WindowZoom61_Action", "6:1", "Ctrl+6", 6 },
                           Zoom{ WindowZoom81_Action, "WindowZoom81_Action", "8:1", "Ctrl+8", 8 } } )
   {
      const int32_t value = z.zoom;
      make( z.member, z.name, QString( "Zoom " ) + z.caption, {}, QKeySequence( z.shortcut ), z.caption,
            [this, value] { WindowZoom_ActionExecute( value ); } );
   }
   make( WindowZoomToFit_Action, "WindowZoomToFit_Action", "Zoom to Fit", {}, QKeySequence( "Ctrl+0" ), "Fit",
         [this] { WindowZoomToFit_ActionExecute(); } );
   make( WindowFitWindow_Action, "WindowFitWindow_Action", "Fit Window", {}, QKeySequence( "Ctrl+W" ), "\u25A3",
         [this] { WindowFitWindow_ActionExecute(); } );
   // Inside the Processing Windows submenu the short captions say enough; the hints keep the whole names.
   make( WindowStayOnTopProcessingWindows_Action, "WindowStayOnTopProcessingWindows_Action", "Stay On Top",
         "Stay On Top Processing Windows", none, {}, [this] { WindowStayOnTopProcessingWindows_ActionExecute(); } );
   WindowStayOnTopProcessingWindows_Action->setCheckable( true );
   make( WindowHideAllProcessingWindows_Action, "WindowHideAllProcessingWindows_Action", "Hide All",
         "Hide All Processing Windows", QKeySequence( "Ctrl+H" ), {},
         [this] { WindowHideAllProcessingWindows_ActionExecute(); } );
   make( WindowMinimizeAllProcessingWindows_Action, "WindowMinimizeAllProcessingWindows_Action", "Minimize All",
         "Minimize All Processing Windows", none, {}, [this] { WindowMinimizeAllProcessingWindows_ActionExecute(); } );
   struct ToolBarToggle
   {
      QAction*& member;
      const char* name;
      const char* caption;
      QToolBar* toolBar;
   };
   for ( const ToolBarToggle& t :
         { ToolBarToggle{ WindowToolBarFile_Action, "WindowToolBarFile_Action", "File", File_ToolBar },
           ToolBarToggle{ WindowToolBarEdit_Action, "WindowToolBarEdit_Action", "Edit", Edit_ToolBar },
           ToolBarToggle{ WindowToolBarFastRotate_Action, "WindowToolBarFastRotate_Action", "Fast Rotate",
                          FastRotate_ToolBar },
           ToolBarToggle{ WindowToolBarImageView_Action, "WindowToolBarImageView_Action", "Image View",
                          ImageView_ToolBar },
           ToolBarToggle{ WindowToolBarZoom_Action, "WindowToolBarZoom_Action", "Zoom", Zoom_ToolBar },
           ToolBarToggle{ WindowToolBarPreview_Action, "WindowToolBarPreview_Action", "Preview", Preview_ToolBar },
           ToolBarToggle{ WindowToolBarMask_Action, "WindowToolBarMask_Action", "Mask", Mask_ToolBar },
           ToolBarToggle{ WindowToolBarGeometry_Action, "WindowToolBarGeometry_Action", "Geometry", Geometry_ToolBar },
           ToolBarToggle{ WindowToolBarColorSpaces_Action, "WindowToolBarColorSpaces_Action", "Color Spaces",
                          ColorSpaces_ToolBar },
           ToolBarToggle{ WindowToolBarTransferCurves_Action, "WindowToolBarTransferCurves_Action", "Transfer Curves",
                          TransferCurves_ToolBar },
           ToolBarToggle{ WindowToolBarAdvancedProcessing_Action, "WindowToolBarAdvancedProcessing_Action",
                          "Advanced Processing", AdvancedProcessing_ToolBar },
           ToolBarToggle{ WindowToolBarProcessIcons_Action, "WindowToolBarProcessIcons_Action",
                          "Process Icon Management", ProcessIcons_ToolBar },
           ToolBarToggle{ WindowToolBarTools_Action, "WindowToolBarTools_Action", "Tools", Tools_ToolBar },
           ToolBarToggle{ WindowToolBarReadout_Action, "WindowToolBarReadout_Action", "Readout", Readout_ToolBar },
           ToolBarToggle{ WindowToolBarInformation_Action, "WindowToolBarInformation_Action", "Information",
                          Info_ToolBar },
           ToolBarToggle{ WindowToolBarColorSamples_Action, "WindowToolBarColorSamples_Action", "Color Samples",
                          ColorSamples_ToolBar } } )
   {
      QToolBar* toolBar = t.toolBar;
      make( t.member, t.name, t.caption, {}, none, {}, [this, toolBar] { WindowToolBar_ActionExecute( toolBar ); } );
      t.member->setCheckable( true );
   }
   make( WindowShowControlBars_Action, "WindowShowControlBars_Action", "Show Control Bars", {}, QKeySequence( "Ctrl+B" ),
         {}, [this] { WindowShowControlBars_ActionExecute(); } );

   // Help
   make( HelpIndex_Action, "HelpIndex_Action", "Help Index", {}, QKeySequence( "F1" ), {},
         [this] { HelpIndex_ActionExecute(); } );
   make( HelpOnlineHelp_Action, "HelpOnlineHelp_Action", "Online Help", {}, QKeySequence( "Shift+F1" ), {},
         [this] { HelpOnlineHelp_ActionExecute(); } );
   make( HelpLumenforgeHomePage_Action, "HelpLumenforgeHomePage_Action", "Lumenforge Home Page", {}, none, {},
         [this] { HelpLumenforgeHomePage_ActionExecute(); } );
   make( HelpCorvantaHomePage_Action, "HelpCorvantaHomePage_Action", "Corvanta Home Page", {}, none, {},
         [this] { HelpCorvantaHomePage_ActionExecute(); } );
   make( HelpAbout_Action, "HelpAbout_Action", "About Lumenforge...", "About Lumenforge", none, {},
         [this] { HelpAbout_ActionExecute(); } );
   HelpAbout_Action->setMenuRole( QAction::AboutRole );
   FileExit_Action->setMenuRole( QAction::QuitRole );

   // Mouse modes: grouped check buttons, one pressed at a time.
   struct Mode
   {
      QAction*& member;
      const char* name;
      const char* caption;
      const char* shortcut;
      const char* glyph;
   };
   auto* modes = new QActionGroup( this );
   modes->setExclusive( true );
   uint8_t mode = 0;
   for ( const Mode& m : { Mode{ ReadoutMode_Action, "ReadoutMode_Action", "Readout", "Alt+R", "\u271A" },
                           Mode{ ZoomInMode_Action, "ZoomInMode_Action", "Zoom In", "Alt+Z", "Z+" },
                           Mode{ ZoomOutMode_Action, "ZoomOutMode_Action", "Zoom Out", "Alt+Shift+Z", "Z\u2212" },
                           Mode{ PanMode_Action, "PanMode_Action", "Pan", "Alt+P", "\u2725" },
                           Mode{ CenterMode_Action, "CenterMode_Action", "Center", "Alt+C", "\u25CE" },
                           Mode{ DynamicCropMode_Action, "DynamicCropMode_Action", "Dynamic Crop/Rotate", "Alt+D", "DC" },
                           Mode{ DynamicBackgroundExtractionMode_Action, "DynamicBackgroundExtractionMode_Action",
                                 "Dynamic Background Extraction", "Alt+B", "DBE" },
                           Mode{ NewPreviewMode_Action, "NewPreviewMode_Action", "New Preview", "Alt+N", "NP" },
                           Mode{ EditPreviewMode_Action, "EditPreviewMode_Action", "Edit Preview", "Alt+E", "EP" } } )
   {
      const uint8_t value = mode++;
      make( m.member, m.name, m.caption, QString( m.caption ) + " Mode", QKeySequence( m.shortcut ), m.glyph,
            [this, value] { ImageWindowMode_ActionExecute( value ); } );
      m.member->setCheckable( true );
      modes->addAction( m.member );
   }

   connect( SelectChannel_ComboBox, &QComboBox::activated, this, [this] { SelectChannel_ComboBoxClick(); } );
   SelectChannel_ComboBox->setToolTip( "Channel Selector" );

   // ---- Menus ----
   Image_Menu->addAction( ImageDuplicate_Action );
   Image_Menu->addAction( ImageSetIdentifier_Action );
   Image_Menu->addSeparator();
   Image_Menu->addAction( ImageEnableColorManagement_Action );
   Image_Menu->addAction( ImageAssignICCProfile_Action );
   Image_Menu->addAction( ImageTransformToDefaultICCProfile_Action );
   Process_Menu->addMenu( "Color Management" )->addAction( ProcessAssignICCProfile_Action );

   QMenu* colorSpaces = Image_Menu->addMenu( "&Color Spaces" );
   colorSpaces->addAction( ColorSpaceRGBSpaceParameters_Action );
   colorSpaces->addAction( ColorSpaceResetToGlobalRGBSpace_Action );
   colorSpaces->addSeparator();
   colorSpaces->addAction( ColorSpaceConvertToGrayscale_Action );
   colorSpaces->addAction( ColorSpaceConvertToRGBColor_Action );
   QMenu* imageView = Image_Menu->addMenu( "&View" );
   imageView->addAction( ImageViewHistogram_Action );
   imageView->addAction( ImageViewStatistics_Action );
   imageView->addAction( ImageViewInformation_Action );
   imageView->addAction( ImageViewProcessingHistory_Action );
   imageView->addAction( ImageViewProcessingReport_Action );
   Process_Menu->addAction( ProcessProcessContainer_Action );
   Process_Menu->addAction( ProcessNewImage_Action );
   Process_Menu->addAction( ProcessImageIdentifier_Action );
   Tools_Menu->addAction( ToolsImageInformation_Action );
   Tools_Menu->addAction( ToolsProcessingHistory_Action );

   QMenu* colorSpaceProcesses = Process_Menu->addMenu( "&Color Spaces" );
   colorSpaceProcesses->addAction( ProcessRGBSpaceParameters_Action );
   colorSpaceProcesses->addAction( ProcessExtractChannels_Action );
   colorSpaceProcesses->addAction( ProcessImportChannels_Action );
   QMenu* transferCurves = Process_Menu->addMenu( "&Transfer Curves" );
   transferCurves->setObjectName( "ProcessTransferCurves_MenuItem" );
   transferCurves->addAction( ProcessHistograms_Action );
   transferCurves->addAction( ProcessCurves_Action );
   QMenu* filters = Process_Menu->addMenu( "&Filters" );
   filters->addAction( ProcessATrousWavelets_Action );
   filters->addSeparator();
   filters->addAction( ProcessMedianFilter_Action );
   filters->addAction( ProcessMinMaxFilter_Action );
   filters->addAction( ProcessSCNR_Action );
   filters->addAction( ProcessSGBNR_Action );
   Process_Menu->addAction( ProcessPixelMath_Action );
   QMenu* global = Process_Menu->addMenu( "G&lobal" );
   global->setObjectName( "ProcessGlobal_MenuItem" );
   global->addAction( ProcessPreferences_Action );
   global->addAction( ProcessReadoutOptions_Action );
   QMenu* formats = Process_Menu->addMenu( "File F&ormats" );
   formats->setObjectName( "ProcessFileFormats_MenuItem" );
   formats->addAction( ProcessFITSKeywords_Action );
   formats->addAction( ProcessIPTCPhotoInfo_Action );
   Tools_Menu->addAction( ToolsStatistics_Action );
   Tools_Menu->addAction( ToolsRealTimePreview_Action );

   Mask_Menu->addAction( MaskSelectMask_Action );
   Mask_Menu->addAction( MaskRemoveMask_Action );
   Mask_Menu->addSeparator();
   Mask_Menu->addAction( MaskEnableMask_Action );
   Mask_Menu->addAction( MaskShowMask_Action );

   Preview_Menu->addAction( PreviewNew_Action );
   Preview_Menu->addAction( PreviewProperties_Action );
   Preview_Menu->addAction( PreviewClone_Action );
   Preview_Menu->addAction( PreviewMakeImage_Action );
   Preview_Menu->addSeparator();
   Preview_Menu->addAction( PreviewNext_Action );
   Preview_Menu->addAction( PreviewPrev_Action );
   Preview_Menu->addSeparator();
   Preview_Menu->addAction( PreviewUndo_Action );
   Preview_Menu->addSeparator();
   Preview_Menu->addAction( PreviewStore_Action );
   Preview_Menu->addAction( PreviewStoreAll_Action );
   Preview_Menu->addAction( PreviewRestore_Action );
   Preview_Menu->addAction( PreviewRestoreAll_Action );
   Preview_Menu->addAction( PreviewReset_Action );
   Preview_Menu->addAction( PreviewResetAll_Action );
   Preview_Menu->addSeparator();
   Preview_Menu->addAction( PreviewDelete_Action );
   Preview_Menu->addAction( PreviewDeleteAll_Action );

   Tools_Menu->addAction( ToolsMemoryWatch_Action );
   Tools_Menu->addAction( ToolsAdjustMonitorBrightness_Action );

   Window_Menu->addAction( WindowCascade_Action );
   Window_Menu->addAction( WindowTileHorizontal_Action );
   Window_Menu->addAction( WindowTileVertical_Action );
   Window_Menu->addAction( WindowArrangeIcons_Action );
   Window_Menu->addSeparator();
   QMenu* zoom = Window_Menu->addMenu( "&Zoom" );
   zoom->setObjectName( "WindowZoom_MenuItem" );
   zoom->addAction( WindowZoomIn_Action );
   zoom->addAction( WindowZoomOut_Action );
   zoom->addSeparator();
   for ( QAction* a : { WindowZoom11_Action, WindowZoom12_Action, WindowZoom13_Action, WindowZoom14_Action,
                        WindowZoom16_Action, WindowZoom18_Action } )
      zoom->addAction( a );
   zoom->addSeparator();
   for ( QAction* a : { WindowZoom21_Action, WindowZoom31_Action, WindowZoom41_Action, WindowZoom61_Action,
                        WindowZoom81_Action } )
      zoom->addAction( a );
   Window_Menu->addAction( WindowZoomToFit_Action );
   Window_Menu->addAction( WindowFitWindow_Action );
   Window_Menu->addSeparator();
   QMenu* processingWindows = Window_Menu->addMenu( "&Processing Windows" );
   processingWindows->setObjectName( "WindowProcessingWindows_MenuItem" );
   processingWindows->addAction( WindowStayOnTopProcessingWindows_Action );
   processingWindows->addAction( WindowHideAllProcessingWindows_Action );
   processingWindows->addAction( WindowMinimizeAllProcessingWindows_Action );
   WindowToolBars_MenuItem = Window_Menu->addMenu( "&Tool Bars" );
   WindowToolBars_MenuItem->setObjectName( "WindowToolBars_MenuItem" );
   for ( const auto& [toolBar, action] : ToolBarActions() )
      WindowToolBars_MenuItem->addAction( action );
   Window_Menu->addAction( WindowShowControlBars_Action );
   Window_Menu->addSeparator();
   // Below: the open image windows, each activating its window.
   connect( Window_Menu, &QMenu::aboutToShow, this,
            [this]
            {
               for ( QAction* item : Window_Menu->actions() )
                  if ( item->property( "lf_documentChild" ).isValid() )
                     delete item;
               int n = 1;
               for ( QMdiSubWindow* child : desktop->subWindowList( QMdiArea::CreationOrder ) )
               {
                  QAction* item = Window_Menu->addAction( QString( "&%1 %2" ).arg( n++ ).arg( child->windowTitle() ) );
                  item->setProperty( "lf_documentChild", true );
                  item->setCheckable( true );
                  item->setChecked( child == desktop->currentSubWindow() );
                  connect( item, &QAction::triggered, desktop,
                           [this, child] { desktop->setActiveSubWindow( child ); } );
               }
            } );

   Help_Menu->addAction( HelpIndex_Action );
   Help_Menu->addAction( HelpOnlineHelp_Action );
   Help_Menu->addSeparator();
   Help_Menu->addAction( HelpLumenforgeHomePage_Action );
   Help_Menu->addAction( HelpCorvantaHomePage_Action );
   Help_Menu->addSeparator();
   Help_Menu->addAction( HelpAbout_Action );

   BuildGeometryActions();

   NewProcess_MenuItem = Desktop_PopupMenu->addMenu( "New Process" );
   NewProcess_MenuItem->setObjectName( "NewProcess_MenuItem" );
}

void TMainWindow::FillToolBars()
{
   File_ToolBar->addAction( FileNew_Action );
   File_ToolBar->addSeparator();
   File_ToolBar->addAction( FileOpen_Action );
   File_ToolBar->addAction( FileOpenACopy_Action );
   File_ToolBar->addSeparator();
   File_ToolBar->addAction( FileSave_Action );
   File_ToolBar->addAction( FileSaveAs_Action );
   File_ToolBar->addSeparator();
   File_ToolBar->addAction( FileClose_Action );

   Edit_ToolBar->addAction( EditUndo_Action );
   SetToolButtonName( Edit_ToolBar, EditUndo_Action, "EditUndo_ToolButton" );
   Edit_ToolBar->addSeparator();
   Edit_ToolBar->addAction( EditPreferences_Action );
   Edit_ToolBar->addAction( EditReadoutOptions_Action );

   ImageView_ToolBar->addSeparator();
   const char* buttons[] = { "ReadoutMode_ToolButton",     "ZoomInMode_ToolButton",
                             "ZoomOutMode_ToolButton",     "PanMode_ToolButton",
                             "CenterMode_ToolButton",      "DynamicCropMode_ToolButton",
                             "DynamicBackgroundExtractionMode_ToolButton", "NewPreviewMode_ToolButton",
                             "EditPreviewMode_ToolButton" };
   const std::array<QAction*, 9> modes = ModeActions();
   for ( size_t i = 0; i < modes.size(); ++i )
   {
      ImageView_ToolBar->addAction( modes[i] );
      SetToolButtonName( ImageView_ToolBar, modes[i], buttons[i] );
   }

   Zoom_ToolBar->addAction( WindowZoomToFit_Action );
   Zoom_ToolBar->addAction( WindowFitWindow_Action );
   Zoom_ToolBar->addSeparator();
   Zoom_ToolBar->addAction( WindowZoom11_Action );
   Zoom_ToolBar->addAction( WindowZoom21_Action );
   Zoom_ToolBar->addAction( WindowZoom12_Action );
   Zoom_ToolBar->addSeparator();
   Zoom_ToolBar->addAction( WindowZoomIn_Action );
   Zoom_ToolBar->addAction( WindowZoomOut_Action );

   Preview_ToolBar->addAction( PreviewUndo_Action );
   SetToolButtonName( Preview_ToolBar, PreviewUndo_Action, "PreviewUndo_ToolButton" );
   Preview_ToolBar->addSeparator();
   Preview_ToolBar->addAction( PreviewNew_Action );
   Preview_ToolBar->addAction( PreviewProperties_Action );
   Preview_ToolBar->addAction( PreviewMakeImage_Action );
   Preview_ToolBar->addSeparator();
   Preview_ToolBar->addAction( PreviewStore_Action );
   Preview_ToolBar->addAction( PreviewRestore_Action );
   Preview_ToolBar->addAction( PreviewReset_Action );
   Preview_ToolBar->addSeparator();
   Preview_ToolBar->addAction( PreviewDelete_Action );

   Mask_ToolBar->addAction( MaskSelectMask_Action );
   Mask_ToolBar->addSeparator();
   Mask_ToolBar->addAction( MaskEnableMask_Action );
   Mask_ToolBar->addAction( MaskShowMask_Action );

   ColorSpaces_ToolBar->addAction( ProcessRGBSpaceParameters_Action );
   ColorSpaces_ToolBar->addAction( ProcessExtractChannels_Action );
   ColorSpaces_ToolBar->addAction( ProcessImportChannels_Action );

   TransferCurves_ToolBar->addAction( ProcessHistograms_Action );
   TransferCurves_ToolBar->addAction( ProcessCurves_Action );

   AdvancedProcessing_ToolBar->addAction( ProcessATrousWavelets_Action );
   AdvancedProcessing_ToolBar->addSeparator();
   AdvancedProcessing_ToolBar->addAction( ProcessMedianFilter_Action );
   AdvancedProcessing_ToolBar->addAction( ProcessMinMaxFilter_Action );
   AdvancedProcessing_ToolBar->addSeparator();
   AdvancedProcessing_ToolBar->addAction( ProcessSCNR_Action );
   AdvancedProcessing_ToolBar->addAction( ProcessSGBNR_Action );
   AdvancedProcessing_ToolBar->addSeparator();
   AdvancedProcessing_ToolBar->addAction( ProcessPixelMath_Action );

   Tools_ToolBar->addAction( ToolsImageInformation_Action );
   Tools_ToolBar->addAction( ToolsProcessingHistory_Action );
   Tools_ToolBar->addAction( ToolsStatistics_Action );
   Tools_ToolBar->addAction( ToolsRealTimePreview_Action );
   Tools_ToolBar->addSeparator();
   Tools_ToolBar->addAction( ToolsMemoryWatch_Action );
   Tools_ToolBar->addAction( ToolsAdjustMonitorBrightness_Action );

   FillGeometryToolBars();

   // The readout panels do not wrap: they keep one row.
   for ( QToolBar* t : findChildren<QToolBar*>() )
      t->setIconSize( QSize( 20, 20 ) );
}

std::array<QAction*, 9> TMainWindow::ModeActions() const
{
   return { ReadoutMode_Action,     ZoomInMode_Action,
            ZoomOutMode_Action,     PanMode_Action,
            CenterMode_Action,      DynamicCropMode_Action,
            DynamicBackgroundExtractionMode_Action, NewPreviewMode_Action,
            EditPreviewMode_Action };
}

std::vector<std::pair<QToolBar*, QAction*>> TMainWindow::ToolBarActions() const
{
   return { { File_ToolBar, WindowToolBarFile_Action },
            { Edit_ToolBar, WindowToolBarEdit_Action },
            { FastRotate_ToolBar, WindowToolBarFastRotate_Action },
            { ImageView_ToolBar, WindowToolBarImageView_Action },
            { Zoom_ToolBar, WindowToolBarZoom_Action },
            { Preview_ToolBar, WindowToolBarPreview_Action },
            { Mask_ToolBar, WindowToolBarMask_Action },
            { Geometry_ToolBar, WindowToolBarGeometry_Action },
            { ColorSpaces_ToolBar, WindowToolBarColorSpaces_Action },
            { TransferCurves_ToolBar, WindowToolBarTransferCurves_Action },
            { AdvancedProcessing_ToolBar, WindowToolBarAdvancedProcessing_Action },
            { ProcessIcons_ToolBar, WindowToolBarProcessIcons_Action },
            { Tools_ToolBar, WindowToolBarTools_Action },
            { Readout_ToolBar, WindowToolBarReadout_Action },
            { Info_ToolBar, WindowToolBarInformation_Action },
            { ColorSamples_ToolBar, WindowToolBarColorSamples_Action } };
}

void TMainWindow::BuildNewProcessMenu()
{
   NewProcess_MenuItem->clear();
   const ProcessRegistry::ByCategoryList& list = TheProcessRegistry().ByCategory();
   for ( size_t k = 0; k < list.Length(); ++k )
   {
      const Process& prototype = list[k]->Prototype();
      const QString category = QString::fromStdString( prototype.Category() );
      QMenu* submenu = nullptr;
      for ( QAction* item : NewProcess_MenuItem->actions() )
         if ( item->menu() != nullptr &&
              item->text().remove( '&' ).compare( QString( category ).remove( '&' ), Qt::CaseInsensitive ) == 0 )
            submenu = item->menu();
      if ( submenu == nullptr )
         submenu = NewProcess_MenuItem->addMenu( QString( category ).replace( "&", "&&" ) );
      QAction* item = submenu->addAction( QString::fromStdString( prototype.Id() ) );
      item->setData( qulonglong( k ) );
      if ( const QAction* action = prototype.Action(); action != nullptr && !action->icon().isNull() )
         item->setIcon( action->icon() );
      connect( item, &QAction::triggered, this,
               [this, k]
               {
                  const ProcessRegistry::ByCategoryList& entries = TheProcessRegistry().ByCategory();
                  if ( k >= entries.Length() || !newProcessIconCreator )
                     return;
                  const QPoint at = desktop->viewport()->mapFromGlobal( Desktop_PopupMenu->pos() );
                  newProcessIconCreator( entries[k]->Prototype(), at );
               } );
   }
}

// ---- Image ----------------------------------------------------------------------------------------------------------

void TMainWindow::ImageDuplicate_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || window->image == nullptr )
      return;
   auto copy = std::make_unique<qor::Image>();
   copy->Assign( *window->image );
   TImageWindow* duplicate = CreateImageWindow( this, copy.release(), std::string() );
   if ( duplicate != nullptr )
   {
      duplicate->Frame()->show();
      desktop->setActiveSubWindow( duplicate->SubWindow() );
      duplicate->Frame()->raise();
   }
}

void TMainWindow::ImageSetIdentifier_ActionExecute()
{
   if ( ActiveImageWindow() == nullptr )
      return;
   TImageIdentifierDialog dialog( nullptr );
   dialog.ShowModal();
}

void TMainWindow::ImageEnableColorManagement_ActionExecute()
{
   if ( !ColorManagementAvailable() )
      return;
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   RestoreWindow( *window );
   if ( window->colorManagementEnabled )
      window->DisableColorManagement();
   else
      window->EnableColorManagement();
}

void TMainWindow::ImageAssignICCProfile_ActionExecute()
{
   if ( !ColorManagementAvailable() )
      return;
   TAssignICCProfileWindow& form = AssignICCProfileWindow();
   TImageWindow* window = ActiveImageWindow();
   if ( window != nullptr )
      form.SelectView( window->mainView );
   ShowForm( &form );
}

void TMainWindow::ImageTransformToDefaultICCProfile_ActionExecute()
{
   if ( !ColorManagementAvailable() )
      return;
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   RestoreWindow( *window );
   const ColorManagementSettingsRecord& s = ColorManagementSettings;
   AssignICCProfile::Parameters p;
   p.profilePath = window->image->IsColor() ? s.DefaultRGBProfilePath : s.DefaultGrayProfilePath;
   p.convert = true;
   p.renderingIntent = int32_t( s.DefaultRenderingIntent );
   AssignICCProfile( p ).LaunchOn( *window->mainView );
}

void TMainWindow::ProcessAssignICCProfile_ActionExecute()
{
   if ( ColorManagementAvailable() )
      ShowForm( &AssignICCProfileWindow() );
}

void TMainWindow::ImageViewStatistics_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   RestoreWindow( *window );
   ShowForm( &StatisticsWindow() );
   StatisticsWindow().SelectView( window->currentView );
}

void TMainWindow::ImageViewHistogram_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   RestoreWindow( *window );
   ShowForm( &HistogramWindow() );
   HistogramWindow().SelectView( window->currentView );
}

void TMainWindow::ImageViewProcessingHistory_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   ShowForm( &ProcessingHistoryWindow() );
   ProcessingHistoryWindow().SelectView( window->currentView );
}

void TMainWindow::ImageViewInformation_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   ShowForm( &ImageInformationWindow() );
   ImageInformationWindow().SelectView( window->currentView );
}

void TMainWindow::ImageViewProcessingReport_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   RestoreWindow( *window );
   platform::DialogRunner::exec( ProcessingReportDialog() );
}

// ---- Colour spaces --------------------------------------------------------------------------------------------------

void TMainWindow::ColorSpaceRGBSpaceParameters_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   RGBSpaceParametersWindow().SelectView( window->mainView );
   ShowForm( &RGBSpaceParametersWindow() );
}

void TMainWindow::ColorSpaceResetToGlobalRGBSpace_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || window->rgbWorkingSpace.SharesDataWith( GlobalRGBWorkingSpace ) )
      return;
   RestoreWindow( *window );
   window->rgbWorkingSpace = GlobalRGBWorkingSpace;
   // Only the luminance display depends on the working space.
   if ( window->displayChannel == 4 )
      window->RedrawImage();
}

void TMainWindow::LaunchOnMainView( Process&& instance )
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || !instance.CanExecuteOn( *window->mainView ) )
      return;
   RestoreWindow( *window );
   // LaunchOn reports every failure itself.
   instance.LaunchOn( *window->mainView );
}

// ---- Mask -----------------------------------------------------------------------------------------------------------

void TMainWindow::MaskSelectMask_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   RestoreWindow( *window );
   TSelectMaskDialog dialog( this, window );
   if ( platform::DialogRunner::exec( dialog ) == QDialog::Accepted )
      window->SetMask( dialog.maskWindow );
}

void TMainWindow::MaskRemoveMask_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || window->maskWindow == nullptr )
      return;
   RestoreWindow( *window );
   window->SetMask( nullptr );
}

void TMainWindow::MaskEnableMask_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || window->maskWindow == nullptr )
      return;
   RestoreWindow( *window );
   if ( window->maskEnabled )
      window->DisableMask();
   else
      window->EnableMask();
}

void TMainWindow::MaskShowMask_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || window->maskWindow == nullptr )
      return;
   RestoreWindow( *window );
   if ( window->maskShown )
      window->HideMask();
   else
      window->ShowMask();
}

// ---- Preview --------------------------------------------------------------------------------------------------------

void TMainWindow::PreviewNew_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   RestoreWindow( *window );
   RunPreviewPropertiesDialog( *window, nullptr );
}

void TMainWindow::PreviewProperties_ActionExecute()
{
   OnTargetPreview( ActiveImageWindow(), []( TImageWindow& w, TImageWindow::Preview& p )
                    { RunPreviewPropertiesDialog( w, &p ); } );
}

void TMainWindow::PreviewUndo_ActionExecute()
{
   OnTargetPreview( ActiveImageWindow(),
                    []( TImageWindow& window, TImageWindow::Preview& preview )
                    {
                       if ( preview.IsRedoPossible() )
                          preview.Redo( true );
                       else if ( preview.IsModified() )
                          preview.Undo( true );
                       else
                          return;
                       if ( window.currentView != &preview )
                          window.SelectView( &preview );
                    } );
}

void TMainWindow::PreviewStore_ActionExecute()
{
   OnTargetPreview( ActiveImageWindow(), []( TImageWindow&, TImageWindow::Preview& p ) { p.Store(); } );
}

void TMainWindow::PreviewStoreAll_ActionExecute()
{
   // Storing changes no pixels: the window is left as it is, even when minimised.
   OnEveryPreview( ActiveImageWindow(), []( TImageWindow::Preview& p ) { p.Store(); } );
}

void TMainWindow::PreviewClone_ActionExecute()
{
   OnTargetPreview( ActiveImageWindow(),
                    []( TImageWindow& window, TImageWindow::Preview& preview )
                    {
                       const qor::Image& image = preview.GetImage();
                       TImageWindow::Preview* clone = window.CreatePreview( std::string(), preview.left, preview.top,
                                                                             image.Width(), image.Height() );
                       if ( clone == nullptr )
                          return;
                       if ( window.currentView != nullptr && window.currentView->IsPreview() )
                          window.SelectView( clone );
                       else
                       {
                          window.selectedPreview = clone;
                          window.RedrawImage();
                       }
                    } );
}

void TMainWindow::PreviewMakeImage_ActionExecute()
{
   OnTargetPreview( ActiveImageWindow(),
                    []( TImageWindow&, TImageWindow::Preview& preview )
                    {
                       TNewImageFromPreviewDialog& dialog = NewImageFromPreviewDialog();
                       dialog.preview = &preview;
                       dialog.ShowModal();
                    } );
}

void TMainWindow::PreviewNext_ActionExecute()
{
   if ( TImageWindow* window = ActiveImageWindow() )
      window->SelectNextView();
}

void TMainWindow::PreviewPrev_ActionExecute()
{
   if ( TImageWindow* window = ActiveImageWindow() )
      window->SelectPreviousView();
}

void TMainWindow::PreviewRestore_ActionExecute()
{
   OnTargetPreview( ActiveImageWindow(), []( TImageWindow&, TImageWindow::Preview& p ) { p.Restore( true ); } );
}

void TMainWindow::PreviewRestoreAll_ActionExecute()
{
   OnEveryPreview( ActiveImageWindow(), []( TImageWindow::Preview& p ) { p.Restore( true ); } );
}

void TMainWindow::PreviewReset_ActionExecute()
{
   OnTargetPreview( ActiveImageWindow(), []( TImageWindow&, TImageWindow::Preview& p ) { ResetPreview( p ); } );
}

void TMainWindow::PreviewResetAll_ActionExecute()
{
   OnEveryPreview( ActiveImageWindow(), ResetPreview );
}

void TMainWindow::PreviewDelete_ActionExecute()
{
   OnTargetPreview( ActiveImageWindow(),
                    []( TImageWindow& w, TImageWindow::Preview& p ) { w.DeletePreview( &p ); } );
}

void TMainWindow::PreviewDeleteAll_ActionExecute()
{
   if ( TImageWindow* window = ActiveImageWindow() )
      window->DeleteAllPreviews();
}

// ---- Process --------------------------------------------------------------------------------------------------------

void TMainWindow::ProcessATrousWavelets_ActionExecute()
{
   ShowForm( &ATrousWaveletsWindow() );
}

// ---- Tools ----------------------------------------------------------------------------------------------------------

void TMainWindow::ToolsMemoryWatch_ActionExecute()
{
   ShowForm( MemoryWatchWindow );
}

void TMainWindow::ToolsAdjustMonitorBrightness_ActionExecute()
{
   ShowForm( AdjustMonitorBrightnessWindow );
}

// ---- Window ---------------------------------------------------------------------------------------------------------

void TMainWindow::WindowCascade_ActionExecute()
{
   // Each window one title-bar height right of and below the previous one, keeping its own size as far as the
   // desktop allows from there (the toolkit's own cascade shrinks every window to its smallest useful size).
   QPoint at( 0, 0 );
   for ( QMdiSubWindow* child : desktop->subWindowList( QMdiArea::CreationOrder ) )
   {
      if ( !child->isVisible() || child->isMinimized() )
         continue;
      if ( child->isMaximized() )
         child->showNormal();
      const QRect place = CascadedRect( child, at );
      child->setGeometry( place );
      child->raise();
      at = place.topLeft() + QPoint( CascadeStep( child ), CascadeStep( child ) );
   }
}

void TMainWindow::WindowTileHorizontal_ActionExecute()
{
   // One window per row, each as wide as the desktop.
   const QList<QMdiSubWindow*> children = desktop->subWindowList( QMdiArea::CreationOrder );
   QList<QMdiSubWindow*> shown;
   for ( QMdiSubWindow* child : children )
      if ( child->isVisible() && !child->isMinimized() )
         shown << child;
   if ( shown.isEmpty() )
      return;
   const QRect area = desktop->viewport()->rect();
   const int h = area.height() / int( shown.size() );
   for ( int i = 0; i < shown.size(); ++i )
   {
      shown[i]->showNormal();
      shown[i]->setGeometry( 0, i * h, area.width(), h );
   }
}

void TMainWindow::WindowTileVertical_ActionExecute()
{
   desktop->tileSubWindows();
}

void TMainWindow::WindowArrangeIcons_ActionExecute()
{
   // Minimised windows line up along the bottom of the desktop.
   const QRect area = desktop->viewport()->rect();
   int x = 0;
   for ( QMdiSubWindow* child : desktop->subWindowList( QMdiArea::CreationOrder ) )
      if ( child->isMinimized() )
      {
         child->move( x, area.height() - child->height() );
         x += child->width();
      }
}

void TMainWindow::WindowZoomIn_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || window->currentView == nullptr )
      return;
   RestoreWindow( *window );
   window->SetZoom( TImageWindow::ZoomStepIn( window->currentView->zoom ) );
}

void TMainWindow::WindowZoomOut_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || window->currentView == nullptr )
      return;
   RestoreWindow( *window );
   window->SetZoom( TImageWindow::ZoomStepOut( window->currentView->zoom ) );
}

void TMainWindow::WindowZoom_ActionExecute( int32_t zoom )
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   RestoreWindow( *window );
   window->SetZoom( zoom );
}

void TMainWindow::WindowZoomToFit_ActionExecute()
{
   if ( TImageWindow* window = ActiveImageWindow() )
      window->ZoomToFit( true );
}

void TMainWindow::WindowFitWindow_ActionExecute()
{
   if ( TImageWindow* window = ActiveImageWindow() )
      window->FitWindow();
}

void TMainWindow::WindowStayOnTopProcessingWindows_ActionExecute()
{
   // Windows made later follow the new state too.
   SetProcessingWindowsStayOnTop( !ProcessingWindowsStayOnTop() );
}

void TMainWindow::WindowHideAllProcessingWindows_ActionExecute()
{
   for ( TProcessingWindow* w : std::vector<TProcessingWindow*>( ProcessingWindows ) )
      w->hide();
}

void TMainWindow::WindowMinimizeAllProcessingWindows_ActionExecute()
{
   for ( TProcessingWindow* w : std::vector<TProcessingWindow*>( ProcessingWindows ) )
      if ( w->isVisible() )
         w->Collapse();
}

void TMainWindow::WindowToolBar_ActionExecute( QToolBar* toolBar )
{
   if ( toolBar->property( "Tag" ).toInt() != 0 )
   {
      toolBar->setVisible( !toolBar->isVisible() );
      return;
   }
   // Never placed: it docks at the top, beside the others when it fits there, else on a row of its own (where it
   // covers neither the menus nor the desktop). From there it can be dragged elsewhere.
   DockToolBar( Qt::TopToolBarArea, Qt::NoToolBarArea, toolBar );
   toolBar->show();
}

void TMainWindow::WindowShowControlBars_ActionExecute()
{
   for ( size_t site = 0; site < ControlBars.size(); ++site )
   {
      const bool show = !controlBarVisible[site];
      for ( QToolBar* t : findChildren<QToolBar*>( Qt::FindDirectChildrenOnly ) )
         if ( !t->isFloating() && toolBarArea( t ) == ControlBars[site] && t->property( "Tag" ).toInt() != 0 )
            t->setVisible( show );
      controlBarVisible[site] = show;
   }
}

// ---- Help -----------------------------------------------------------------------------------------------------------

QString TMainWindow::LocalHelpIndexPath()
{
   return QDir( QCoreApplication::applicationDirPath() ).filePath( "help/index.html" );
}

void TMainWindow::HelpIndex_ActionExecute()
{
   const QString path = LocalHelpIndexPath();
   if ( QFileInfo::exists( path ) )
      OpenInWebBrowser( path.toStdString(), true );
   else
      HelpOnlineHelp_ActionExecute();
}

void TMainWindow::HelpOnlineHelp_ActionExecute()
{
   OpenInWebBrowser( OnlineHelpAddress, false );
}

void TMainWindow::HelpLumenforgeHomePage_ActionExecute()
{
   OpenInWebBrowser( LumenforgeHomePageAddress, false );
}

void TMainWindow::HelpCorvantaHomePage_ActionExecute()
{
   OpenInWebBrowser( CorvantaHomePageAddress, false );
}

void TMainWindow::HelpAbout_ActionExecute()
{
   TAboutDialog dialog( this );
   platform::DialogRunner::exec( dialog );
}

// ---- Image view -----------------------------------------------------------------------------------------------------

void TMainWindow::ImageWindowMode_ActionExecute( uint8_t mode )
{
   // The modes of the dynamic sessions and of preview editing work on a main view only.
   if ( mode >= 5 )
   {
      TImageWindow* window = ActiveImageWindow();
      if ( window == nullptr || window->currentView == nullptr || !window->currentView->IsMainView() )
         return;
   }
   SetImageWindowMode( mode );
}

void TMainWindow::SelectChannel_ComboBoxClick()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || UpdatingControls() )
      return;
   window->SetDisplayChannel( SelectChannel_ComboBox->currentIndex() );
   window->viewport()->setFocus();
}
