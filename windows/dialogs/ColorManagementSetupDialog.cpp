#include "windows/dialogs/ColorManagementSetupDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include "platform/ICCProfile.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/AssignICCProfileWindow.h"
#include "windows/processing/ColorSpaceControls.h"

namespace
{

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

QLabel* MakePathPanel( QWidget* parent, const char* name )
{
   auto* panel = new QLabel( parent );
   panel->setObjectName( name );
   panel->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   panel->setMinimumWidth( 320 );
   return panel;
}

QComboBox* MakeComboBox( QWidget* parent, const char* name )
{
   auto* combo = new QComboBox( parent );
   combo->setObjectName( name );
   return combo;
}

// A path or text shortened to fit its panel (inner parts give way to an ellipsis).
void ShowShortened( QLabel* panel, const std::string& text )
{
   const QString full = QString::fromStdString( text );
   panel->setText( QFontMetrics( panel->font() ).elidedText( full, Qt::ElideMiddle, std::max( 0, panel->width() - 8 ) ) );
   panel->setToolTip( full );
}

int IndexOf( const std::vector<std::string>& list, const std::string& text )
{
   for ( size_t i = 0; i < list.size(); ++i )
      if ( QString::fromStdString( list[i] ).compare( QString::fromStdString( text ), Qt::CaseInsensitive ) == 0 )
         return int( i );
   return -1;
}

std::string Selected( const std::vector<std::string>& list, const QComboBox* combo )
{
   const int i = combo->currentIndex();
   return i >= 0 && size_t( i ) < list.size() ? list[size_t( i )] : std::string();
}

// The four characters of a module signature, most significant first; "0000" for none.
QString SignatureText( uint32_t id )
{
   if ( id == 0 )
      return "0000";
   QString text;
   for ( int shift = 24; shift >= 0; shift -= 8 )
      text += QChar( char( ( id >> shift ) & 0xff ) );
   return text;
}

} // namespace

TColorManagementSetupDialog::TColorManagementSetupDialog( QWidget* owner ) : TProcessingDialog( owner )
{
   setObjectName( "ColorManagementSetupDialog" );
   setWindowTitle( "Color Management Setup" );
   auto* layout = new QGridLayout( this );
   int row = 0;

   layout->addWidget( MakeCaptionPanel( this, "MonitorProfileCaption_Panel", "  Monitor Profile" ), row++, 0, 1, 3 );
   MonitorProfile_Edit = new QLineEdit( this );
   MonitorProfile_Edit->setObjectName( "MonitorProfile_Edit" );
   MonitorProfile_Edit->setReadOnly( true );
   layout->addWidget( MonitorProfile_Edit, row++, 0, 1, 3 );
   MonitorProfilePath_Panel = MakePathPanel( this, "MonitorProfilePath_Panel" );
   layout->addWidget( MonitorProfilePath_Panel, row++, 0, 1, 3 );
   RenderingIntent_Label = new QLabel( "Rendering Intent:", this );
   RenderingIntent_Label->setObjectName( "RenderingIntent_Label" );
   RenderingIntent_ComboBox = MakeComboBox( this, "RenderingIntent_ComboBox" );
   {
      TMainWindow::ControlUpdateGuard guard;
      RenderingIntent_ComboBox->addItems( RenderingIntentItems() );
   }
   layout->addWidget( RenderingIntent_Label, row, 0 );
   layout->addWidget( RenderingIntent_ComboBox, row++, 1, 1, 2 );

   layout->addWidget( MakeCaptionPanel( this, "DefaultProfilesCaption_Panel", "  Default Profiles" ), row++, 0, 1, 3 );
   DefaultRGBProfile_Label = new QLabel( "RGB:", this );
   DefaultRGBProfile_Label->setObjectName( "DefaultRGBProfile_Label" );
   DefaultRGBProfile_ComboBox = MakeComboBox( this, "DefaultRGBProfile_ComboBox" );
   DefaultRGBProfilePath_Panel = MakePathPanel( this, "DefaultRGBProfilePath_Panel" );
   layout->addWidget( DefaultRGBProfile_Label, row, 0 );
   layout->addWidget( DefaultRGBProfile_ComboBox, row++, 1, 1, 2 );
   layout->addWidget( DefaultRGBProfilePath_Panel, row++, 1, 1, 2 );
   DefaultGrayProfile_Label = new QLabel( "Gray:", this );
   DefaultGrayProfile_Label->setObjectName( "DefaultGrayProfile_Label" );
   DefaultGrayProfile_ComboBox = MakeComboBox( this, "DefaultGrayProfile_ComboBox" );
   DefaultGrayProfilePath_Panel = MakePathPanel( this, "DefaultGrayProfilePath_Panel" );
   layout->addWidget( DefaultGrayProfile_Label, row, 0 );
   layout->addWidget( DefaultGrayProfile_ComboBox, row++, 1, 1, 2 );
   layout->addWidget( DefaultGrayProfilePath_Panel, row++, 1, 1, 2 );

   layout->addWidget( MakeCaptionPanel( this, "CMMCaption_Panel", "  Color Management Module" ), row++, 0, 1, 3 );
   CMM_ComboBox = MakeComboBox( this, "CMM_ComboBox" );
   CMMPath_Panel = MakePathPanel( this, "CMMPath_Panel" );
   layout->addWidget( CMM_ComboBox, row, 0 );
   layout->addWidget( CMMPath_Panel, row++, 1, 1, 2 );

   EnableCM_CheckBox = new QCheckBox( "Enable Color Management", this );
   EnableCM_CheckBox->setObjectName( "EnableCM_CheckBox" );
   layout->addWidget( EnableCM_CheckBox, row++, 0, 1, 3 );

   // Each group of radio buttons on a widget of its own, so that the two groups exclude within themselves only.
   auto group = [this, layout, &row]( const char* name, const char* caption, QRadioButton** buttons,
                                      std::initializer_list<std::pair<const char*, const char*>> items )
   {
      layout->addWidget( MakeCaptionPanel( this, name, caption ), row++, 0, 1, 3 );
      auto* box = new QWidget( this );
      auto* column = new QVBoxLayout( box );
      column->setContentsMargins( 0, 0, 0, 0 );
      int i = 0;
      for ( const auto& [objectName, text] : items )
      {
         buttons[i] = new QRadioButton( text, box );
         buttons[i]->setObjectName( objectName );
         column->addWidget( buttons[i++] );
      }
      layout->addWidget( box, row++, 0, 1, 3 );
   };
   group( "MismatchCaption_Panel", "  On Profile Mismatch", Mismatch_RadioButton,
          { { "MismatchAsk_RadioButton", "Ask" },
            { "MismatchKeep_RadioButton", "Keep embedded profiles" },
            { "MismatchConvert_RadioButton", "Convert to the default profile" },
            { "MismatchDefault_RadioButton", "Discard mismatching profiles" },
            { "MismatchDisable_RadioButton", "Disable color management" } } );
   group( "MissingCaption_Panel", "  On Missing Profile", Missing_RadioButton,
          { { "MissingAsk_RadioButton", "Ask" },
            { "MissingDefault_RadioButton", "Assign the default profile" },
            { "MissingIgnore_RadioButton", "Leave the image untagged" },
            { "MissingDisable_RadioButton", "Disable color management" } } );

   Embed_CheckBox = new QCheckBox( "Embed ICC profiles in images", this );
   Embed_CheckBox->setObjectName( "Embed_CheckBox" );
   layout->addWidget( Embed_CheckBox, row++, 0, 1, 3 );

   OK_SpeedButton = new QPushButton( "OK", this );
   OK_SpeedButton->setObjectName( "OK_SpeedButton" );
   Cancel_SpeedButton = new QPushButton( "Cancel", this );
   Cancel_SpeedButton->setObjectName( "Cancel_SpeedButton" );
   auto* buttons = new QHBoxLayout;
   buttons->addStretch();
   buttons->addWidget( OK_SpeedButton );
   buttons->addWidget( Cancel_SpeedButton );
   layout->addLayout( buttons, row, 0, 1, 3 );

   connect( DefaultRGBProfile_ComboBox, &QComboBox::activated, this, [this] { DefaultRGBProfile_ComboBoxSelect(); } );
   connect( DefaultGrayProfile_ComboBox, &QComboBox::activated, this, [this] { DefaultGrayProfile_ComboBoxSelect(); } );
   connect( CMM_ComboBox, &QComboBox::activated, this, [this] { CMM_ComboBoxSelect(); } );
}

void TColorManagementSetupDialog::showEvent( QShowEvent* event )
{
   TProcessingDialog::showEvent( event );
   FormShow();
}

void TColorManagementSetupDialog::hideEvent( QHideEvent* event )
{
   TProcessingDialog::hideEvent( event );
   rgbDescriptions.clear();
   rgbPaths.clear();
   grayDescriptions.clear();
   grayPaths.clear();
   cmmIdentifiers.Clear();
   cmmTexts.clear();
}

void TColorManagementSetupDialog::FormShow()
{
   const ColorManagementSettingsRecord& s = ColorManagementSettings;
   {
      TMainWindow::ControlUpdateGuard guard;
      monitorProfileDescription = GetICCProfileDescription( s.monitorProfile );
      RenderingIntent_ComboBox->setCurrentIndex( int( s.DefaultRenderingIntent ) );

      rgbDescriptions.clear();
      rgbPaths.clear();
      grayDescriptions.clear();
      grayPaths.clear();
      std::vector<std::string> files;
      FindICCProfileFiles( files, std::string() );
      FilterICCProfiles( rgbDescriptions, rgbPaths, 0, ICCSignatureRGB, files );
      FilterICCProfiles( grayDescriptions, grayPaths, 0, ICCSignatureGray, files );
      FilterICCProfiles( grayDescriptions, grayPaths, 0, ICCSignatureRGB, files );

      // Each list shows the profile in effect: when its file is not among those listed (the monitor's profile, which
      // lives with the settings, or one from a folder not searched), it is added as an entry of its own. With no
      // profile in effect and none listed under its path, nothing is selected, and OK keeps the setting as it is.
      auto fill = []( QComboBox* combo, std::vector<std::string>& descriptions, std::vector<std::string>& paths,
                      const std::string& path, ICCProfileHandle loaded )
      {
         int index = IndexOf( paths, path );
         if ( index < 0 && loaded != nullptr && !path.empty() )
         {
            std::string description = GetICCProfileDescription( loaded );
            descriptions.push_back( description.empty() ? path : description );
            paths.push_back( path );
            index = int( paths.size() ) - 1;
         }
         combo->clear();
         for ( const std::string& d : descriptions )
            combo->addItem( QString::fromStdString( d ) );
         combo->setCurrentIndex( index );
         return index;
      };
      rgbIndex = fill( DefaultRGBProfile_ComboBox, rgbDescriptions, rgbPaths, s.DefaultRGBProfilePath,
                       s.defaultRGBProfile );
      grayIndex = fill( DefaultGrayProfile_ComboBox, grayDescriptions, grayPaths, s.DefaultGrayProfilePath,
                        s.defaultGrayProfile );

      for ( int i = 0; i < 5; ++i )
         Mismatch_RadioButton[i]->setChecked( s.OnProfileMismatch == i );
      for ( int i = 0; i < 4; ++i )
         Missing_RadioButton[i]->setChecked( s.OnMissingProfile == i );

      cmmIdentifiers.Clear();
      cmmTexts.clear();
      cmmIdentifiers.Add( 0 );
      cmmTexts.push_back( "Use profile CMM (if available) or system default CMM" );
      cmmIdentifiers.Add( 0x57696E20 );
      cmmTexts.push_back( "Always use system default CMM" );
      FindInstalledCMMs( cmmIdentifiers, cmmTexts );
      CMM_ComboBox->clear();
      cmmIndex = 0;
      for ( size_t i = 0; i < cmmIdentifiers.Length(); ++i )
      {
         CMM_ComboBox->addItem( SignatureText( cmmIdentifiers[i] ) );
         if ( cmmIdentifiers[i] == s.DefaultCMMIndex )
            cmmIndex = int( i );
      }
      CMM_ComboBox->setCurrentIndex( cmmIndex );

      Embed_CheckBox->setChecked( s.DefaultProfileEmbedding );
      EnableCM_CheckBox->setChecked( s.EnableGlobalColorManagement );
   }
   RefreshTexts();
}

void TColorManagementSetupDialog::RefreshTexts()
{
   TMainWindow::ControlUpdateGuard guard;
   MonitorProfile_Edit->setText( " " + QString::fromStdString( monitorProfileDescription ) );
   ShowShortened( MonitorProfilePath_Panel, ColorManagementSettings.monitorProfilePath );
   ShowShortened( DefaultRGBProfilePath_Panel, Selected( rgbPaths, DefaultRGBProfile_ComboBox ) );
   ShowShortened( DefaultGrayProfilePath_Panel, Selected( grayPaths, DefaultGrayProfile_ComboBox ) );
   ShowShortened( CMMPath_Panel, Selected( cmmTexts, CMM_ComboBox ) );
}

void TColorManagementSetupDialog::Apply()
{
   int8_t mismatch = 4;
   for ( int i = 0; i < 4; ++i )
      if ( Mismatch_RadioButton[i]->isChecked() )
      {
         mismatch = int8_t( i );
         break;
      }
   int8_t missing = 3;
   for ( int i = 0; i < 3; ++i )
      if ( Missing_RadioButton[i]->isChecked() )
      {
         missing = int8_t( i );
         break;
      }
   ColorManagementSettings.DefaultProfileEmbedding = Embed_CheckBox->isChecked();
   if ( EnableCM_CheckBox->isChecked() )
      ActivateGlobalColorManagement();
   else
      DeactivateGlobalColorManagement();
   const int cmm = CMM_ComboBox->currentIndex();
   // No entry selected (no profile in effect and none listed under its path): the default stays as it is.
   const std::string rgb = DefaultRGBProfile_ComboBox->currentIndex() < 0
                               ? ColorManagementSettings.DefaultRGBProfilePath
                               : Selected( rgbPaths, DefaultRGBProfile_ComboBox );
   const std::string gray = DefaultGrayProfile_ComboBox->currentIndex() < 0
                                ? ColorManagementSettings.DefaultGrayProfilePath
                                : Selected( grayPaths, DefaultGrayProfile_ComboBox );
   SetColorManagementDefaults( rgb, gray, uint32_t( std::max( 0, RenderingIntent_ComboBox->currentIndex() ) ),
                               cmm >= 0 && size_t( cmm ) < cmmIdentifiers.Length() ? cmmIdentifiers[size_t( cmm )] : 0,
                               mismatch, missing );
}

void TColorManagementSetupDialog::DefaultRGBProfile_ComboBoxSelect()
{
   if ( !UpdatingControls() )
      RefreshTexts();
}

void TColorManagementSetupDialog::DefaultGrayProfile_ComboBoxSelect()
{
   if ( !UpdatingControls() )
      RefreshTexts();
}

void TColorManagementSetupDialog::CMM_ComboBoxSelect()
{
   if ( !UpdatingControls() )
      RefreshTexts();
}

TColorManagementSetupDialog& ColorManagementSetupDialog()
{
   static QPointer<TColorManagementSetupDialog> dialog;
   if ( dialog.isNull() )
      dialog = new TColorManagementSetupDialog( MainWindow );
   return *dialog;
}
