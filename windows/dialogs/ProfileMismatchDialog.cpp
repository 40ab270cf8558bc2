#include "windows/dialogs/ProfileMismatchDialog.h"

#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "windows/dialogs/ProfileChoiceControls.h"
#include "windows/main/MainWindow.h"

TProfileMismatchDialog::TProfileMismatchDialog( QWidget* owner, const std::string& imagePath,
                                                const std::string& embeddedDescription,
                                                const std::string& defaultDescription )
    : QDialog( owner ), imagePath( imagePath ), embeddedProfileDescription( embeddedDescription ),
      defaultProfileDescription( defaultDescription )
{
   ProfileChoiceControls c =
       MakeProfileChoiceDialog( this, "ProfileMismatchDialog", "ICC Profile Mismatch",
                                "The ICC profile embedded in this image does not match the default profile." );
   ImagePath_Panel = c.imagePath;
   Memo1 = c.memo;
   Keep_RadioButton = MakeChoiceButton( this, c.layout, "Keep_RadioButton", "Keep the embedded profile and use it:", 1,
                                        choice );
   EmbeddedProfile_Panel = MakeDescriptionPanel( this, c.layout, "EmbeddedProfile_Panel" );
   Convert_RadioButton = MakeChoiceButton( this, c.layout, "Convert_RadioButton",
                                           "Convert the image to the default profile:", 2, choice );
   DefaultProfile_Panel = MakeDescriptionPanel( this, c.layout, "DefaultProfile_Panel" );
   Discard_RadioButton = MakeChoiceButton( this, c.layout, "Discard_RadioButton",
                                           "Discard the embedded profile and assign the default profile", 3, choice );
   Disable_RadioButton = MakeChoiceButton( this, c.layout, "Disable_RadioButton",
                                           "Disable color management for this image", 4, choice );
   FinishProfileChoiceDialog( this, c );
   OK_Button = c.ok;
   Cancel_Button = c.cancel;
}

void TProfileMismatchDialog::showEvent( QShowEvent* event )
{
   QDialog::showEvent( event );
   FormShow();
}

void TProfileMismatchDialog::FormShow()
{
   TMainWindow::ControlUpdateGuard guard;
   ShowImagePath( ImagePath_Panel, imagePath );
   EmbeddedProfile_Panel->setText( QString::fromStdString( embeddedProfileDescription ) );
   DefaultProfile_Panel->setText( QString::fromStdString( defaultProfileDescription ) );
   QRadioButton* buttons[] = { Keep_RadioButton, Convert_RadioButton, Discard_RadioButton, Disable_RadioButton };
   for ( int i = 0; i < 4; ++i )
      buttons[i]->setChecked( choice == i + 1 );
}
