#include "windows/dialogs/NewImageFromPreviewDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QToolButton>

#include "classlib/Exception.h"
#include "platform/ICCProfile.h"
#include "process/ProcessContainer.h"
#include "support/FailureReport.h"
#include "support/Utils.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/main/MainWindow.h"

TNewImageFromPreviewDialog::TNewImageFromPreviewDialog( QWidget* owner ) : TProcessingDialog( owner )
{
   setObjectName( "NewImageFromPreviewDialog" );
   setWindowTitle( "New Image from Preview" );
   auto* layout = new QGridLayout( this );
   layout->addWidget( new QLabel( "Image Identifier:", this ), 0, 0 );
   ImageIdentifier_Edit = new QLineEdit( this );
   ImageIdentifier_Edit->setObjectName( "ImageIdentifier_Edit" );
   ImageIdentifier_Edit->setMinimumWidth( 200 );
   SetEditExitHandler( ImageIdentifier_Edit, [this] { ImageIdentifier_EditExit(); } );
   layout->addWidget( ImageIdentifier_Edit, 0, 1, 1, 2 );
   DeletePreview_CheckBox = new QCheckBox( "Delete preview", this );
   DeletePreview_CheckBox->setObjectName( "DeletePreview_CheckBox" );
   connect( DeletePreview_CheckBox, &QCheckBox::clicked, this, [this] { DeletePreview_CheckBoxClick(); } );
   layout->addWidget( DeletePreview_CheckBox, 1, 1, 1, 2 );
   MakeOKCancelButtons( OK_SpeedButton, Cancel_SpeedButton );
   layout->addWidget( OK_SpeedButton, 2, 1 );
   layout->addWidget( Cancel_SpeedButton, 2, 2 );
}

void TNewImageFromPreviewDialog::showEvent( QShowEvent* event )
{
   FormShow();
   TProcessingDialog::showEvent( event );
}

void TNewImageFromPreviewDialog::FormShow()
{
   identifier = DefaultImageIdentifier();
   created = false;
   TMainWindow::ControlUpdateGuard guard;
   ImageIdentifier_Edit->setText( QString::fromStdString( identifier ) );
   DeletePreview_CheckBox->setChecked( deletePreview );
}

void TNewImageFromPreviewDialog::ImageIdentifier_EditExit()
{
   try
   {
      ReadIdentifierFromEdit( identifier, ImageIdentifier_Edit, true, true );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   ImageIdentifier_Edit->setText( QString::fromStdString( identifier ) );
}

void TNewImageFromPreviewDialog::DeletePreview_CheckBoxClick()
{
   if ( MainWindow == nullptr || !MainWindow->UpdatingControls() )
      deletePreview = DeletePreview_CheckBox->isChecked();
}

std::string TNewImageFromPreviewDialog::NewIdentifier() const
{
   const std::string source = preview->Window()->mainView->Identifier() + "_" + preview->Identifier();
   std::string checked;
   ParseIdentifier( checked, identifier, true, true );
   std::string result = UniqueImageIdentifier( ExpandIdentifierMacros( checked, source, false ) );
   ParseIdentifier( result, result, false, false );
   return result;
}

TImageWindow* TNewImageFromPreviewDialog::CreateImage()
{
   if ( preview == nullptr )
      return nullptr;
   try
   {
      TImageWindow& source = *preview->Window();
      const std::string id = NewIdentifier();
      std::unique_ptr<ProcessContainer> history;
      if ( !preview->History().instances.IsEmpty() )
         history = std::make_unique<ProcessContainer>( preview->History() );
      // The new window gets a copy, and the preview goes only once the window stands: a failure on the way (an
      // exhausted memory) leaves the preview and its pixels where they were.
      auto image = std::make_unique<qor::Image>();
      image->Assign( preview->GetImage() );
      std::unique_ptr<std::vector<uint8_t>> profile;
      if ( source.iccProfile != nullptr )
         profile = CopyICCProfileData( *source.iccProfile );

      TImageWindow* window = CreateImageWindow( MainWindow, image.release(), id, history.release() );
      window->rgbWorkingSpace = source.rgbWorkingSpace;
      if ( profile != nullptr )
         window->SetICCProfile( std::move( profile ), true );
      if ( source.colorManagementEnabled )
         window->EnableColorManagement();
      else
         window->DisableColorManagement();
      // The switches change nothing while display colour management is unavailable; the state is kept all the same.
      window->colorManagementEnabled = source.colorManagementEnabled;
      if ( deletePreview )
         source.DeletePreview( preview );
      preview = nullptr;
      window->mainView->Modified( true );
      window->Frame()->raise();
      return window;
   }
   catch ( ... )
   {
      ReportCaughtFailure( "windows/dialogs/NewImageFromPreviewDialog", __LINE__ );
      return nullptr;
   }
}

void TNewImageFromPreviewDialog::Apply()
{
   created = CreateImage() != nullptr;
}

bool TNewImageFromPreviewDialog::CloseAfterApply() const
{
   return created;
}

std::unique_ptr<Process> TNewImageFromPreviewDialog::NewInstance()
{
   return nullptr;
}

TNewImageFromPreviewDialog& NewImageFromPreviewDialog()
{
   static TNewImageFromPreviewDialog* dialog = new TNewImageFromPreviewDialog( nullptr );
   return *dialog;
}
