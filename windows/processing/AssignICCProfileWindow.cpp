#include "windows/processing/AssignICCProfileWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>

#include "platform/ColorManagementSettings.h"
#include "platform/ICCProfile.h"
#include "process/ProcessWindows.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"

namespace
{

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

bool SameTextIgnoringCase( const std::string& a, const std::string& b )
{
   return QString::fromStdString( a ).compare( QString::fromStdString( b ), Qt::CaseInsensitive ) == 0;
}

} // namespace

QStringList RenderingIntentItems()
{
   return { "Perceptual (photographic images)", "Relative Colorimetric (match white points)", "Saturation (graphics)",
            "Absolute Colorimetric (proofing)" };
}

TAssignICCProfileWindow::TAssignICCProfileWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "AssignICCProfileWindow" );
   setWindowTitle( "Assign ICC Profile" );
   auto* layout = new QGridLayout( this );

   ViewsList = new TViewsListFrame( this );
   ViewsList->setObjectName( "ViewsList" );
   ViewsList->includePreviews = false;
   connect( ViewsList, &TViewsListFrame::ViewSelected, this, [this]( TImageWindow::View* view ) { SelectView( view ); } );
   layout->addWidget( ViewsList, 0, 0, 1, 2 );

   CurrentProfileCaption_Panel = MakeCaptionPanel( this, "CurrentProfileCaption_Panel", "  Current Profile" );
   CurrentProfile_Edit = new QLineEdit( this );
   CurrentProfile_Edit->setObjectName( "CurrentProfile_Edit" );
   CurrentProfile_Edit->setReadOnly( true );
   ForgetProfile_CheckBox = new QCheckBox( "Forget current profile and use defaults", this );
   ForgetProfile_CheckBox->setObjectName( "ForgetProfile_CheckBox" );
   AssignProfileCaption_Panel = MakeCaptionPanel( this, "AssignProfileCaption_Panel", "  New Profile" );
   AssignProfile_ComboBox = new QComboBox( this );
   AssignProfile_ComboBox->setObjectName( "AssignProfile_ComboBox" );
   AssignProfilePath_Panel = new QLabel( "*", this );
   AssignProfilePath_Panel->setObjectName( "AssignProfilePath_Panel" );
   AssignProfilePath_Panel->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   AssignProfilePath_Panel->setMinimumWidth( 300 );
   ConvertToProfile_CheckBox = new QCheckBox( "Transform pixel values to the assigned profile", this );
   ConvertToProfile_CheckBox->setObjectName( "ConvertToProfile_CheckBox" );
   RenderingIntent_Label = new QLabel( "Rendering Intent:", this );
   RenderingIntent_Label->setObjectName( "RenderingIntent_Label" );
   RenderingIntent_ComboBox = new QComboBox( this );
   RenderingIntent_ComboBox->setObjectName( "RenderingIntent_ComboBox" );
   {
      TMainWindow::ControlUpdateGuard guard;
      RenderingIntent_ComboBox->addItems( RenderingIntentItems() );
   }

   layout->addWidget( CurrentProfileCaption_Panel, 1, 0, 1, 2 );
   layout->addWidget( CurrentProfile_Edit, 2, 0, 1, 2 );
   layout->addWidget( ForgetProfile_CheckBox, 3, 0, 1, 2 );
   layout->addWidget( AssignProfileCaption_Panel, 4, 0, 1, 2 );
   layout->addWidget( AssignProfile_ComboBox, 5, 0, 1, 2 );
   layout->addWidget( AssignProfilePath_Panel, 6, 0, 1, 2 );
   layout->addWidget( ConvertToProfile_CheckBox, 7, 0, 1, 2 );
   layout->addWidget( RenderingIntent_Label, 8, 0 );
   layout->addWidget( RenderingIntent_ComboBox, 8, 1 );
   ButtonRow buttons = MakeButtonRow( this, { "Apply_SpeedButton", "SelectImages_SpeedButton" } );
   Apply_SpeedButton = buttons.buttons[0];
   Apply_SpeedButton->setText( "Apply" );
   SelectImages_SpeedButton = buttons.buttons[1];
   layout->addWidget( buttons.row, 9, 1, Qt::AlignRight );

   connect( AssignProfile_ComboBox, &QComboBox::activated, this, [this] { AssignProfile_ComboBoxSelect(); } );
   connect( ForgetProfile_CheckBox, &QCheckBox::clicked, this, [this] { ForgetProfile_CheckBoxClick(); } );
   connect( ConvertToProfile_CheckBox, &QCheckBox::clicked, this, [this] { ForgetProfile_CheckBoxClick(); } );

   ViewsList->Rebuild();
   SelectView( nullptr );
}

void TAssignICCProfileWindow::SelectView( TImageWindow::View* view )
{
   currentView = view;
   ViewsList->currentView = view;
   ViewsList->SelectCurrentView();
   RebuildProfileLists();
   UpdateControls();
}

void TAssignICCProfileWindow::RebuildProfileLists()
{
   const ColorManagementSettingsRecord& s = ColorManagementSettings;
   descriptions.clear();
   paths.clear();
   AssignProfile_ComboBox->clear();
   selectIndex = 0;

   TImageWindow* window = currentView != nullptr ? currentView->Window() : nullptr;
   const bool gray = window != nullptr && window->image != nullptr && !window->image->IsColor();
   ICCProfileHandle own = window != nullptr && window->iccProfile != nullptr ? OpenICCProfileData( *window->iccProfile )
                                                                              : nullptr;
   ICCProfileHandle current = own != nullptr ? own : gray ? s.defaultGrayProfile : s.defaultRGBProfile;
   if ( current == nullptr )
      return;
   std::string description = GetICCProfileDescription( current );
   CloseICCProfile( own );
   std::string shown = description;
   if ( own == nullptr )
      shown = std::string( "<* default " ) + ( gray ? "Grayscale *> " : "RGB *> " ) + description;
   CurrentProfile_Edit->setText( " " + QString::fromStdString( shown ) );

   TMainWindow::ControlUpdateGuard guard;
   std::vector<std::string> files;
   FindICCProfileFiles( files, std::string() );
   FilterICCProfiles( descriptions, paths, 0, ICCSignatureRGB, files );
   if ( window == nullptr || gray )
      FilterICCProfiles( descriptions, paths, 0, ICCSignatureGray, files );
   if ( paths.empty() )
      return;

   if ( justImported && !parameters.profilePath.empty() )
   {
      const std::string path = AssignICCProfile::ResolvePath( parameters.profilePath );
      selectIndex = -1;
      for ( size_t i = 0; i < paths.size() && selectIndex < 0; ++i )
         if ( SameTextIgnoringCase( paths[i], path ) )
            selectIndex = int( i );
      if ( selectIndex < 0 )
      {
         descriptions.push_back( "<* imported profile *>" );
         paths.push_back( path );
         selectIndex = int( paths.size() - 1 );
      }
   }
   else
   {
      // A default profile's prefixed description is never among them: the first entry then.
      for ( size_t i = 0; i < descriptions.size(); ++i )
         if ( SameTextIgnoringCase( descriptions[i], shown ) )
         {
            selectIndex = int( i );
            break;
         }
   }
   for ( const std::string& d : descriptions )
      AssignProfile_ComboBox->addItem( QString::fromStdString( d ) );
   AssignProfile_ComboBox->setCurrentIndex( std::max( selectIndex, 0 ) );

   if ( justImported && parameters.profilePath.empty() )
      ForgetProfile_CheckBox->setChecked( true );
   if ( ForgetProfile_CheckBox->isChecked() )
      ConvertToProfile_CheckBox->setChecked( false );
   else if ( justImported && parameters.convert )
      ConvertToProfile_CheckBox->setChecked( true );
   RenderingIntent_Label->setEnabled( ConvertToProfile_CheckBox->isChecked() );
   RenderingIntent_ComboBox->setEnabled( ConvertToProfile_CheckBox->isChecked() );
   RenderingIntent_ComboBox->setCurrentIndex(
       int( justImported ? uint32_t( parameters.renderingIntent ) : s.DefaultRenderingIntent ) );
   justImported = false;
}

void TAssignICCProfileWindow::UpdateControls()
{
   const int selected = AssignProfile_ComboBox->currentIndex();
   if ( paths.empty() || selected < 0 )
      return;
   TMainWindow::ControlUpdateGuard guard;
   const bool forget = ForgetProfile_CheckBox->isChecked();
   AssignProfilePath_Panel->setEnabled( !forget );
   AssignProfile_ComboBox->setEnabled( !forget );
   ConvertToProfile_CheckBox->setEnabled( !forget );
   const bool intent = ConvertToProfile_CheckBox->isChecked() && !forget;
   RenderingIntent_Label->setEnabled( intent );
   RenderingIntent_ComboBox->setEnabled( intent );
   const QFontMetrics metrics( AssignProfilePath_Panel->font() );
   AssignProfilePath_Panel->setText(
       forget ? QString()
              : metrics.elidedText( QString::fromStdString( paths[size_t( selected )] ), Qt::ElideMiddle,
                                    std::max( 0, AssignProfilePath_Panel->width() - 16 ) ) );
   AssignProfilePath_Panel->setToolTip( forget ? QString() : QString::fromStdString( paths[size_t( selected )] ) );
}

std::unique_ptr<Process> TAssignICCProfileWindow::NewInstance()
{
   AssignICCProfile::Parameters p;
   p.renderingIntent = int32_t( ColorManagementSettings.DefaultRenderingIntent );
   const int selected = AssignProfile_ComboBox->currentIndex();
   if ( !paths.empty() && selected >= 0 && !ForgetProfile_CheckBox->isChecked() )
   {
      p.profilePath = paths[size_t( selected )];
      const size_t slash = p.profilePath.rfind( '/' );
      if ( slash != std::string::npos && p.profilePath.substr( 0, slash + 1 ) == GetICCColorDirectory() + "/" )
         p.profilePath = p.profilePath.substr( slash + 1 );
      if ( ConvertToProfile_CheckBox->isChecked() )
      {
         p.convert = true;
         p.renderingIntent = RenderingIntent_ComboBox->currentIndex();
      }
   }
   return std::make_unique<AssignICCProfile>( p );
}

void TAssignICCProfileWindow::ImportInstance( const Process& instance )
{
   const auto* process = dynamic_cast<const AssignICCProfile*>( &instance );
   if ( process == nullptr )
      return;
   parameters.Assign( process->Params() );
   justImported = true;
   SelectView( nullptr );
}

void TAssignICCProfileWindow::FormShow()
{
   if ( justImported )
   {
      justImported = false;
      return;
   }
   TImageWindow* active = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
   if ( active != nullptr )
      SelectView( active->mainView );
}

void TAssignICCProfileWindow::showEvent( QShowEvent* event )
{
   TProcessingWindow::showEvent( event );
   FormShow();
}

void TAssignICCProfileWindow::ViewCreated( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TAssignICCProfileWindow::ViewRenamed( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TAssignICCProfileWindow::ViewDeleted( TImageWindow::View& view )
{
   ViewsList->RemoveView( &view );
   if ( &view == currentView )
      SelectView( nullptr );
}

void TAssignICCProfileWindow::AssignProfile_ComboBoxSelect()
{
   if ( !UpdatingControls() )
      UpdateControls();
}

void TAssignICCProfileWindow::ForgetProfile_CheckBoxClick()
{
   if ( !UpdatingControls() )
      UpdateControls();
}

TAssignICCProfileWindow& AssignICCProfileWindow()
{
   static QPointer<TAssignICCProfileWindow> window;
   if ( window.isNull() )
      window = new TAssignICCProfileWindow( MainWindow );
   return *window;
}
