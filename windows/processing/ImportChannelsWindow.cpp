#include "windows/processing/ImportChannelsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>
#include <iterator>

#include "classlib/Exception.h"
#include "support/Utils.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"

namespace
{

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

QString Suffix( int32_t colorSpace, int i )
{
   return QString( "_" ) + QString::fromStdString( ImportChannels::Parameters::ComponentSuffix( colorSpace, i ) );
}

} // namespace

TImportChannelsWindow::TImportChannelsWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "ImportChannelsWindow" );
   setWindowTitle( "Import Channels" );

   space = MakeColorSpacePanel( this );
   space.Expose( RGB_RadioButton, HSV_RadioButton, CIEXYZ_RadioButton, CIELab_RadioButton, CIELch_RadioButton );
   space.OnClick( this, [this]( int32_t code ) { ColorSpace_RadioButtonClick( code ); } );

   ChannelsControls channels = MakeChannelsPanel( this, "  Channels/Source Images" );
   ViewsList = new TViewsListFrame( channels.panel );
   ViewsList->setObjectName( "ViewsList" );
   ViewsList->includePreviews = false;
   connect( ViewsList, &TViewsListFrame::ViewSelected, this, [this]( TImageWindow::View* view ) { SelectView( view ); } );
   channels.grid->addWidget( ViewsList, 0, 2 );
   channels.AddComponents(
      this,
      [&]( int i )
      {
         CH_ComboBox[i] = new QComboBox( channels.panel );
         CH_ComboBox[i]->setObjectName( QString( "CH%1_ComboBox" ).arg( i + 1 ) );
         CH_ComboBox[i]->setEditable( true );
         CH_ComboBox[i]->setCompleter( nullptr );
         CH_ComboBox[i]->setMinimumWidth( 200 );
         connect( CH_ComboBox[i], &QComboBox::activated, this, [this, i] { CH_ComboBoxSelect( i ); } );
         SetEditExitHandler( CH_ComboBox[i]->lineEdit(), [this, i] { CH_ComboBoxExit( i ); } );
         return CH_ComboBox[i];
      },
      [this]( int i ) { CH_CheckBoxClick( i ); } );
   std::copy( std::begin( channels.boxes ), std::end( channels.boxes ), CH_CheckBox );
   channels.AddAutoIdentifiers( this, [this] { AutoIdentifiers_CheckBoxClick(); } );
   AutoIdentifiers_CheckBox = channels.autoIdentifiers;
   FindCompatibleImages_CheckBox = new QCheckBox( "Find compatible images", channels.panel );
   FindCompatibleImages_CheckBox->setObjectName( "FindCompatibleImages_CheckBox" );
   connect( FindCompatibleImages_CheckBox, &QCheckBox::clicked, this,
            [this] { FindCompatibleImages_CheckBoxClick(); } );
   channels.grid->addWidget( FindCompatibleImages_CheckBox, 5, 1 );

   ButtonRow buttons =
      MakeButtonRow( this, { "Preview_SpeedButton", "SelectPreviews_SpeedButton", "Apply_SpeedButton",
                             "SelectImages_SpeedButton" } );
   buttons.buttons[0]->setText( "Preview" );
   buttons.buttons[2]->setText( "Apply" );

   auto* layout = new QGridLayout( this );
   layout->addWidget( space.panel, 0, 0 );
   layout->addWidget( channels.panel, 0, 1 );
   layout->addWidget( buttons.row, 1, 1, Qt::AlignRight );

   ViewsList->Rebuild();
   SelectView( nullptr );
}

std::unique_ptr<Process> TImportChannelsWindow::NewInstance()
{
   auto instance = std::make_unique<ImportChannels>();
   instance->Values() = parameters;
   return instance;
}

void TImportChannelsWindow::ImportInstance( const Process& instance )
{
   if ( const auto* import = dynamic_cast<const ImportChannels*>( &instance ) )
   {
      parameters = import->Values();
      SelectView( nullptr );
   }
}

void TImportChannelsWindow::SelectView( TImageWindow::View* view )
{
   target = view;
   ViewsList->currentView = view;
   ViewsList->SelectCurrentView();
   FillSourceLists();
   UpdateControls();
}

void TImportChannelsWindow::FillSourceLists()
{
   TMainWindow::ControlUpdateGuard guard;
   const qor::Image* targetImage = target != nullptr ? &target->GetImage() : nullptr;
   for ( QComboBox* box : CH_ComboBox )
      box->clear();
   for ( TImageWindow::View* view : MainViewList )
   {
      if ( view == target )
         continue;
      const qor::Image& image = view->GetImage();
      if ( image.IsColor() || ( targetImage != nullptr && ( image.Width() != targetImage->Width() ||
                                                              image.Height() != targetImage->Height() ) ) )
         continue;
      for ( QComboBox* box : CH_ComboBox )
         box->addItem( QString::fromStdString( view->Identifier() ) );
   }
   for ( int i = 0; i < 3; ++i )
      CH_ComboBox[i]->setEditText( QString::fromStdString( parameters.imageIdentifiers[size_t( i )] ) );
}

void TImportChannelsWindow::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   space.Show( parameters.colorSpace, CH_CheckBox );
   for ( int i = 0; i < 3; ++i )
      CH_CheckBox[i]->setChecked( parameters.channels[size_t( i )] );
   if ( autoIdentifiers )
      SetAutoIdentifiers();
   else if ( findCompatibleImages )
      FindCompatibleImages();
   for ( int i = 0; i < 3; ++i )
   {
      CH_ComboBox[i]->setEditText( QString::fromStdString( parameters.imageIdentifiers[size_t( i )] ) );
      CH_ComboBox[i]->setEnabled( parameters.channels[size_t( i )] && !autoIdentifiers );
   }
   AutoIdentifiers_CheckBox->setChecked( autoIdentifiers );
   FindCompatibleImages_CheckBox->setChecked( findCompatibleImages );
   FindCompatibleImages_CheckBox->setEnabled( !autoIdentifiers );
}

void TImportChannelsWindow::SetAutoIdentifiers()
{
   TMainWindow::ControlUpdateGuard guard;
   for ( int i = 0; i < 3; ++i )
      parameters.imageIdentifiers[size_t( i )] = ImportChannels::Parameters::DefaultIdentifier( parameters.colorSpace, i );
   for ( QComboBox* box : CH_ComboBox )
      box->clear();
}

void TImportChannelsWindow::FindCompatibleImages()
{
   TMainWindow::ControlUpdateGuard guard;
   for ( int i = 0; i < 3; ++i )
   {
      QComboBox* box = CH_ComboBox[i];
      int selected = 0;
      const QString suffix = Suffix( parameters.colorSpace, i );
      for ( int k = 0; k < box->count(); ++k )
         if ( box->itemText( k ).contains( suffix ) )
            selected = k;
      box->setCurrentIndex( box->count() > 0 ? selected : -1 );
      parameters.imageIdentifiers[size_t( i )] = box->count() > 0 ? box->itemText( selected ).toStdString() : "";
   }
}

void TImportChannelsWindow::FormShow()
{
   TImageWindow* active = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
   if ( active != nullptr && active->image != nullptr && active->image->IsColor() )
      SelectView( active->mainView );
}

void TImportChannelsWindow::showEvent( QShowEvent* event )
{
   TProcessingWindow::showEvent( event );
   FormShow();
}

void TImportChannelsWindow::ViewCreated( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TImportChannelsWindow::ViewRenamed( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TImportChannelsWindow::ViewUpdated( TImageWindow::View& view )
{
   if ( &view == target )
      SelectView( view.GetImage().IsColor() ? &view : nullptr );
}

void TImportChannelsWindow::ViewDeleted( TImageWindow::View& view )
{
   ViewsList->RemoveView( &view );
   if ( &view == target )
      SelectView( nullptr );
}

void TImportChannelsWindow::ColorSpace_RadioButtonClick( int32_t colorSpace )
{
   parameters.colorSpace = colorSpace;
   parameters.channels = { true, true, true };
   UpdateControls();
}

void TImportChannelsWindow::CH_CheckBoxClick( int i )
{
   if ( UpdatingControls() )
      return;
   parameters.channels[size_t( i )] = CH_CheckBox[i]->isChecked();
   if ( parameters.NoChannel() )
      parameters.channels = { true, true, true };
   UpdateControls();
}

void TImportChannelsWindow::CH_ComboBoxSelect( int i )
{
   if ( UpdatingControls() )
      return;
   parameters.imageIdentifiers[size_t( i )] = CH_ComboBox[i]->currentText().toStdString();
}

void TImportChannelsWindow::CH_ComboBoxExit( int i )
{
   if ( autoIdentifiers )
      return;
   std::string& identifier = parameters.imageIdentifiers[size_t( i )];
   try
   {
      ReadIdentifierFromEdit( identifier, CH_ComboBox[i]->lineEdit(), true, true, identifier );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   CH_ComboBox[i]->setEditText( QString::fromStdString( identifier ) );
}

void TImportChannelsWindow::AutoIdentifiers_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   autoIdentifiers = AutoIdentifiers_CheckBox->isChecked();
   FillSourceLists();
   UpdateControls();
}

void TImportChannelsWindow::FindCompatibleImages_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   findCompatibleImages = FindCompatibleImages_CheckBox->isChecked();
   UpdateControls();
}

TImportChannelsWindow& ImportChannelsWindow()
{
   static QPointer<TImportChannelsWindow> window;
   if ( window == nullptr )
      window = new TImportChannelsWindow;
   return *window;
}
