// The auto-clipping setup: never both sides off, amounts in [0, 100], and the histogram window taking the settings
// back only on OK.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "TestSupport.h"
#include "platform/KeyTracker.h"
#include "windows/dialogs/AutoClippingSetupDialog.h"
#include "windows/processing/HistogramWindow.h"

namespace
{

class AutoClippingSetupDialogTest : public test::ScriptedUiTest
{
};

TEST_F( AutoClippingSetupDialogTest, NeverBothSidesOff )
{
   TAutoClippingSetupDialog dialog;
   dialog.shadowsAmount = 0.25f;
   dialog.show();
   EXPECT_EQ( dialog.windowTitle(), "Histogram Auto-Clipping Setup" );
   EXPECT_EQ( dialog.Shadows_Edit->text(), "0.250" );
   EXPECT_TRUE( dialog.Shadows_CheckBox->isChecked() );

   dialog.Highlights_CheckBox->click();
   EXPECT_FALSE( dialog.highlightsEnabled );
   EXPECT_FALSE( dialog.Highlights_Edit->isEnabled() );
   // Unticking the only ticked side ticks both.
   dialog.Shadows_CheckBox->click();
   EXPECT_TRUE( dialog.shadowsEnabled );
   EXPECT_TRUE( dialog.highlightsEnabled );
   EXPECT_TRUE( dialog.Shadows_CheckBox->isChecked() );
   EXPECT_TRUE( dialog.Highlights_CheckBox->isChecked() );
   EXPECT_TRUE( dialog.Highlights_Edit->isEnabled() );
   dialog.Shadows_CheckBox->click();
   EXPECT_FALSE( dialog.shadowsEnabled );
   EXPECT_TRUE( dialog.highlightsEnabled );
}

TEST_F( AutoClippingSetupDialogTest, AmountsAreRefusedOutsideTheirRange )
{
   TAutoClippingSetupDialog dialog;
   dialog.highlightsAmount = 1.5f;
   dialog.show();
   prompter.Expect( "out of range" );
   dialog.Highlights_Edit->setText( "100.5" );
   dialog.Highlights_EditExit();
   EXPECT_TRUE( dialog.inputError );
   EXPECT_EQ( dialog.highlightsAmount, 1.5f );
   EXPECT_EQ( dialog.Highlights_Edit->text(), "1.500" );
   dialog.Highlights_Edit->setText( "12.3456" );
   dialog.Highlights_EditExit();
   EXPECT_FLOAT_EQ( dialog.highlightsAmount, 12.3456f );
   EXPECT_EQ( dialog.Highlights_Edit->text(), "12.346" );
}

TEST_F( AutoClippingSetupDialogTest, TheWindowTakesTheSettingsOnlyOnOK )
{
   THistogramWindow window;
   window.autoClipHighlightsAmount = 2;
   dialogs.Expect( "AutoClippingSetupDialog",
                   []( QDialog& d )
                   {
                      auto& dialog = static_cast<TAutoClippingSetupDialog&>( d );
                      EXPECT_EQ( dialog.Highlights_Edit->text(), "2.000" );
                      dialog.Shadows_CheckBox->click();
                      dialog.Highlights_Edit->setText( "7" );
                      dialog.Highlights_EditExit();
                      dialog.Cancel_SpeedButton->click();
                      return QDialog::Rejected;
                   } );
   platform::KeyTracker::Instance().Press( Qt::Key_Control );
   window.AutoClip_Button->click(); // Ctrl: the setup
   platform::KeyTracker::Instance().ReleaseAll();
   EXPECT_TRUE( window.autoClipShadows );
   EXPECT_EQ( window.autoClipHighlightsAmount, 2.0f );
   EXPECT_EQ( window.AutoClip_Button->text(), "Setup" ); // the captions follow the keys held then
   window.UpdateKeyboardState();
   EXPECT_EQ( window.AutoClip_Button->text(), "Auto Clip" );

   dialogs.Expect( "AutoClippingSetupDialog",
                   []( QDialog& d )
                   {
                      auto& dialog = static_cast<TAutoClippingSetupDialog&>( d );
                      dialog.Shadows_CheckBox->click();
                      dialog.Highlights_Edit->setText( "7" );
                      dialog.Highlights_EditExit();
                      dialog.OK_SpeedButton->click();
                      return QDialog::Accepted;
                   } );
   window.SetupAutoClip();
   EXPECT_FALSE( window.autoClipShadows );
   EXPECT_EQ( window.autoClipHighlightsAmount, 7.0f );
   EXPECT_EQ( window.AutoClip_Button->toolTip(), "shadows: n/a, highlights: 7.000%" );
}

} // namespace
