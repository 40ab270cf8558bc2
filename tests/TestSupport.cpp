#include "TestSupport.h"

#include <QDialog>
#include <QTest>

#include "platform/KeyTracker.h"

namespace test
{

namespace
{

// Scripted services with empty scripts, installed for the whole run: anything they are asked fails the test that
// asked.
class ExpectNothingEnvironment : public ::testing::Environment
{
public:
   void SetUp() override
   {
      prompter.SetUnexpectedHandler( []( const platform::ScriptedPrompter::Record& r ) {
         ADD_FAILURE() << "Unexpected message box: " << r.Describe().toStdString();
      } );
      dialogs.SetUnexpectedHandler( []( const platform::ScriptedDialogRunner::Record& r ) {
         ADD_FAILURE() << "Unexpected modal " << r.Describe().toStdString();
      } );
      files.SetUnexpectedHandler( []( const platform::ScriptedFileDialogs::Record& r ) {
         ADD_FAILURE() << "Unexpected file picker: " << r.Describe().toStdString();
      } );
      colors.SetUnexpectedHandler( []( const platform::ScriptedColorPicker::Record& r ) {
         ADD_FAILURE() << "Unexpected " << r.Describe().toStdString();
      } );
      platform::Prompter::Install( &prompter );
      platform::DialogRunner::Install( &dialogs );
      platform::FileDialogs::Install( &files );
      platform::ColorPicker::Install( &colors );
   }

   void TearDown() override
   {
      platform::Prompter::Install( nullptr );
      platform::DialogRunner::Install( nullptr );
      platform::FileDialogs::Install( nullptr );
      platform::ColorPicker::Install( nullptr );
   }

private:
   platform::ScriptedPrompter prompter;
   platform::ScriptedDialogRunner dialogs;
   platform::ScriptedFileDialogs files;
   platform::ScriptedColorPicker colors;
};

[[maybe_unused]] ::testing::Environment* const expectNothing =
   ::testing::AddGlobalTestEnvironment( new ExpectNothingEnvironment );

template <typename Script>
void ReportLeftovers( const Script& script, const char* what )
{
   for ( const auto& r : script.UnexpectedRecords() )
      ADD_FAILURE() << "Unexpected " << what << ": " << r.Describe().toStdString();
   for ( const QString& d : script.PendingDescriptions() )
      ADD_FAILURE() << "Expected " << what << " never came: " << d.toStdString();
}

} // namespace

void ScriptedUiTest::SetUp()
{
   previousPrompter = platform::Prompter::Installed();
   previousDialogs = platform::DialogRunner::Installed();
   previousFiles = platform::FileDialogs::Installed();
   previousColors = platform::ColorPicker::Installed();
   platform::Prompter::Install( &prompter );
   platform::DialogRunner::Install( &dialogs );
   platform::FileDialogs::Install( &files );
   platform::ColorPicker::Install( &colors );
   platform::KeyTracker::Instance().ReleaseAll();
}

void ScriptedUiTest::TearDown()
{
   platform::Prompter::Install( previousPrompter );
   platform::DialogRunner::Install( previousDialogs );
   platform::FileDialogs::Install( previousFiles );
   platform::ColorPicker::Install( previousColors );
   platform::KeyTracker::Instance().ReleaseAll();
   ReportLeftovers( prompter, "message box" );
   ReportLeftovers( dialogs, "dialog" );
   ReportLeftovers( files, "file picker" );
   ReportLeftovers( colors, "colour picker" );
}

void ScriptedUiTest::ForgetAll()
{
   prompter.Clear();
   dialogs.Clear();
   files.Clear();
   colors.Clear();
}

QStringList BoxTexts( const platform::ScriptedPrompter& prompter )
{
   QStringList texts;
   for ( const auto& r : prompter.Records() )
      texts << r.text;
   return texts;
}

int PressKeyOn( QDialog& dialog, Qt::Key key, Qt::KeyboardModifiers modifiers )
{
   dialog.setResult( 0 );
   dialog.show();
   QTest::keyClick( &dialog, key, modifiers );
   const int result = dialog.isVisible() ? 0 : dialog.result();
   dialog.hide();
   return result;
}

} // namespace test
