// The Preferences process and window driven offscreen: the working copy and its checks, Apply reaching the
// preferences in force and the image windows, imported instances, and preferences kept across a restart.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <cstdlib>
#include <functional>

#include "support/Utils.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/PreferencesWindow.h"

namespace
{

class PreferencesWindowTest : public test::ImageWindowProcessTest
{
protected:
   void Enter( QLineEdit* edit, const char* text )
   {
      edit->setText( text );
      RunEditExitHandler( edit );
   }

   TPreferencesWindow window;
};

TEST_F( PreferencesWindowTest, ThePrototypeHoldsTheFactoryDefaultsAndARunRestoresThem )
{
   CurrentPreferences.identifiers.rejectionMapId = "rejects";
   CurrentPreferences.daDefaults.radius = 40;
   Preferences process;
   EXPECT_EQ( process.Category(), "Global" );
   EXPECT_FALSE( process.CanExecuteOn( *Make( RandomImage( 4, 4, 1, qor::ColorSpace::Gray ) )->mainView ) );
   EXPECT_EQ( process.ToText().substr( 0, 25 ), "Preferences mainWindow={\n" );
   process.Clone()->ExecuteGlobal();
   // Every field but the view-tab height, which the image windows set to the automatic one when they apply it.
   GlobalPreferences expected;
   expected.colorsFonts.viewTabFontSize = CurrentPreferences.colorsFonts.viewTabFontSize;
   EXPECT_EQ( CurrentPreferences, expected );
}

TEST_F( PreferencesWindowTest, EditsAreCheckedAndRefusedValuesShownAgain )
{
   const GlobalPreferences inForce = CurrentPreferences;
   struct Case
   {
      QLineEdit* edit;
      const char* refused;
      const char* accepted;
      const char* shown;
   };
   const Case cases[] = {
      { window.DefaultResolution_Edit, "0.5", "9999", "9999.00" },
      { window.DefaultResolution_Edit, "10000", "1", "1.00" },
      { window.CursorTolerance_Edit, "7", "6", "6" },
      { window.CursorTolerance_Edit, "0", "1", "1" },
      { window.FontHeight_Edit[0], "9", "10", "10" },
      { window.FontHeight_Edit[1], "25", "24", "24" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.edit->objectName().toStdString() + " " + c.refused );
      const QString before = c.edit->text();
      prompter.Expect( "out of range" );
      Enter( c.edit, c.refused );
      EXPECT_TRUE( window.inputError );
      EXPECT_EQ( c.edit->text(), before );
      window.inputError = false;
      Enter( c.edit, c.accepted );
      EXPECT_FALSE( window.inputError );
      EXPECT_EQ( c.edit->text(), c.shown );
   }
   EXPECT_EQ( window.workingPreferences.imageWindow.defaultResolution, 1.0f );
   EXPECT_EQ( window.workingPreferences.colorsFonts.viewTabFontSize, 24 );

   Enter( window.DataSeparator_Edit, "" );
   EXPECT_EQ( window.workingPreferences.mainWindow.dataSeparator, "   " );

   prompter.Expect( "." );
   Enter( window.ImagePrefix_Edit, "9bad" );
   EXPECT_EQ( window.workingPreferences.identifiers.imagePrefix, "Image" );
   Enter( window.NewImageCaption_Edit, "<untitled>" );
   EXPECT_EQ( window.workingPreferences.identifiers.newImageCaption, "<untitled>" );
   EXPECT_EQ( CurrentPreferences, inForce ) << "nothing reaches the preferences before Apply";
}

TEST_F( PreferencesWindowTest, SwapFolderFontsAndAutoHeights )
{
   window.UseSystemTEMPDirectory_CheckBox->click();
   EXPECT_FALSE( window.workingPreferences.imageWindow.useSystemTEMPDirectory );
   EXPECT_TRUE( window.SwapFilesDirectory_Button->isEnabled() );
   EXPECT_EQ( window.SwapFilesDirectory_Edit->text().toStdString(), GetTempDirectory() );
   EXPECT_TRUE( window.SwapFilesDirectory_DriveFree_StaticText->text().endsWith( " GB" ) );
   files.Expect( platform::FileDialogs::Kind::Directory, { "/" } );
   window.SwapFilesDirectory_Button->click();
   EXPECT_EQ( window.workingPreferences.imageWindow.swapFilesDirectory, "/" );
   window.UseSystemTEMPDirectory_CheckBox->click();
   EXPECT_TRUE( window.workingPreferences.imageWindow.swapFilesDirectory.empty() );
   EXPECT_FALSE( window.SwapFilesDirectory_Button->isEnabled() );
   EXPECT_EQ( TPreferencesWindow::FreeSpaceText( "/no/such/folder/here" ), "unknown" );

   // A font that is not installed becomes one that is.
   Preferences imported;
   imported.Values().preferences.colorsFonts.processIconFont = "No Such Font Anywhere";
   window.ImportInstance( imported );
   EXPECT_NE( window.workingPreferences.colorsFonts.processIconFont, "No Such Font Anywhere" );
   EXPECT_EQ( QString::fromStdString( window.workingPreferences.colorsFonts.processIconFont ),
              window.Font_ComboBox[0]->currentText() );

   window.AutoFontHeight_CheckBox[0]->setChecked( false );
   window.AutoFontHeight_CheckBox[0]->click();
   EXPECT_EQ( window.workingPreferences.colorsFonts.processIconFontSize, AutoFontHeight() );
   EXPECT_FALSE( window.FontHeight_Edit[0]->isEnabled() );
}

TEST_F( PreferencesWindowTest, AResetButtonRestoresItsGroupAndLeavesTheRest )
{
   const GlobalPreferences base = window.workingPreferences; // the defaults, with fonts that are installed
   QComboBox* fonts = window.Font_ComboBox[0];
   ASSERT_GT( fonts->count(), 0 );
   const std::string font = fonts->itemText( fonts->count() - 1 ).toStdString();
   using G = GlobalPreferences;
   struct Case
   {
      const char* button;
      std::function<void( G& )> inside;  // fields of the button's group
      std::function<void( G& )> outside; // fields of other groups
   };
   const Case cases[] = {
      { "Reset_MainWindow_Startup_Button",
        []( G& g ) { g.mainWindow.maximizeAtStartup = g.mainWindow.showSplashAtStartup = false; },
        []( G& g ) { g.mainWindow.acceptDroppedFiles = false; } },
      { "Reset_ImageWindow_SwapFiles_Button",
        []( G& g )
        {
           g.imageWindow.useSystemTEMPDirectory = false;
           g.imageWindow.backupFiles = true;
           g.imageWindow.swapFilesDirectory = "/";
        },
        []( G& g ) { g.imageWindow.cursorTolerance = 9; } },
      { "Reset_ImageWindow_Button",
        []( G& g ) { g.imageWindow.showCaptionFullPaths = g.imageWindow.defaultMasksShown = false; },
        []( G& g ) { g.mainWindow.dataSeparator = "|"; } },
      { "Reset_ColorsFonts_MainWindowBackground_Button",
        []( G& g )
        {
           g.colorsFonts.mainWindowBackgroundBrush = true;
           g.colorsFonts.mainWindowForegroundColor = 0x123456;
        },
        []( G& g ) { g.colorsFonts.imageWindowBackgroundColor = 0x123456; } },
      { "Reset_ColorsFonts_ProcessIcons_Button",
        [&]( G& g )
        {
           g.colorsFonts.processIconSelectedTextColor = 0x123456;
           g.colorsFonts.processIconFont = font;
           g.colorsFonts.processIconFontSize = 31;
           g.colorsFonts.processIconAutoFontSize = false;
        },
        [&]( G& g )
        {
           g.colorsFonts.viewTabFont = font;
           g.colorsFonts.viewTabColor = 0x123456;
        } },
      { "Reset_ColorsFonts_PreviewRectangles_Button",
        []( G& g )
        {
           g.colorsFonts.selectedPreviewColor = 0x123456;
           g.colorsFonts.previewTitleFontSize = 31;
           g.colorsFonts.previewTitleAutoFontSize = false;
        },
        []( G& g ) { g.colorsFonts.viewTabFontSize = 31; } },
      { "Reset_Identifiers_Button", []( G& g ) { g.identifiers.pixelMathDestinationPostfix = "_pm"; },
        []( G& g ) { g.imageWindow.defaultResolution = 300.0F; } },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.button );
      G expected = base;
      c.outside( expected );
      window.workingPreferences = expected;
      c.inside( window.workingPreferences );
      window.UpdateControls();
      window.findChild<QPushButton*>( c.button )->click();
      EXPECT_EQ( window.workingPreferences, expected );
   }
}

TEST_F( PreferencesWindowTest, TheSamplesFollowTheColoursAndFontsAsTheyAreChosen )
{
   auto window_ = []( QWidget* w ) { return w->palette().color( QPalette::Window ); };
   auto text = []( QWidget* w ) { return w->palette().color( QPalette::WindowText ); };
   const ColorsFontsPreferences& c = window.workingPreferences.colorsFonts;
   EXPECT_EQ( window_( window.NormalIconSample_Panel ), PreferenceColor( c.processIconColor ) );
   EXPECT_EQ( text( window.SelectedTabSample_Panel ), PreferenceColor( c.selectedViewTabTextColor ) );
   EXPECT_EQ( window.NormalPreviewTitleSample_StaticText->text(), "Preview Sample" );

   struct Case
   {
      QPushButton* box;
      QWidget* sample;
      bool asText;
   };
   const Case cases[] = {
      { window.ProcessIconsSelectedColor_ColorBox, window.SelectedIconSample_Panel, false },
      { window.ProcessIconsNormalTextColor_ColorBox, window.NormalIconSample_Panel, true },
      { window.ViewTabColor_ColorBox, window.NormalTabSample_Panel, false },
      { window.ImageWindowsBackgroundColor_ColorBox, window.ImageBackgroundSample_Panel, false },
      { window.SelectedPreviewColor_ColorBox, window.SelectedPreviewSample_Shape, true },
      { window.PreviewColor_ColorBox, window.NormalPreviewTitleSample_StaticText, true },
   };
   for ( const Case& k : cases )
   {
      SCOPED_TRACE( k.box->objectName().toStdString() );
      const QColor chosen( 10, 120, 230 );
      colors.Expect( chosen );
      k.box->click();
      EXPECT_EQ( k.asText ? text( k.sample ) : window_( k.sample ), chosen );
   }

   window.AutoFontHeight_CheckBox[2]->setChecked( true );
   window.AutoFontHeight_CheckBox[2]->click();
   Enter( window.FontHeight_Edit[2], "21" );
   EXPECT_EQ( window.SelectedPreviewTitleSample_StaticText->font().pixelSize(), 21 );
   const int last = window.Font_ComboBox[1]->count() - 1;
   window.Font_ComboBox[1]->setCurrentIndex( last );
   window.Font_ComboBox[1]->activated( last );
   EXPECT_EQ( window.NormalTabSample_Panel->font().family(), window.Font_ComboBox[1]->itemText( last ) );
}

TEST_F( PreferencesWindowTest, ApplyReachesImageWindowsAndThePreferencesSurviveARestart )
{
   TImageWindow* w = Make( RandomImage( 8, 6, 1, qor::ColorSpace::Gray ), "M42" );
   window.LoadCurrentPreferences();
   window.ShowCaptionIdentifiers_CheckBox->click();
   window.ConfirmProgramTermination_CheckBox->click();
   colors.Expect( QColor( 10, 20, 30 ) );
   window.ImageWindowsBackgroundColor_ColorBox->click();
   window.workingPreferences.identifiers.rejectionMapId = "rejects"; // no control: passes through
   EXPECT_TRUE( w->windowTitle().contains( "M42" ) );

   window.Apply();
   EXPECT_FALSE( CurrentPreferences.imageWindow.showCaptionIdentifiers );
   EXPECT_TRUE( CurrentPreferences.mainWindow.confirmProgramTermination );
   EXPECT_EQ( CurrentPreferences.colorsFonts.imageWindowBackgroundColor, 0x1E140Au );
   EXPECT_EQ( CurrentPreferences.identifiers.rejectionMapId, "rejects" );
   EXPECT_FALSE( w->windowTitle().contains( "M42" ) ) << w->windowTitle().toStdString();
   EXPECT_EQ( w->viewport()->palette().color( QPalette::Window ), QColor( 10, 20, 30 ) );

   // Exit saves the preferences; the next start reads them back.
   const GlobalPreferences applied = CurrentPreferences;
   CurrentPreferences.SaveToRegistry();
   CurrentPreferences = GlobalPreferences();
   CurrentPreferences.LoadFromRegistry();
   EXPECT_EQ( CurrentPreferences, applied );
   QFile::remove( QString( std::getenv( "XDG_CONFIG_HOME" ) ) + "/Corvanta/Lumenforge.ini" );

   // Showing the window loads the preferences in force, unless an instance was imported just before.
   Preferences imported;
   window.ImportInstance( imported );
   window.FormShow();
   EXPECT_TRUE( window.ShowCaptionIdentifiers_CheckBox->isChecked() );
   window.FormShow();
   EXPECT_FALSE( window.ShowCaptionIdentifiers_CheckBox->isChecked() );
}

} // namespace
