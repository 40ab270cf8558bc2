#ifndef LF_TEST_SUPPORT_H
#define LF_TEST_SUPPORT_H

// Test fixture for code that shows boxes, runs dialogs or asks for file names.
//
// test::ScriptedUiTest installs, for each test, a ScriptedPrompter, a ScriptedDialogRunner, a ScriptedFileDialogs
// and a ScriptedColorPicker; the test scripts them (prompter.Expect( "text", Answer::Yes ), dialogs.Expect( "Name",
// handler ), files.Expect( Kind::SaveFile, { path } ), colors.Expect( QColor( 255, 128, 0 ) )). At TearDown the
// test fails for every box, dialog or picker that was not expected and for every expectation left unconsumed. Held keys of the key tracker are
// released between tests.
//
// Outside this fixture, every test of the executable still runs with scripted services that expect nothing: a
// box, dialog or picker that some test did not arrange for fails that test at once (and is answered with its
// default, so the run never blocks on a modal window).

#include <gtest/gtest.h>

#include <QString>
#include <Qt>
#include <QStringList>

#include "platform/ColorPicker.h"
#include "platform/DialogRunner.h"
#include "platform/FileDialogs.h"
#include "platform/Prompter.h"
#include "platform/ScriptedPrompter.h"

class QDialog;

namespace test
{

class ScriptedUiTest : public ::testing::Test
{
protected:
   void SetUp() override;
   void TearDown() override;

   // Empties the scripts and records without failing (for a test that checks an unexpected box on purpose).
   void ForgetAll();

   platform::ScriptedPrompter prompter;
   platform::ScriptedDialogRunner dialogs;
   platform::ScriptedFileDialogs files;
   platform::ScriptedColorPicker colors;

private:
   platform::Prompter* previousPrompter = nullptr;
   platform::DialogRunner* previousDialogs = nullptr;
   platform::FileDialogs* previousFiles = nullptr;
   platform::ColorPicker* previousColors = nullptr;
};

// Shows a dialog without a loop of its own, presses a key on it and returns the result it was closed with (0: it
// stayed open).
int PressKeyOn( QDialog& dialog, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier );

// Texts of the boxes a prompter has shown, in order (for assertions).
QStringList BoxTexts( const platform::ScriptedPrompter& prompter );

} // namespace test

#endif
