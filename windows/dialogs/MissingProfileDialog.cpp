#include "windows/dialogs/MissingProfileDialog.h"

#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "windows/dialogs/ProfileChoiceControls.h"
#include "windows/main/MainWindow.h"

TMissingProfileDialog::TMissingProfileDialog( QWidget* owner, const std::string& imagePath,
                                              const std::string& defaultDescription, uint8_t choice )
    : QDialog( owner ), imagePath( imagePath ), defaultProfileDescription( defaultDescription ), choice( choice )
{
   ProfileChoiceControls c = MakeProfileChoiceDialog( this, "MissingProfileDialog", "Missing ICC Profile",
                                                      "This image does not have an embedded ICC profile." );
   ImagePath_Panel = c.imagePath;
   Memo1 = c.memo;
   Default_RadioButton =
       MakeChoiceButton( this, c.layout, "Default_RadioButton", "Assign the default profile:", 1, this->choice );
   DefaultProfile_Panel = MakeDescriptionPanel( this, c.layout, "DefaultProfile_Panel" );
   Ignore_RadioButton =
       MakeChoiceButton( this, c.layout, "Ignore_RadioButton", "Leave the image untagged", 2, this->choice );
   Disable_RadioButton = MakeChoiceButton( this, c.layout, "Disable_RadioButton",
                                           "Disable color management for this image", 3, this->choice );
   FinishProfileChoiceDialog( this, c );
   OK_Button = c.ok;
   Cancel_Button = c.cancel;
}

void TMissingProfileDialog::showEvent( QShowEvent* event )
{
   QDialog::showEvent( event );
   FormShow();
}

void TMissingProfileDialog::FormShow()
{
   TMainWindow::ControlUpdateGuard guard;
   ShowImagePath( ImagePath_Panel, imagePath );
   DefaultProfile_Panel->setText( QString::fromStdString( defaultProfileDescription ) );
   QRadioButton* buttons[] = { Default_RadioButton, Ignore_RadioButton, Disable_RadioButton };
   for ( int i = 0; i < 3; ++i )
      buttons[i]->setChecked( choice == i + 1 );
}
