#include "windows/dialogs/TIFFOptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "platform/ICCProfile.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/MainWindow.h"

namespace
{

template <typename T> T* Make( QWidget* parent, const char* name, const QString& caption = QString() )
{
   T* w = new T( parent );
   w->setObjectName( name );
   if constexpr ( requires { w->setText( caption ); } )
      if ( !caption.isNull() )
         w->setText( caption );
   return w;
}

// The memos show line breaks as the editor's own; the record keeps them as single carriage returns.
QString ShownText( const std::string& text )
{
   QString s = QString::fromStdString( text );
   s.replace( "\r\n", "\n" );
   s.replace( '\r', '\n' );
   return s;
}

std::string StoredText( const QPlainTextEdit* memo )
{
   QString s = memo->toPlainText();
   s.replace( '\n', '\r' );
   return s.toStdString();
}

} // namespace

TTIFFFileOptionsDialog::TTIFFFileOptionsDialog( QWidget* owner, TImageWindow* window, TIFFOptions& options )
    : TProcessingDialog( owner ), window( window ), options( options )
{
   setObjectName( "TIFFFileOptionsDialog" );
   setWindowTitle( "TIFF Options" );

   SampleSize_Panel = Make<QFrame>( this, "SampleSize_Panel" );
   SampleSize_Panel->setFrameShape( QFrame::StyledPanel );
   SampleSizeCaption_Panel = Make<QLabel>( SampleSize_Panel, "SampleSizeCaption_Panel", "  Sample Format" );
   _8Bits_RadioButton = Make<QRadioButton>( SampleSize_Panel, "_8Bits_RadioButton", "8-bit unsigned integer" );
   _16Bits_RadioButton = Make<QRadioButton>( SampleSize_Panel, "_16Bits_RadioButton", "16-bit unsigned integer" );
   _32Bits_RadioButton = Make<QRadioButton>( SampleSize_Panel, "_32Bits_RadioButton", "32-bit unsigned integer" );
   IEEE32FP_RadioButton = Make<QRadioButton>( SampleSize_Panel, "IEEE32FP_RadioButton", "32-bit IEEE floating point" );
   auto* sampleLayout = new QVBoxLayout( SampleSize_Panel );
   for ( QWidget* w : std::initializer_list<QWidget*>{ SampleSizeCaption_Panel, _8Bits_RadioButton, _16Bits_RadioButton,
                                                       _32Bits_RadioButton, IEEE32FP_RadioButton } )
      sampleLayout->addWidget( w );

   Compression_Panel = Make<QFrame>( this, "Compression_Panel" );
   Compression_Panel->setFrameShape( QFrame::StyledPanel );
   CompressionCaption_Panel = Make<QLabel>( Compression_Panel, "CompressionCaption_Panel", "  Compression" );
   CompressionNone_RadioButton = Make<QRadioButton>( Compression_Panel, "CompressionNone_RadioButton", "None" );
   CompressionZIP_RadioButton = Make<QRadioButton>( Compression_Panel, "CompressionZIP_RadioButton", "ZIP" );
   CompressionLZW_RadioButton =
      Make<QRadioButton>( Compression_Panel, "CompressionLZW_RadioButton", "LZW --- discouraged" );
   CompressionLZW_RadioButton->setToolTip( "LZW not recommended due to Unisys patent policy." );
   PlanarOrganization_CheckBox = Make<QCheckBox>( Compression_Panel, "PlanarOrganization_CheckBox", "Planar organization" );
   auto* compressionLayout = new QVBoxLayout( Compression_Panel );
   for ( QWidget* w : std::initializer_list<QWidget*>{ CompressionCaption_Panel, CompressionNone_RadioButton,
                                                       CompressionZIP_RadioButton, CompressionLZW_RadioButton,
                                                       PlanarOrganization_CheckBox } )
      compressionLayout->addWidget( w );

   // Radio buttons of one panel exclude each other by their parent; the groups make that explicit.
   auto* sampleGroup = new QButtonGroup( this );
   for ( QRadioButton* b : { _8Bits_RadioButton, _16Bits_RadioButton, _32Bits_RadioButton, IEEE32FP_RadioButton } )
      sampleGroup->addButton( b );
   auto* compressionGroup = new QButtonGroup( this );
   for ( QRadioButton* b : { CompressionNone_RadioButton, CompressionZIP_RadioButton, CompressionLZW_RadioButton } )
      compressionGroup->addButton( b );

   auto memo = [this]( QLabel*& caption, const char* captionName, const QString& text, QPlainTextEdit*& edit,
                       const char* editName )
   {
      caption = Make<QLabel>( this, captionName, text );
      edit = Make<QPlainTextEdit>( this, editName );
      edit->setVerticalScrollBarPolicy( Qt::ScrollBarAlwaysOn );
      edit->setFixedHeight( 60 );
      connect( edit, &QPlainTextEdit::textChanged, this, [this, edit] { EditChange( edit ); } );
   };
   memo( ImageDescriptionCaption_Panel, "ImageDescriptionCaption_Panel", " Image Description", ImageDescription_Memo,
         "ImageDescription_Memo" );
   memo( ImageCopyrightCaption_Panel, "ImageCopyrightCaption_Panel", " Image Copyright", ImageCopyright_Memo,
         "ImageCopyright_Memo" );
   memo( SoftwareDescriptionCaption_Panel, "SoftwareDescriptionCaption_Panel", " Software Description",
         SoftwareDescription_Memo, "SoftwareDescription_Memo" );

   EmbedICCProfile_CheckBox = Make<QCheckBox>( this, "EmbedICCProfile_CheckBox", "Embed ICC Profile" );
   OK_SpeedButton = Make<QPushButton>( this, "OK_SpeedButton", "OK" );
   Cancel_SpeedButton = Make<QPushButton>( this, "Cancel_SpeedButton", "Cancel" );
   for ( QPushButton* b : { OK_SpeedButton, Cancel_SpeedButton } )
   {
      b->setAutoDefault( false );
      b->setDefault( false );
   }

   connect( _8Bits_RadioButton, &QRadioButton::clicked, this, &TTIFFFileOptionsDialog::_8Bits_RadioButtonClick );
   connect( _16Bits_RadioButton, &QRadioButton::clicked, this, &TTIFFFileOptionsDialog::_16Bits_RadioButtonClick );
   connect( _32Bits_RadioButton, &QRadioButton::clicked, this, &TTIFFFileOptionsDialog::_32Bits_RadioButtonClick );
   connect( IEEE32FP_RadioButton, &QRadioButton::clicked, this, &TTIFFFileOptionsDialog::IEEE32FP_RadioButtonClick );
   connect( CompressionNone_RadioButton, &QRadioButton::clicked, this,
            &TTIFFFileOptionsDialog::CompressionNone_RadioButtonClick );
   connect( CompressionZIP_RadioButton, &QRadioButton::clicked, this,
            &TTIFFFileOptionsDialog::CompressionZIP_RadioButtonClick );
   connect( CompressionLZW_RadioButton, &QRadioButton::clicked, this,
            &TTIFFFileOptionsDialog::CompressionLZW_RadioButtonClick );
   connect( PlanarOrganization_CheckBox, &QCheckBox::clicked, this,
            &TTIFFFileOptionsDialog::PlanarOrganization_CheckBoxClick );
   connect( EmbedICCProfile_CheckBox, &QCheckBox::clicked, this,
            &TTIFFFileOptionsDialog::EmbedICCProfile_CheckBoxClick );

   auto* top = new QHBoxLayout;
   top->addWidget( SampleSize_Panel );
   top->addWidget( Compression_Panel );
   auto* buttons = new QHBoxLayout;
   buttons->addWidget( EmbedICCProfile_CheckBox );
   buttons->addStretch( 1 );
   buttons->addWidget( OK_SpeedButton );
   buttons->addWidget( Cancel_SpeedButton );
   auto* layout = new QVBoxLayout( this );
   layout->addLayout( top );
   for ( QWidget* w : std::initializer_list<QWidget*>{ ImageDescriptionCaption_Panel, ImageDescription_Memo,
                                                       ImageCopyrightCaption_Panel, ImageCopyright_Memo,
                                                       SoftwareDescriptionCaption_Panel, SoftwareDescription_Memo } )
      layout->addWidget( w );
   layout->addLayout( buttons );
}

void TTIFFFileOptionsDialog::showEvent( QShowEvent* event )
{
   TProcessingDialog::showEvent( event );
   FormShow();
}

void TTIFFFileOptionsDialog::FormShow()
{
   TMainWindow::ControlUpdateGuard guard;
   if ( options.floatingPoint )
      options.bitsPerSample = 32;
   working = TIFFOptions();
   working.bitsPerSample = options.bitsPerSample;
   working.floatingPoint = options.floatingPoint;
   working.compression = options.compression;
   working.planar = options.planar;
   working.metricResolution = options.metricResolution;
   working.xResolution = options.xResolution;
   working.yResolution = options.yResolution;

   _8Bits_RadioButton->setChecked( working.bitsPerSample == 8 );
   _16Bits_RadioButton->setChecked( working.bitsPerSample == 16 );
   _32Bits_RadioButton->setChecked( working.bitsPerSample == 32 && !working.floatingPoint );
   IEEE32FP_RadioButton->setChecked( working.floatingPoint );
   CompressionNone_RadioButton->setChecked( working.compression == TIFFOptions::NoCompression );
   CompressionZIP_RadioButton->setChecked( working.compression == TIFFOptions::ZIPCompression );
   CompressionLZW_RadioButton->setChecked( working.compression == TIFFOptions::LZWCompression );
   PlanarOrganization_CheckBox->setChecked( working.planar );
   ImageDescription_Memo->setPlainText( ShownText( options.description ) );
   ImageCopyright_Memo->setPlainText( ShownText( options.copyright ) );
   SoftwareDescription_Memo->setPlainText( ShownText( options.software ) );

   SetupEmbedICCProfileCheckBox( EmbedICCProfile_CheckBox, window );
   working.embedICCProfile = EmbedICCProfile_CheckBox->isChecked();
   changedCount = 0;
   SampleSize_Panel->setFocus();
}

void TTIFFFileOptionsDialog::SetSampleFormat( int32_t bits, bool isFloat )
{
   if ( working.bitsPerSample == bits && working.floatingPoint == isFloat )
      return;
   working.bitsPerSample = bits;
   working.floatingPoint = isFloat;
   ++changedCount;
}

void TTIFFFileOptionsDialog::_8Bits_RadioButtonClick()
{
   SetSampleFormat( 8, false );
}

void TTIFFFileOptionsDialog::_16Bits_RadioButtonClick()
{
   SetSampleFormat( 16, false );
}

void TTIFFFileOptionsDialog::_32Bits_RadioButtonClick()
{
   SetSampleFormat( 32, false );
}

void TTIFFFileOptionsDialog::IEEE32FP_RadioButtonClick()
{
   SetSampleFormat( 32, true );
}

void TTIFFFileOptionsDialog::SetCompression( int32_t compression )
{
   working.compression = compression;
   ++changedCount;
}

void TTIFFFileOptionsDialog::CompressionNone_RadioButtonClick()
{
   SetCompression( TIFFOptions::NoCompression );
}

void TTIFFFileOptionsDialog::CompressionZIP_RadioButtonClick()
{
   SetCompression( TIFFOptions::ZIPCompression );
}

void TTIFFFileOptionsDialog::CompressionLZW_RadioButtonClick()
{
   SetCompression( TIFFOptions::LZWCompression );
}

void TTIFFFileOptionsDialog::PlanarOrganization_CheckBoxClick()
{
   working.planar = PlanarOrganization_CheckBox->isChecked();
   ++changedCount;
}

void TTIFFFileOptionsDialog::EmbedICCProfile_CheckBoxClick()
{
   working.embedICCProfile = EmbedICCProfile_CheckBox->isChecked();
   ++changedCount;
}

void TTIFFFileOptionsDialog::EditChange( QPlainTextEdit* memo )
{
   if ( memo->document()->isModified() )
      ++changedCount;
}

void TTIFFFileOptionsDialog::Apply()
{
   if ( changedCount == 0 )
      return;
   options.bitsPerSample = working.bitsPerSample;
   options.floatingPoint = working.floatingPoint;
   options.compression = working.compression;
   options.planar = working.planar;
   options.description = StoredText( ImageDescription_Memo );
   options.copyright = StoredText( ImageCopyright_Memo );
   options.software = StoredText( SoftwareDescription_Memo );
   options.embedICCProfile = working.embedICCProfile;
}
