#include "windows/dialogs/PreviewPropertiesDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include <algorithm>

#include "classlib/Exception.h"
#include "support/Utils.h"
#include "windows/main/MainWindow.h"

TPreviewPropertiesDialog::TPreviewPropertiesDialog( QWidget* owner ) : TProcessingDialog( owner )
{
   setObjectName( "PreviewPropertiesDialog" );
   setWindowTitle( "Preview Properties" );
   auto* layout = new QGridLayout( this );
   auto edit = [&]( const char* label, const char* name, int row, void ( TPreviewPropertiesDialog::*exit )() )
   {
      layout->addWidget( new QLabel( label, this ), row, 0 );
      auto* e = new QLineEdit( this );
      e->setObjectName( name );
      layout->addWidget( e, row, 1, 1, 2 );
      SetEditExitHandler( e, [this, exit] { ( this->*exit )(); } );
      return e;
   };
   Identifier_Edit = edit( "Identifier:", "Identifier_Edit", 0, &TPreviewPropertiesDialog::Identifier_EditExit );
   Left_Edit = edit( "Left:", "Left_Edit", 1, &TPreviewPropertiesDialog::Left_EditExit );
   Top_Edit = edit( "Top:", "Top_Edit", 2, &TPreviewPropertiesDialog::Top_EditExit );
   Width_Edit = edit( "Width:", "Width_Edit", 3, &TPreviewPropertiesDialog::Width_EditExit );
   Height_Edit = edit( "Height:", "Height_Edit", 4, &TPreviewPropertiesDialog::Height_EditExit );
   SizeInfo_StaticText = new QLabel( this );
   SizeInfo_StaticText->setObjectName( "SizeInfo_StaticText" );
   SizeInfo_StaticText->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   layout->addWidget( SizeInfo_StaticText, 5, 0, 1, 3 );
   MakeOKCancelButtons( OK_SpeedButton, Cancel_SpeedButton );
   layout->addWidget( OK_SpeedButton, 6, 1 );
   layout->addWidget( Cancel_SpeedButton, 6, 2 );
   Init();
}

TPreviewPropertiesDialog& PreviewPropertiesDialog()
{
   static TPreviewPropertiesDialog* dialog = new TPreviewPropertiesDialog( nullptr );
   return *dialog;
}

TImageWindow* TPreviewPropertiesDialog::Window() const
{
   return preview != nullptr ? preview->Window() : targetWindow;
}

int32_t TPreviewPropertiesDialog::ImageWidth() const
{
   const TImageWindow* w = Window();
   return w != nullptr ? w->image->Width() : DefaultPreviewSize;
}

int32_t TPreviewPropertiesDialog::ImageHeight() const
{
   const TImageWindow* w = Window();
   return w != nullptr ? w->image->Height() : DefaultPreviewSize;
}

void TPreviewPropertiesDialog::Init()
{
   if ( preview != nullptr )
   {
      setWindowTitle( "Preview Properties" );
      identifier = preview->Identifier();
      left = preview->left;
      top = preview->top;
      width = preview->GetImage().Width();
      height = preview->GetImage().Height();
   }
   else if ( targetWindow != nullptr )
   {
      setWindowTitle( "New Preview" );
      identifier = targetWindow->DefaultPreviewIdentifier();
      left = top = 0;
      width = std::min( DefaultPreviewSize, targetWindow->image->Width() );
      height = std::min( DefaultPreviewSize, targetWindow->image->Height() );
   }
   else
   {
      identifier.clear();
      left = top = 0;
      width = height = DefaultPreviewSize;
   }
}

void TPreviewPropertiesDialog::showEvent( QShowEvent* event )
{
   FormShow();
   TProcessingDialog::showEvent( event );
}

void TPreviewPropertiesDialog::FormShow()
{
   if ( targetWindow == nullptr && preview == nullptr && MainWindow != nullptr )
      targetWindow = MainWindow->ActiveImageWindow();
   Init();
   Identifier_Edit->setText( QString::fromStdString( identifier ) );
   WriteIntegerToEdit( Left_Edit, left );
   WriteIntegerToEdit( Top_Edit, top );
   WriteIntegerToEdit( Width_Edit, width );
   WriteIntegerToEdit( Height_Edit, height );
   UpdateSizeInfo();
}

void TPreviewPropertiesDialog::UpdateSizeInfo()
{
   const TImageWindow* w = Window();
   const bool grey = w != nullptr && !w->image->IsColor();
   const double bytes = ( grey ? 4.0 : 12.0 ) * width * height;
   SizeInfo_StaticText->setText( QString::asprintf( "32-bits size: %.3f MB", bytes / 1048576 ) );
}

bool TPreviewPropertiesDialog::ReadInteger( QLineEdit* edit, int32_t minimum, int32_t maximum, int32_t& value )
{
   try
   {
      value = int32_t( ReadNumberFromEdit( edit, minimum, maximum, false ) );
      return true;
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
      WriteIntegerToEdit( edit, value );
      return false;
   }
}

void TPreviewPropertiesDialog::Identifier_EditExit()
{
   try
   {
      ReadIdentifierFromEdit( identifier, Identifier_Edit, true, true, identifier );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   Identifier_Edit->setText( QString::fromStdString( identifier ) );
}

void TPreviewPropertiesDialog::Left_EditExit()
{
   int32_t value = left;
   if ( ReadInteger( Left_Edit, 0, ImageWidth() - 1, value ) )
      left = std::max( 0, std::min( value, ImageWidth() - width ) );
   WriteIntegerToEdit( Left_Edit, left );
}

void TPreviewPropertiesDialog::Top_EditExit()
{
   int32_t value = top;
   if ( ReadInteger( Top_Edit, 0, ImageHeight() - 1, value ) )
      top = std::max( 0, std::min( value, ImageHeight() - height ) );
   WriteIntegerToEdit( Top_Edit, top );
}

void TPreviewPropertiesDialog::Width_EditExit()
{
   int32_t value = width;
   if ( ReadInteger( Width_Edit, std::min( ImageWidth(), MinimumPreviewSize ), ImageWidth(), value ) )
      width = std::min( value, ImageWidth() - left );
   WriteIntegerToEdit( Width_Edit, width );
   UpdateSizeInfo();
}

void TPreviewPropertiesDialog::Height_EditExit()
{
   int32_t value = height;
   if ( ReadInteger( Height_Edit, std::min( ImageHeight(), MinimumPreviewSize ), ImageHeight(), value ) )
      height = std::min( value, ImageHeight() - top );
   WriteIntegerToEdit( Height_Edit, height );
   UpdateSizeInfo();
}

std::unique_ptr<Process> TPreviewPropertiesDialog::NewInstance()
{
   return nullptr;
}

void TPreviewPropertiesDialog::Apply()
{
   TImageWindow* window = Window();
   if ( window == nullptr )
      return;
   std::string id = identifier;
   if ( preview == nullptr || id != preview->Identifier() )
   {
      std::string checked;
      ParseIdentifier( checked, id, true, true );
      id = window->UniquePreviewIdentifier( window->ExpandPreviewIdentifierMacros( checked, false ) );
      ParseIdentifier( checked, id, false, false );
      id = checked;
   }
   if ( preview != nullptr )
      window->ModifyPreview( preview, id, left, top, width, height );
   else
      window->CreatePreview( id, left, top, width, height );
}
