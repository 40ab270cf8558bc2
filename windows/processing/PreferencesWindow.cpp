#include "windows/processing/PreferencesWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QStorageInfo>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>

#include "classlib/Exception.h"
#include "platform/ColorPicker.h"
#include "platform/FileDialogs.h"
#include "support/Utils.h"
#include "windows/image/Bitmaps.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace
{

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

template <class Control>
Control* Named( Control* control, const char* name )
{
   control->setObjectName( name );
   return control;
}

QCheckBox* MakeCheckBox( QWidget* parent, const char* name, const char* caption )
{
   return Named( new QCheckBox( caption, parent ), name );
}

QLineEdit* MakeEdit( QWidget* parent, const char* name )
{
   return Named( new QLineEdit( parent ), name );
}

QPushButton* MakeButton( QWidget* parent, const char* name, const char* caption )
{
   return Named( new QPushButton( caption, parent ), name );
}

// A page of the window: a vertical stack of groups, each a caption strip, a form and its Reset button.
class PageBuilder
{
public:
   explicit PageBuilder( QTabWidget* tabs, const char* caption ) : page( new QWidget( tabs ) )
   {
      layout = new QVBoxLayout( page );
      tabs->addTab( page, caption );
   }
   QFormLayout* Group( const char* panel, const char* caption, const char* resetName, std::function<void()> reset )
   {
      if ( caption != nullptr )
         layout->addWidget( MakeCaptionPanel( page, panel, caption ) );
      auto* form = new QFormLayout;
      layout->addLayout( form );
      if ( resetName != nullptr )
      {
         QPushButton* button = MakeButton( page, resetName, "Reset" );
         QObject::connect( button, &QPushButton::clicked, page, reset );
         form->addRow( button );
      }
      return form;
   }
   QPushButton* ResetPage( const char* name, std::function<void()> reset )
   {
      layout->addStretch( 1 );
      QPushButton* button = MakeButton( page, name, "Reset Page" );
      QObject::connect( button, &QPushButton::clicked, page, reset );
      layout->addWidget( button, 0, Qt::AlignRight );
      return button;
   }
   QWidget* page;
   QVBoxLayout* layout;
};

const char* const fontGroupNames[3] = { "ProcessIcons", "ViewTabs", "PreviewTitle" };

} // namespace

const TPreferencesWindow::FontFields TPreferencesWindow::fontFields[3] = {
   { &ColorsFontsPreferences::processIconFont, &ColorsFontsPreferences::processIconFontSize,
     &ColorsFontsPreferences::processIconAutoFontSize },
   { &ColorsFontsPreferences::viewTabFont, &ColorsFontsPreferences::viewTabFontSize,
     &ColorsFontsPreferences::viewTabAutoFontSize },
   { &ColorsFontsPreferences::previewTitleFont, &ColorsFontsPreferences::previewTitleFontSize,
     &ColorsFontsPreferences::previewTitleAutoFontSize },
};

TPreferencesWindow::TPreferencesWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "PreferencesWindow" );
   setWindowTitle( "Preferences" );
   auto* layout = new QGridLayout( this );
   Pages_PageControl = Named( new QTabWidget( this ), "Pages_PageControl" );
   layout->addWidget( Pages_PageControl, 0, 0, 1, 2 );
   const GlobalPreferences defaults;

   auto check = [&]( QFormLayout* form, QWidget* parent, const char* name, const char* caption,
                     std::function<bool&( GlobalPreferences& )> field )
   {
      QCheckBox* box = MakeCheckBox( parent, name, caption );
      form->addRow( box );
      boolBindings.push_back( { box, field } );
      connect( box, &QCheckBox::clicked, this, [this, field, box] { field( workingPreferences ) = box->isChecked(); } );
      return box;
   };
   // Resets the listed fields of a record from the defaults, then refreshes the page.
   auto reset = [this]( std::function<void( GlobalPreferences&, const GlobalPreferences& )> assign,
                        void ( TPreferencesWindow::*refresh )() )
   {
      return [this, assign, refresh]
      {
         assign( workingPreferences, GlobalPreferences() );
         ( this->*refresh )();
      };
   };
   using G = GlobalPreferences;
   // Resets these fields of one record from the defaults, then refreshes the page.
   auto resetFields = [reset]<class Record, class... Field>( Record G::*record, void ( TPreferencesWindow::*refresh )(),
                                                             Field Record::*... fields )
   { return reset( [record, fields...]( G& w, const G& d ) { ( ( w.*record.*fields = d.*record.*fields ), ... ); }, refresh ); };
   // Resets a whole record from the defaults, then refreshes the page.
   auto resetRecord = [reset]<class Record>( Record G::*record, void ( TPreferencesWindow::*refresh )() )
   { return reset( [record]( G& w, const G& d ) { w.*record = d.*record; }, refresh ); };

   // ---- Main Window ----
   {
      PageBuilder page( Pages_PageControl, "Main Window" );
      QWidget* p = page.page;
      const auto refresh = &TPreferencesWindow::UpdateMainWindowPage;
      using M = MainWindowPreferences;
      QFormLayout* f = page.Group( "Startup_Panel", "  Startup", "Reset_MainWindow_Startup_Button",
                                   resetFields( &G::mainWindow, refresh, &M::maximizeAtStartup,
                                                &M::showSplashAtStartup ) );
      MaximizeAtStartup_CheckBox = check( f, p, "MaximizeAtStartup_CheckBox", "Maximize at Startup",
                                          []( G& g ) -> bool& { return g.mainWindow.maximizeAtStartup; } );
      ShowSplashAtStartup_CheckBox = check( f, p, "ShowSplashAtStartup_CheckBox", "Show Splash at Startup",
                                            []( G& g ) -> bool& { return g.mainWindow.showSplashAtStartup; } );
      f = page.Group( "General_Panel", "  General", "Reset_MainWindow_General_Button",
                      resetFields( &G::mainWindow, refresh, &M::confirmProgramTermination, &M::acceptDroppedFiles,
                                   &M::doubleClickLaunchesOpenDialog, &M::beepOnProcessingCompletion,
                                   &M::showStrictTIFFWarnings ) );
      AcceptDroppedFiles_CheckBox = check( f, p, "AcceptDroppedFiles_CheckBox", "Accept Dropped Files",
                                           []( G& g ) -> bool& { return g.mainWindow.acceptDroppedFiles; } );
      EnableLaunchOpenDialogByDoubleClick_CheckBox =
         check( f, p, "EnableLaunchOpenDialogByDoubleClick_CheckBox", "Enable Launch Open Dialog by Double-Click",
                []( G& g ) -> bool& { return g.mainWindow.doubleClickLaunchesOpenDialog; } );
      ShowStrictTIFFWarnings_CheckBox = check( f, p, "ShowStrictTIFFWarnings_CheckBox", "Show Strict TIFF Warnings",
                                               []( G& g ) -> bool& { return g.mainWindow.showStrictTIFFWarnings; } );
      ConfirmProgramTermination_CheckBox =
         check( f, p, "ConfirmProgramTermination_CheckBox", "Confirm Program Termination",
                []( G& g ) -> bool& { return g.mainWindow.confirmProgramTermination; } );
      BeepOnProcessingCompletion_CheckBox = MakeCheckBox( p, "BeepOnProcessingCompletion_CheckBox",
                                                          "Beep on Processing Completion" );
      f->addRow( BeepOnProcessingCompletion_CheckBox );
      connect( BeepOnProcessingCompletion_CheckBox, &QCheckBox::toggled, this,
               [this] { BeepOnProcessingCompletion_CheckBoxClick(); } );
      f = page.Group( "ToolBars_Panel", "  Tool Bars", "Reset_MainWindow_ToolBars_Button",
                      resetFields( &G::mainWindow, refresh, &M::enableToolBarAutoDragDock, &M::dataSeparator ) );
      EnableToolBarAutoDragDock_CheckBox =
         check( f, p, "EnableToolBarAutoDragDock_CheckBox", "Enable Tool Bar Auto Drag/Dock",
                []( G& g ) -> bool& { return g.mainWindow.enableToolBarAutoDragDock; } );
      DataSeparator_Edit = MakeEdit( p, "DataSeparator_Edit" );
      DataSeparator_Edit->setMaxLength( 4 );
      SetEditExitHandler( DataSeparator_Edit, [this] { DataSeparator_EditExit(); } );
      f->addRow( "Data Separator:", DataSeparator_Edit );
      page.ResetPage( "Reset_MainWindow_Button", resetRecord( &G::mainWindow, refresh ) );
   }

   // ---- Image Windows ----
   {
      PageBuilder page( Pages_PageControl, "Image Windows" );
      QWidget* p = page.page;
      const auto refresh = &TPreferencesWindow::UpdateImageWindowPage;
      using I = ImageWindowPreferences;
      QFormLayout* f = page.Group( "Resolution_Panel", "  Resolution", "Reset_ImageWindow_Resolution_Button",
                                   resetFields( &G::imageWindow, refresh, &I::defaultResolution,
                                                &I::defaultMetricResolution ) );
      DefaultResolution_Edit = MakeEdit( p, "DefaultResolution_Edit" );
      SetEditExitHandler( DefaultResolution_Edit, [this] { DefaultResolution_EditExit(); } );
      f->addRow( "Default Resolution:", DefaultResolution_Edit );
      DefaultMetricResolution_CheckBox =
         check( f, p, "DefaultMetricResolution_CheckBox", "Default Metric Resolution",
                []( G& g ) -> bool& { return g.imageWindow.defaultMetricResolution; } );
      f = page.Group( "ImageGeneral_Panel", "  General", "Reset_ImageWindow_General_Button",
                      resetFields( &G::imageWindow, refresh, &I::defaultMasksShown, &I::cursorTolerance ) );
      MasksShownByDefault_CheckBox = check( f, p, "MasksShownByDefault_CheckBox", "Masks Shown by Default",
                                            []( G& g ) -> bool& { return g.imageWindow.defaultMasksShown; } );
      CursorTolerance_Edit = MakeEdit( p, "CursorTolerance_Edit" );
      SetEditExitHandler( CursorTolerance_Edit, [this] { CursorTolerance_EditExit(); } );
      f->addRow( "Cursor Tolerance:", CursorTolerance_Edit );
      f = page.Group( "SwapFiles_Panel", "  Swap Files", "Reset_ImageWindow_SwapFiles_Button",
                      resetFields( &G::imageWindow, refresh, &I::useSystemTEMPDirectory, &I::backupFiles,
                                   &I::swapFilesDirectory ) );
      SwapFilesDirectory_Edit = MakeEdit( p, "SwapFilesDirectory_Edit" );
      SwapFilesDirectory_Edit->setReadOnly( true );
      f->addRow( "Swap Files Directory:", SwapFilesDirectory_Edit );
      UseSystemTEMPDirectory_CheckBox = MakeCheckBox( p, "UseSystemTEMPDirectory_CheckBox", "Use System TMP Directory" );
      connect( UseSystemTEMPDirectory_CheckBox, &QCheckBox::clicked, this,
               [this] { UseSystemTEMPDirectory_CheckBoxClick(); } );
      f->addRow( UseSystemTEMPDirectory_CheckBox );
      SwapFilesDirectory_Button = MakeButton( p, "SwapFilesDirectory_Button", "Choose Folder..." );
      connect( SwapFilesDirectory_Button, &QPushButton::clicked, this, [this] { SwapFilesDirectory_ButtonClick(); } );
      SwapFilesDirectory_DriveFree_StaticText = Named( new QLabel( p ), "SwapFilesDirectory_DriveFree_StaticText" );
      f->addRow( SwapFilesDirectory_Button, SwapFilesDirectory_DriveFree_StaticText );
      BackupFiles_CheckBox = check( f, p, "BackupFiles_CheckBox", "Backup Files",
                                    []( G& g ) -> bool& { return g.imageWindow.backupFiles; } );
      f = page.Group( "Captions_Panel", "  Captions", "Reset_ImageWindow_Captions_Button",
                      resetFields( &G::imageWindow, refresh, &I::showCaptionCurrentChannels, &I::showCaptionZoomRatios,
                                   &I::showCaptionIdentifiers, &I::showCaptionFullPaths ) );
      ShowCaptionChannels_CheckBox = check( f, p, "ShowCaptionChannels_CheckBox", "Channel",
                                            []( G& g ) -> bool& { return g.imageWindow.showCaptionCurrentChannels; } );
      ShowCaptionZoomRatios_CheckBox = check( f, p, "ShowCaptionZoomRatios_CheckBox", "Zoom Ratio",
                                              []( G& g ) -> bool& { return g.imageWindow.showCaptionZoomRatios; } );
      ShowCaptionIdentifiers_CheckBox = check( f, p, "ShowCaptionIdentifiers_CheckBox", "Identifier",
                                               []( G& g ) -> bool& { return g.imageWindow.showCaptionIdentifiers; } );
      ShowCaptionFullPaths_CheckBox = check( f, p, "ShowCaptionFullPaths_CheckBox", "Full Path",
                                             []( G& g ) -> bool& { return g.imageWindow.showCaptionFullPaths; } );
      page.ResetPage( "Reset_ImageWindow_Button", resetRecord( &G::imageWindow, refresh ) );
   }

   // ---- Identifiers ----
   {
      PageBuilder page( Pages_PageControl, "Identifiers" );
      QWidget* p = page.page;
      QFormLayout* f = page.Group( nullptr, nullptr, nullptr, {} );
      const std::pair<const char*, std::pair<const char*, std::string IdentifiersPreferences::*>> edits[] = {
         { "ImagePrefix_Edit", { "Image Prefix:", &IdentifiersPreferences::imagePrefix } },
         { "PreviewPrefix_Edit", { "Preview Prefix:", &IdentifiersPreferences::previewPrefix } },
         { "NewImageCaption_Edit", { "New Image Caption:", &IdentifiersPreferences::newImageCaption } },
         { "BackgroundModelPostfix_Edit",
           { "Background Model Postfix:", &IdentifiersPreferences::backgroundModelPostfix } },
         { "ProcessIconPrefix_Edit", { "Process Icon Prefix:", &IdentifiersPreferences::processIconPrefix } },
         { "PixelMathDestinationPostfix_Edit",
           { "Pixel Math Destination Postfix:", &IdentifiersPreferences::pixelMathDestinationPostfix } },
      };
      QLineEdit** members[] = { &ImagePrefix_Edit,       &PreviewPrefix_Edit,          &NewImageCaption_Edit,
                                &BackgroundModelPostfix_Edit, &ProcessIconPrefix_Edit, &PixelMathDestinationPostfix_Edit };
      for ( size_t i = 0; i < std::size( edits ); ++i )
      {
         QLineEdit* edit = *members[i] = MakeEdit( p, edits[i].first );
         f->addRow( edits[i].second.first, edit );
         identifierEdits.emplace_back( edit, edits[i].second.second );
         SetEditExitHandler( edit, [this, edit] { Identifier_EditExit( edit ); } );
      }
      page.ResetPage( "Reset_Identifiers_Button",
                      resetRecord( &G::identifiers, &TPreferencesWindow::UpdateIdentifiersPage ) );
   }

   // ---- Colors/Fonts ----
   {
      auto* colours = new QWidget( Pages_PageControl );
      auto* coloursLayout = new QVBoxLayout( colours );
      ColorsFonts_PageControl = Named( new QTabWidget( colours ), "ColorsFonts_PageControl" );
      coloursLayout->addWidget( ColorsFonts_PageControl );
      QPushButton* resetPage = MakeButton( colours, "Reset_ColorsFonts_Button", "Reset Page" );
      resetPage->setEnabled( false );
      coloursLayout->addWidget( resetPage, 0, Qt::AlignRight );
      Pages_PageControl->addTab( colours, "Colors/Fonts" );
      const auto refresh = &TPreferencesWindow::UpdateColorsFontsPage;
      using C = ColorsFontsPreferences;
      auto colour = [&]( QFormLayout* f, QWidget* p, const char* name, const char* caption, uint32_t C::*field )
      {
         QPushButton* box = MakeButton( p, name, "" );
         box->setMinimumWidth( 80 );
         f->addRow( caption, box );
         colorBindings.push_back( { box, field } );
         connect( box, &QPushButton::clicked, this, [this, box] { ColorBoxSelect( box ); } );
         return box;
      };
      auto sample = [&]( QFormLayout* f, QWidget* p, const char* name, const char* text )
      {
         auto* panel = Named( new QLabel( text, p ), name );
         panel->setAlignment( Qt::AlignCenter );
         panel->setAutoFillBackground( true );
         panel->setFrameStyle( QFrame::Panel | QFrame::Sunken );
         panel->setMinimumSize( 120, 28 );
         f->addRow( panel );
         return panel;
      };
      auto fontGroup = [&]( QFormLayout* f, QWidget* p, int g, const char* caption )
      {
         const std::string prefix = fontGroupNames[g];
         Font_ComboBox[g] = Named( new QComboBox( p ), ( prefix + "Font_ComboBox" ).c_str() );
         FontHeight_Edit[g] = MakeEdit( p, ( prefix + "FontHeight_Edit" ).c_str() );
         AutoFontHeight_CheckBox[g] = MakeCheckBox( p, ( prefix + "AutoFontHeight_CheckBox" ).c_str(), "Auto" );
         f->addRow( caption, Font_ComboBox[g] );
         f->addRow( "Height in pixels:", FontHeight_Edit[g] );
         f->addRow( AutoFontHeight_CheckBox[g] );
         connect( Font_ComboBox[g], &QComboBox::activated, this, [this, g] { Font_ComboBoxSelect( g ); } );
         connect( AutoFontHeight_CheckBox[g], &QCheckBox::clicked, this, [this, g] { AutoFontHeight_CheckBoxClick( g ); } );
         SetEditExitHandler( FontHeight_Edit[g], [this, g] { FontHeight_EditExit( g ); } );
      };

      PageBuilder mainPage( ColorsFonts_PageControl, "Main Window" );
      QWidget* p = mainPage.page;
      QFormLayout* f = mainPage.Group(
         "MainWindowWorkspace_Panel", "  Main Window Workspace", "Reset_ColorsFonts_MainWindowBackground_Button",
         resetFields( &G::colorsFonts, refresh, &C::mainWindowBackgroundBrush, &C::mainWindowForegroundColor,
                      &C::mainWindowBackgroundColor ) );
      MainWindowForegroundColor_ColorBox = colour( f, p, "MainWindowForegroundColor_ColorBox", "Foreground Color:",
                                                   &C::mainWindowForegroundColor );
      MainWindowBackgroundColor_ColorBox = colour( f, p, "MainWindowBackgroundColor_ColorBox", "Background Color:",
                                                   &C::mainWindowBackgroundColor );
      MainWindowUseBackgroundBrush_CheckBox = check( f, p, "MainWindowUseBackgroundBrush_CheckBox", "Use Background Brush",
                                                     []( G& g ) -> bool& { return g.colorsFonts.mainWindowBackgroundBrush; } );
      connect( MainWindowUseBackgroundBrush_CheckBox, &QCheckBox::clicked, this, [this] { PaintBackgroundPreview(); } );
      MainWindowBackgroundPreview_PaintBox = Named( new QLabel( p ), "MainWindowBackgroundPreview_PaintBox" );
      MainWindowBackgroundPreview_PaintBox->setToolTip( "Background Preview" );
      MainWindowBackgroundPreview_PaintBox->setFixedSize( 64, 32 );
      f->addRow( MainWindowBackgroundPreview_PaintBox );
      f = mainPage.Group( "ProcessIcons_Panel", "  Process Icons", "Reset_ColorsFonts_ProcessIcons_Button",
                          resetFields( &G::colorsFonts, refresh, &C::processIconColor, &C::processIconSelectedColor,
                                       &C::processIconTextColor, &C::processIconSelectedTextColor,
                                       &C::processIconFont, &C::processIconFontSize, &C::processIconAutoFontSize ) );
      ProcessIconsNormalColor_ColorBox =
         colour( f, p, "ProcessIconsNormalColor_ColorBox", "Normal Color:", &C::processIconColor );
      ProcessIconsSelectedColor_ColorBox =
         colour( f, p, "ProcessIconsSelectedColor_ColorBox", "Selected Color:", &C::processIconSelectedColor );
      ProcessIconsNormalTextColor_ColorBox =
         colour( f, p, "ProcessIconsNormalTextColor_ColorBox", "Normal Text Color:", &C::processIconTextColor );
      ProcessIconsSelectedTextColor_ColorBox = colour( f, p, "ProcessIconsSelectedTextColor_ColorBox",
                                                       "Selected Text Color:", &C::processIconSelectedTextColor );
      fontGroup( f, p, 0, "Process Icons Font:" );
      NormalIconSample_Panel = sample( f, p, "NormalIconSample_Panel", "Normal Sample" );
      SelectedIconSample_Panel = sample( f, p, "SelectedIconSample_Panel", "Selected Sample" );

      PageBuilder imagePage( ColorsFonts_PageControl, "Image Windows" );
      p = imagePage.page;
      f = imagePage.Group( "ViewSelectors_Panel", "  View Selectors", "Reset_ColorsFonts_ViewTabs_Button",
                           resetFields( &G::colorsFonts, refresh, &C::viewTabColor, &C::selectedViewTabColor,
                                        &C::viewTabTextColor, &C::selectedViewTabTextColor, &C::viewTabFont,
                                        &C::viewTabFontSize, &C::viewTabAutoFontSize ) );
      fontGroup( f, p, 1, "View Tabs Font:" );
      ViewTabColor_ColorBox = colour( f, p, "ViewTabColor_ColorBox", "View Tab Color:", &C::viewTabColor );
      SelectedViewTabColor_ColorBox =
         colour( f, p, "SelectedViewTabColor_ColorBox", "Selected View Tab Color:", &C::selectedViewTabColor );
      ViewTabTextColor_ColorBox =
         colour( f, p, "ViewTabTextColor_ColorBox", "View Tab Text Color:", &C::viewTabTextColor );
      SelectedViewTabTextColor_ColorBox = colour( f, p, "SelectedViewTabTextColor_ColorBox",
                                                  "Selected View Tab Text Color:", &C::selectedViewTabTextColor );
      NormalTabSample_Panel = sample( f, p, "NormalTabSample_Panel", "Normal Sample" );
      SelectedTabSample_Panel = sample( f, p, "SelectedTabSample_Panel", "Selected Sample" );
      f = imagePage.Group( "ImageBackground_Panel", "  Image Background",
                           "Reset_ColorsFonts_ImageWindowBackground_Button",
                           resetFields( &G::colorsFonts, refresh, &C::imageWindowBackgroundColor ) );
      ImageWindowsBackgroundColor_ColorBox =
         colour( f, p, "ImageWindowsBackgroundColor_ColorBox", "Color:", &C::imageWindowBackgroundColor );
      ImageBackgroundSample_Panel = sample( f, p, "ImageBackgroundSample_Panel", "" );

      PageBuilder previewPage( ColorsFonts_PageControl, "Previews" );
      p = previewPage.page;
      f = previewPage.Group( "PreviewRectangles_Panel", "  Preview Rectangles",
                             "Reset_ColorsFonts_PreviewRectangles_Button",
                             resetFields( &G::colorsFonts, refresh, &C::previewColor, &C::selectedPreviewColor,
                                          &C::previewTitleFont, &C::previewTitleFontSize,
                                          &C::previewTitleAutoFontSize ) );
      PreviewColor_ColorBox = colour( f, p, "PreviewColor_ColorBox", "Preview Color:", &C::previewColor );
      SelectedPreviewColor_ColorBox =
         colour( f, p, "SelectedPreviewColor_ColorBox", "Selected Preview Color:", &C::selectedPreviewColor );
      fontGroup( f, p, 2, "Preview Title Font:" );
      auto previewSample = [&]( const char* shapeName, const char* textName, const char* text, QLabel*& title )
      {
         auto* shape = Named( new QFrame( p ), shapeName );
         shape->setFrameStyle( QFrame::Box | QFrame::Plain );
         shape->setAutoFillBackground( true );
         shape->setMinimumSize( 160, 48 );
         auto* inside = new QVBoxLayout( shape );
         title = Named( new QLabel( text, shape ), textName );
         inside->addWidget( title, 0, Qt::AlignLeft | Qt::AlignTop );
         f->addRow( shape );
         return shape;
      };
      NormalPreviewSample_Shape = previewSample( "NormalPreviewSample_Shape", "NormalPreviewTitleSample_StaticText",
                                                 "Preview Sample", NormalPreviewTitleSample_StaticText );
      SelectedPreviewSample_Shape =
         previewSample( "SelectedPreviewSample_Shape", "SelectedPreviewTitleSample_StaticText",
                        "Selected Preview Sample", SelectedPreviewTitleSample_StaticText );
   }

   LoadCurrentPreferences_Button = MakeButton( this, "LoadCurrentPreferences_Button", "Load Current Preferences" );
   connect( LoadCurrentPreferences_Button, &QPushButton::clicked, this, [this] { LoadCurrentPreferences(); } );
   layout->addWidget( LoadCurrentPreferences_Button, 1, 0, Qt::AlignLeft );
   ButtonRow apply = MakeButtonRow( this, { "Apply_SpeedButton" } );
   Apply_SpeedButton = apply.buttons[0];
   Apply_SpeedButton->setText( "Apply" );
   layout->addWidget( apply.row, 1, 1, Qt::AlignRight );

   {
      TMainWindow::ControlUpdateGuard guard;
      fontNames = QFontDatabase::families();
      for ( QComboBox* box : Font_ComboBox )
      {
         box->clear();
         box->addItems( fontNames );
      }
   }
   UpdateControls();
}

// ---- Instances -----------------------------------------------------------------------------------------------------

std::unique_ptr<Process> TPreferencesWindow::NewInstance()
{
   return std::make_unique<Preferences>( workingPreferences );
}

void TPreferencesWindow::ImportInstance( const Process& instance )
{
   const auto* process = dynamic_cast<const Preferences*>( &instance );
   if ( process == nullptr )
      return;
   workingPreferences = process->Values().preferences;
   instanceImported = true;
   UpdateControls();
}

void TPreferencesWindow::Apply()
{
   std::unique_ptr<Process> instance = NewInstance();
   instance->ExecuteGlobal();
}

void TPreferencesWindow::FormShow()
{
   if ( instanceImported )
      instanceImported = false;
   else
      LoadCurrentPreferences();
}

void TPreferencesWindow::showEvent( QShowEvent* event )
{
   TProcessingWindow::showEvent( event );
   FormShow();
}

void TPreferencesWindow::LoadCurrentPreferences()
{
   workingPreferences = CurrentPreferences;
   UpdateControls();
}

// ---- Pages ---------------------------------------------------------------------------------------------------------

void TPreferencesWindow::UpdateControls()
{
   UpdateMainWindowPage();
   UpdateImageWindowPage();
   UpdateIdentifiersPage();
   UpdateColorsFontsPage();
}

void TPreferencesWindow::UpdateMainWindowPage()
{
   TMainWindow::ControlUpdateGuard guard;
   for ( const BoolBinding& b : boolBindings )
      b.box->setChecked( b.field( workingPreferences ) );
   // Its handler runs on every change of state, also here: the status dialog's button follows the box.
   BeepOnProcessingCompletion_CheckBox->setChecked( workingPreferences.mainWindow.beepOnProcessingCompletion );
   DataSeparator_Edit->setText( QString::fromLatin1( workingPreferences.mainWindow.dataSeparator.c_str() ) );
}

void TPreferencesWindow::UpdateImageWindowPage()
{
   TMainWindow::ControlUpdateGuard guard;
   ImageWindowPreferences& w = workingPreferences.imageWindow;
   if ( w.useSystemTEMPDirectory )
      w.swapFilesDirectory.clear();
   std::string shown = w.useSystemTEMPDirectory ? GetTempDirectory() : w.swapFilesDirectory;
   if ( shown.empty() )
      shown = GetTempDirectory();
   SwapFilesDirectory_Edit->setText( QString::fromStdString( shown ) );
   UseSystemTEMPDirectory_CheckBox->setChecked( w.useSystemTEMPDirectory );
   SwapFilesDirectory_DriveFree_StaticText->setText( FreeSpaceText( shown ) );
   SwapFilesDirectory_Edit->setEnabled( !w.useSystemTEMPDirectory );
   SwapFilesDirectory_Button->setEnabled( !w.useSystemTEMPDirectory );
   for ( const BoolBinding& b : boolBindings )
      b.box->setChecked( b.field( workingPreferences ) );
   WriteRealToEdit( DefaultResolution_Edit, w.defaultResolution, 2 );
   WriteIntegerToEdit( CursorTolerance_Edit, w.cursorTolerance );
}

void TPreferencesWindow::UpdateIdentifiersPage()
{
   TMainWindow::ControlUpdateGuard guard;
   for ( const auto& [edit, field] : identifierEdits )
      edit->setText( QString::fromStdString( workingPreferences.identifiers.*field ) );
}

void TPreferencesWindow::UpdateColorsFontsPage()
{
   TMainWindow::ControlUpdateGuard guard;
   ColorsFontsPreferences& c = workingPreferences.colorsFonts;
   MainWindowUseBackgroundBrush_CheckBox->setChecked( c.mainWindowBackgroundBrush );
   for ( const ColorBinding& b : colorBindings )
      ShowColor( b.box, c.*b.field );
   PaintBackgroundPreview();
   const QString menuFont = QFontDatabase::systemFont( QFontDatabase::GeneralFont ).family();
   for ( int g = 0; g < 3; ++g )
   {
      const FontFields& ff = fontFields[g];
      int index = fontNames.indexOf( QString::fromStdString( c.*ff.font ) );
      if ( index < 0 )
      {
         // A font that is not installed: the menu font, else the first one.
         index = std::max<int>( 0, int( fontNames.indexOf( menuFont ) ) );
         if ( index < fontNames.size() )
            c.*ff.font = fontNames[index].toStdString();
      }
      Font_ComboBox[g]->setCurrentIndex( index );
      AutoFontHeight_CheckBox[g]->setChecked( c.*ff.autoSize );
      WriteIntegerToEdit( FontHeight_Edit[g], c.*ff.size );
      FontHeight_Edit[g]->setEnabled( !( c.*ff.autoSize ) );
   }
   UpdateSamples();
}

void TPreferencesWindow::UpdateSamples()
{
   const ColorsFontsPreferences& c = workingPreferences.colorsFonts;
   auto font = [&]( int g )
   {
      QFont f( QString::fromStdString( c.*fontFields[g].font ) );
      f.setPixelSize( std::max( 1, int( c.*fontFields[g].size ) ) );
      return f;
   };
   auto paint = [&]( QWidget* w, uint32_t background, uint32_t text, const QFont* f )
   {
      QPalette palette = w->palette();
      palette.setColor( QPalette::Window, PreferenceColor( background ) );
      palette.setColor( QPalette::WindowText, PreferenceColor( text ) );
      w->setPalette( palette );
      if ( f != nullptr )
         w->setFont( *f );
   };
   const QFont icons = font( 0 ), tabs = font( 1 ), titles = font( 2 );
   paint( NormalIconSample_Panel, c.processIconColor, c.processIconTextColor, &icons );
   paint( SelectedIconSample_Panel, c.processIconSelectedColor, c.processIconSelectedTextColor, &icons );
   paint( NormalTabSample_Panel, c.viewTabColor, c.viewTabTextColor, &tabs );
   paint( SelectedTabSample_Panel, c.selectedViewTabColor, c.selectedViewTabTextColor, &tabs );
   paint( ImageBackgroundSample_Panel, c.imageWindowBackgroundColor, c.imageWindowBackgroundColor, nullptr );
   // A preview is drawn as an outline with its title in the same colour, over the image background.
   const uint32_t back = c.imageWindowBackgroundColor;
   paint( NormalPreviewSample_Shape, back, c.previewColor, nullptr );
   paint( SelectedPreviewSample_Shape, back, c.selectedPreviewColor, nullptr );
   paint( NormalPreviewTitleSample_StaticText, back, c.previewColor, &titles );
   paint( SelectedPreviewTitleSample_StaticText, back, c.selectedPreviewColor, &titles );
}

void TPreferencesWindow::ShowColor( QPushButton* box, uint32_t color )
{
   QPixmap swatch( 48, 14 );
   swatch.fill( PreferenceColor( color ) );
   box->setIcon( swatch );
   box->setIconSize( swatch.size() );
}

void TPreferencesWindow::PaintBackgroundPreview()
{
   const ColorsFontsPreferences& c = workingPreferences.colorsFonts;
   QPixmap preview( MainWindowBackgroundPreview_PaintBox->size() );
   if ( c.mainWindowBackgroundBrush )
   {
      QPainter painter( &preview );
      painter.fillRect( preview.rect(),
                        QBrush( CreateBackgroundBrushBitmap( c.mainWindowBackgroundColor, c.mainWindowForegroundColor ) ) );
   }
   else
      preview.fill( PreferenceColor( c.mainWindowBackgroundColor ) );
   MainWindowBackgroundPreview_PaintBox->setPixmap( preview );
}

QString TPreferencesWindow::FreeSpaceText( const std::string& directory )
{
   const QStorageInfo storage( QString::fromStdString( directory ) );
   if ( !storage.isValid() || storage.bytesAvailable() < 0 )
      return "unknown";
   char text[64];
   std::snprintf( text, sizeof( text ), "%.3lf GB", double( storage.bytesAvailable() ) / double( 1ULL << 30 ) );
   return text;
}

// ---- Handlers ------------------------------------------------------------------------------------------------------

void TPreferencesWindow::BeepOnProcessingCompletion_CheckBoxClick()
{
   workingPreferences.mainWindow.beepOnProcessingCompletion = BeepOnProcessingCompletion_CheckBox->isChecked();
   if ( ProcessingStatusDialog != nullptr && ProcessingStatusDialog->BeepOnCompletion_SpeedButton != nullptr )
      ProcessingStatusDialog->BeepOnCompletion_SpeedButton->setChecked( BeepOnProcessingCompletion_CheckBox->isChecked() );
}

void TPreferencesWindow::DataSeparator_EditExit()
{
   const std::string text = DataSeparator_Edit->text().toLatin1().toStdString();
   workingPreferences.mainWindow.dataSeparator = text.empty() ? "   " : text;
   DataSeparator_Edit->setText( QString::fromLatin1( workingPreferences.mainWindow.dataSeparator.c_str() ) );
}

void TPreferencesWindow::DefaultResolution_EditExit()
{
   try
   {
      workingPreferences.imageWindow.defaultResolution = float( ReadNumberFromEdit( DefaultResolution_Edit, 1, 9999, true ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteRealToEdit( DefaultResolution_Edit, workingPreferences.imageWindow.defaultResolution, 2 );
}

void TPreferencesWindow::CursorTolerance_EditExit()
{
   try
   {
      workingPreferences.imageWindow.cursorTolerance = int32_t( ReadNumberFromEdit( CursorTolerance_Edit, 1, 6, false ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteIntegerToEdit( CursorTolerance_Edit, workingPreferences.imageWindow.cursorTolerance );
}

void TPreferencesWindow::UseSystemTEMPDirectory_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   workingPreferences.imageWindow.useSystemTEMPDirectory = UseSystemTEMPDirectory_CheckBox->isChecked();
   UpdateImageWindowPage();
}

void TPreferencesWindow::SwapFilesDirectory_ButtonClick()
{
   const QString folder = platform::FileDialogs::getExistingDirectory( this, "Swap Files Directory",
                                                                      SwapFilesDirectory_Edit->text() );
   if ( folder.isEmpty() )
      return;
   workingPreferences.imageWindow.swapFilesDirectory = folder.toStdString();
   UpdateImageWindowPage();
}

void TPreferencesWindow::Identifier_EditExit( QLineEdit* edit )
{
   for ( const auto& [e, field] : identifierEdits )
      if ( e == edit )
      {
         std::string& value = workingPreferences.identifiers.*field;
         if ( edit == NewImageCaption_Edit )
            value = edit->text().toStdString();
         else
            try
            {
               ReadIdentifierFromEdit( value, edit, false, false, value );
            }
            catch ( const qor::CatchedException& )
            {
               inputError = true;
            }
         edit->setText( QString::fromStdString( value ) );
      }
}

void TPreferencesWindow::FontHeight_EditExit( int g )
{
   int32_t& size = workingPreferences.colorsFonts.*fontFields[g].size;
   try
   {
      size = int32_t( ReadNumberFromEdit( FontHeight_Edit[g], 10, 24, false ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteIntegerToEdit( FontHeight_Edit[g], size );
   UpdateSamples();
}

void TPreferencesWindow::AutoFontHeight_CheckBoxClick( int g )
{
   const FontFields& ff = fontFields[g];
   ColorsFontsPreferences& c = workingPreferences.colorsFonts;
   c.*ff.autoSize = AutoFontHeight_CheckBox[g]->isChecked();
   if ( c.*ff.autoSize )
      c.*ff.size = AutoFontHeight();
   TMainWindow::ControlUpdateGuard guard;
   WriteIntegerToEdit( FontHeight_Edit[g], c.*ff.size );
   FontHeight_Edit[g]->setEnabled( !( c.*ff.autoSize ) );
   UpdateSamples();
}

void TPreferencesWindow::Font_ComboBoxSelect( int g )
{
   const int index = Font_ComboBox[g]->currentIndex();
   if ( UpdatingControls() || index < 0 || index >= fontNames.size() )
      return;
   workingPreferences.colorsFonts.*fontFields[g].font = fontNames[index].toStdString();
   UpdateSamples();
}

void TPreferencesWindow::ColorBoxSelect( QPushButton* box )
{
   for ( const ColorBinding& b : colorBindings )
      if ( b.box == box )
      {
         uint32_t& field = workingPreferences.colorsFonts.*b.field;
         const QColor chosen = platform::ColorPicker::getColor( PreferenceColor( field ), this );
         if ( !chosen.isValid() )
            return;
         field = uint32_t( chosen.red() ) | ( uint32_t( chosen.green() ) << 8 ) | ( uint32_t( chosen.blue() ) << 16 );
         ShowColor( box, field );
         PaintBackgroundPreview();
         UpdateSamples();
      }
}

TPreferencesWindow& PreferencesWindow()
{
   static QPointer<TPreferencesWindow> window;
   if ( window == nullptr )
      window = new TPreferencesWindow( MainWindow );
   return *window;
}
