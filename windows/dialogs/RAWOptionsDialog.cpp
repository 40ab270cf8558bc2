#include "windows/dialogs/RAWOptionsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cmath>

#include "classlib/ColorSpace.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "support/Utils.h"
#include "windows/main/MainWindow.h"

namespace
{

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

// Bits and floating point of the sample-format items, in list order.
struct SampleFormatItem
{
   const char* text;
   int32_t bits;
   bool isFloat;
};
const SampleFormatItem SampleFormats[] = { { "8-bit integer", 8, false },
                                           { "16-bit integer", 16, false },
                                           { "32-bit integer", 32, false },
                                           { "32-bit IEEE floating-point", 32, true },
                                           { "64-bit IEEE floating-point", 64, true } };

constexpr double FourGB = 4294967296.0;

// The bytes of a file of the given size that data of the given size leave in front of them, exactly: the sizes of
// files are integers below 2^53, which double holds, and a header can be larger than 4 GB.
uint64_t HeaderBytes( double fileSize, double needed )
{
   return uint64_t( fileSize ) - uint64_t( needed );
}

} // namespace

TRAWFileOptionsDialog::TRAWFileOptionsDialog( QWidget* owner, const qor::Image& image, RAWOptions& options )
    : TRAWFileOptionsDialog( owner, &image, std::string(), options )
{
}

TRAWFileOptionsDialog::TRAWFileOptionsDialog( QWidget* owner, const std::string& path, RAWOptions& options )
    : TRAWFileOptionsDialog( owner, nullptr, path, options )
{
}

TRAWFileOptionsDialog::TRAWFileOptionsDialog( QWidget* owner, const qor::Image* image, const std::string& path,
                                              RAWOptions& options )
    : TProcessingDialog( owner ), image( image ), path( path ), options( options ), working( options )
{
   setObjectName( "RAWFileOptionsDialog" );
   setWindowTitle( "RAW Format & Options" );

   auto label = [this]( QLabel*& l, const char* name, const char* text )
   {
      l = new QLabel( text, this );
      l->setObjectName( name );
   };
   auto edit = [this]( QLineEdit*& e, const char* name, void ( TRAWFileOptionsDialog::*exit )() )
   {
      e = new QLineEdit( this );
      e->setObjectName( name );
      SetEditExitHandler( e, [this, exit] { ( this->*exit )(); } );
   };
   auto check = [this]( QCheckBox*& c, const char* name, const char* text, void ( TRAWFileOptionsDialog::*click )() )
   {
      c = new QCheckBox( text, this );
      c->setObjectName( name );
      connect( c, &QCheckBox::clicked, this, click );
   };
   label( Width_Label, "Width_Label", "Width:" );
   edit( Width_Edit, "Width_Edit", &TRAWFileOptionsDialog::Width_EditExit );
   label( Height_Label, "Height_Label", "Height:" );
   edit( Height_Edit, "Height_Edit", &TRAWFileOptionsDialog::Height_EditExit );
   label( Channels_Label, "Channels_Label", "Channels:" );
   edit( Channels_Edit, "Channels_Edit", &TRAWFileOptionsDialog::Channels_EditExit );
   label( ColorSpace_Label, "ColorSpace_Label", "Color Space:" );
   ColorSpace_ComboBox = new QComboBox( this );
   ColorSpace_ComboBox->setObjectName( "ColorSpace_ComboBox" );
   label( DataOffset_Label, "DataOffset_Label", "Header Size:" );
   edit( DataOffset_Edit, "DataOffset_Edit", &TRAWFileOptionsDialog::DataOffset_EditExit );
   check( KeepHeader_CheckBox, "KeepHeader_CheckBox", "Keep Hdr.", &TRAWFileOptionsDialog::KeepHeader_CheckBoxClick );
   label( SampleFormat_Label, "SampleFormat_Label", "Sample Format:" );
   SampleFormat_ComboBox = new QComboBox( this );
   SampleFormat_ComboBox->setObjectName( "SampleFormat_ComboBox" );
   check( Signed_CheckBox, "Signed_CheckBox", "Signed integers", &TRAWFileOptionsDialog::Signed_CheckBoxClick );
   check( Planar_CheckBox, "Planar_CheckBox", "Planar organization", &TRAWFileOptionsDialog::Planar_CheckBoxClick );
   check( ReverseBytes_CheckBox, "ReverseBytes_CheckBox", "Big-endian byte order",
          &TRAWFileOptionsDialog::ReverseBytes_CheckBoxClick );
   ReverseBytes_CheckBox->setToolTip( "Reverse byte order w.r.t. PC machines" );
   Info_Panel = new QLabel( this );
   Info_Panel->setObjectName( "Info_Panel" );
   Info_Panel->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   OK_SpeedButton = new QPushButton( "OK", this );
   OK_SpeedButton->setObjectName( "OK_SpeedButton" );
   Cancel_SpeedButton = new QPushButton( "Cancel", this );
   Cancel_SpeedButton->setObjectName( "Cancel_SpeedButton" );
   for ( QPushButton* b : { OK_SpeedButton, Cancel_SpeedButton } )
      b->setAutoDefault( false );
   connect( ColorSpace_ComboBox, &QComboBox::activated, this, &TRAWFileOptionsDialog::ColorSpace_ComboBoxSelect );
   connect( SampleFormat_ComboBox, &QComboBox::activated, this, &TRAWFileOptionsDialog::SampleFormat_ComboBoxSelect );

   auto* grid = new QGridLayout;
   int row = 0;
   for ( auto [l, w] : std::initializer_list<std::pair<QWidget*, QWidget*>>{ { Width_Label, Width_Edit },
                                                                             { Height_Label, Height_Edit },
                                                                             { Channels_Label, Channels_Edit },
                                                                             { ColorSpace_Label, ColorSpace_ComboBox },
                                                                             { DataOffset_Label, DataOffset_Edit },
                                                                             { SampleFormat_Label, SampleFormat_ComboBox } } )
   {
      grid->addWidget( l, row, 0 );
      grid->addWidget( w, row++, 1 );
   }
   grid->addWidget( KeepHeader_CheckBox, 4, 2 );
   auto* checks = new QVBoxLayout;
   for ( QWidget* w : std::initializer_list<QWidget*>{ Signed_CheckBox, Planar_CheckBox, ReverseBytes_CheckBox } )
      checks->addWidget( w );
   auto* buttons = new QHBoxLayout;
   buttons->addWidget( Info_Panel, 1 );
   buttons->addWidget( OK_SpeedButton );
   buttons->addWidget( Cancel_SpeedButton );
   auto* layout = new QVBoxLayout( this );
   layout->addLayout( grid );
   layout->addLayout( checks );
   layout->addLayout( buttons );

   SetupControls();
   UpdateControls();
   Width_Edit->setFocus();
}

void TRAWFileOptionsDialog::SetupControls()
{
   ColorSpace_ComboBox->addItems( { "Grayscale", "RGB Color" } );
   for ( const SampleFormatItem& item : SampleFormats )
      SampleFormat_ComboBox->addItem( item.text );

   if ( !Reading() )
   {
      working.width = image->Width();
      working.height = image->Height();
      working.channels = image->NumberOfChannels();
      working.colorSpace = image->GetColorSpace() == qor::ColorSpace::Gray ? 0 : 1;
      return;
   }

   fileSize = 0;
   try
   {
      qor::File file;
      file.OpenForReading( path );
      fileSize = double( file.Size() );
   }
   catch ( ... )
   {
      fileSize = 0; // an unreadable file: nothing can be proposed
   }
   if ( fileSize == 0 )
      return;
   RAWOptions& w = working;
   if ( fileSize >= 8 && std::fmod( fileSize, 3 ) == 0 )
   {
      w.channels = 3;
      w.colorSpace = 1;
   }
   else if ( fileSize >= 4 && fileSize < 8 )
      w.bitsPerSample = std::min( w.bitsPerSample, 32 );
   else if ( fileSize < 4 )
   {
      w.floatingPoint = false;
      w.bitsPerSample = fileSize == 1 ? 8 : std::min( w.bitsPerSample, 16 );
   }
   double pixelSize = double( w.bitsPerSample / 8 ) * w.channels;
   if ( pixelSize > fileSize )
   {
      w.channels = 1;
      w.colorSpace = 0;
      pixelSize = w.bitsPerSample / 8;
   }
   w.width = w.height = int32_t( std::sqrt( float( fileSize / pixelSize ) ) );
   w.dataOffset = HeaderBytes( fileSize, double( w.width ) * w.height * pixelSize );
}

void TRAWFileOptionsDialog::UpdateFileSizeInfo()
{
   inputError = true;
   const double bytes = working.bitsPerSample / 8;
   if ( !Reading() )
   {
      fileSize = double( image->Width() ) * image->Height() * image->NumberOfChannels() * bytes + working.dataOffset;
      if ( fileSize >= FourGB )
      {
         Info_Panel->setText( " Saving file: <* file would be larger than 4 GB *>" );
         return;
      }
      Info_Panel->setText( QString( " Saving file: size = %1 bytes" ).arg( uint64_t( fileSize ) ) );
   }
   else
   {
      const double needed = double( working.width ) * working.height * working.channels * bytes;
      if ( needed > fileSize || needed <= 0 )
      {
         working.dataOffset = 0;
         Info_Panel->setText( QString( " Loading file: <* " ) +
                              ( fileSize == 0 ? "file size unknown" : "exceeded file size" ) + " *>" );
         return;
      }
      working.dataOffset = HeaderBytes( fileSize, needed );
      Info_Panel->setText( QString( " Loading file: size = %1 bytes" ).arg( uint64_t( fileSize ) ) );
   }
   inputError = false;
}

void TRAWFileOptionsDialog::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   UpdateFileSizeInfo();
   WriteIntegerToEdit( Width_Edit, working.width );
   WriteIntegerToEdit( Height_Edit, working.height );
   WriteIntegerToEdit( Channels_Edit, working.channels );
   ColorSpace_ComboBox->setCurrentIndex( working.colorSpace == 1 ? 1 : 0 );
   for ( QWidget* w : std::initializer_list<QWidget*>{ Width_Label, Width_Edit, Height_Label, Height_Edit,
                                                       Channels_Label, Channels_Edit, ColorSpace_Label,
                                                       ColorSpace_ComboBox } )
      w->setEnabled( Reading() );
   WriteRealToEdit( DataOffset_Edit, working.dataOffset, 0 );
   DataOffset_Edit->setEnabled( !Reading() && !working.keepHeader );
   DataOffset_Label->setEnabled( DataOffset_Edit->isEnabled() );
   KeepHeader_CheckBox->setChecked( working.keepHeader );
   KeepHeader_CheckBox->setEnabled( Reading() && working.dataOffset != 0 );
   for ( int i = 0; i < int( std::size( SampleFormats ) ); ++i )
      if ( SampleFormats[i].bits == working.bitsPerSample &&
           ( SampleFormats[i].isFloat == working.floatingPoint || working.bitsPerSample != 32 ) )
         SampleFormat_ComboBox->setCurrentIndex( i );
   Signed_CheckBox->setChecked( !working.unsignedSamples && !working.floatingPoint );
   Signed_CheckBox->setEnabled( !working.floatingPoint );
   Planar_CheckBox->setChecked( working.planar && working.channels > 1 );
   Planar_CheckBox->setEnabled( working.channels > 1 );
   ReverseBytes_CheckBox->setChecked( working.reverseByteOrder && working.bitsPerSample > 8 );
   ReverseBytes_CheckBox->setEnabled( working.bitsPerSample > 8 );
}

void TRAWFileOptionsDialog::ReadEdit( QLineEdit* edit, int32_t& value, double minimum, double maximum )
{
   try
   {
      value = int32_t( ReadNumberFromEdit( edit, minimum, maximum, false ) );
   }
   catch ( const qor::CatchedException& )
   {
      WriteIntegerToEdit( edit, value );
      inputError = true;
      return;
   }
   inputError = false;
   UpdateControls();
}

void TRAWFileOptionsDialog::Width_EditExit()
{
   ReadEdit( Width_Edit, working.width, 1, 32000 );
}

void TRAWFileOptionsDialog::Height_EditExit()
{
   ReadEdit( Height_Edit, working.height, 1, 32000 );
}

void TRAWFileOptionsDialog::Channels_EditExit()
{
   int32_t channels = working.channels;
   ReadEdit( Channels_Edit, channels, 1, 4096 );
   if ( channels != working.channels )
   {
      working.channels = channels;
      if ( channels < 3 )
         working.colorSpace = 0;
      UpdateControls();
   }
}

void TRAWFileOptionsDialog::DataOffset_EditExit()
{
   try
   {
      working.dataOffset = uint64_t( ReadNumberFromEdit( DataOffset_Edit, 0, 4294967295.0, true ) );
   }
   catch ( const qor::CatchedException& )
   {
      WriteRealToEdit( DataOffset_Edit, working.dataOffset, 0 );
      inputError = true;
      return;
   }
   inputError = false;
   UpdateControls();
}

void TRAWFileOptionsDialog::ColorSpace_ComboBoxSelect( int index )
{
   if ( UpdatingControls() )
      return;
   if ( index == 1 )
   {
      working.colorSpace = 1;
      working.channels = std::max( working.channels, 3 );
   }
   else
      working.colorSpace = 0;
   UpdateControls();
}

void TRAWFileOptionsDialog::SampleFormat_ComboBoxSelect( int index )
{
   if ( UpdatingControls() || index < 0 || index >= int( std::size( SampleFormats ) ) )
      return;
   working.bitsPerSample = SampleFormats[index].bits;
   working.floatingPoint = SampleFormats[index].isFloat;
   UpdateControls();
}

void TRAWFileOptionsDialog::Signed_CheckBoxClick()
{
   if ( !UpdatingControls() )
      working.unsignedSamples = !Signed_CheckBox->isChecked();
}

void TRAWFileOptionsDialog::Planar_CheckBoxClick()
{
   if ( !UpdatingControls() )
      working.planar = Planar_CheckBox->isChecked();
}

void TRAWFileOptionsDialog::ReverseBytes_CheckBoxClick()
{
   if ( !UpdatingControls() )
      working.reverseByteOrder = ReverseBytes_CheckBox->isChecked();
}

void TRAWFileOptionsDialog::KeepHeader_CheckBoxClick()
{
   if ( !UpdatingControls() )
      working.keepHeader = KeepHeader_CheckBox->isChecked();
}

void TRAWFileOptionsDialog::Apply()
{
   UpdateFileSizeInfo();
   if ( !inputError )
      options = working;
}

bool TRAWFileOptionsDialog::CloseAfterApply() const
{
   return !inputError;
}
