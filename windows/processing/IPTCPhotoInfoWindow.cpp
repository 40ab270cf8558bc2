#include "windows/processing/IPTCPhotoInfoWindow.h"

#include <QComboBox>
#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

#include <algorithm>
#include <cstdio>

#include "classlib/Exception.h"
#include "platform/FileDialogs.h"
#include "platform/Prompter.h"
#include "process/IPTCPhotoInfoData.h"
#include "support/FailureReport.h"
#include "support/Utils.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"

namespace
{

constexpr const char* SourceName = "windows/processing/IPTCPhotoInfoWindow_";
constexpr const char* ModuleExtension = ".lf-iptc";

QString ModuleFilter()
{
   return QString( "IPTC Photo Info Files (*" ) + ModuleExtension + ")";
}

QLineEdit* MakeEdit( QWidget* parent, const char* name, int maximumLength )
{
   auto* edit = new QLineEdit( parent );
   edit->setObjectName( name );
   edit->setMaxLength( maximumLength );
   return edit;
}

QPlainTextEdit* MakeMemo( QWidget* parent, const char* name )
{
   auto* memo = new QPlainTextEdit( parent );
   memo->setObjectName( name );
   memo->setTabChangesFocus( true );
   return memo;
}

// A memo's text with the stored CR line breaks (CR LF from elsewhere too) as the editor's line feeds, and back.
QString ShownText( const std::string& value )
{
   return QString::fromStdString( value ).replace( "\r\n", "\n" ).replace( '\r', '\n' );
}

std::string StoredText( const QString& text )
{
   return QString( text ).replace( '\n', '\r' ).toStdString();
}

QString ControlText( QWidget* control )
{
   if ( auto* memo = qobject_cast<QPlainTextEdit*>( control ) )
      return memo->toPlainText();
   return static_cast<QLineEdit*>( control )->text();
}

void SetControlText( QWidget* control, const QString& text )
{
   if ( auto* memo = qobject_cast<QPlainTextEdit*>( control ) )
      memo->setPlainText( text );
   else
      static_cast<QLineEdit*>( control )->setText( text );
}

void Set( qor::IPTCPhotoInfo& info, const char* dataset, const std::string& value )
{
   info.Set( qor::IPTCPhotoInfo::DescriptionByName( dataset ), value.data(), value.size() );
}

} // namespace

TIPTCPhotoInfoWindow::TIPTCPhotoInfoWindow( QWidget* owner ) : TViewDataWindow( owner )
{
   setObjectName( "IPTCPhotoInfoWindow" );
   setWindowTitle( "IPTC Photo Info" );
   clock = [] { return std::time( nullptr ); };
   auto* layout = new QGridLayout( this );

   Info_PageControl = new QTabWidget( this );
   Info_PageControl->setObjectName( "Info_PageControl" );
   layout->addWidget( Info_PageControl, 0, 0, 1, 3 );

   QFormLayout* form = nullptr;
   auto page = [&]( const char* caption )
   {
      auto* widget = new QWidget( Info_PageControl );
      form = new QFormLayout( widget );
      Info_PageControl->addTab( widget, caption );
      return widget;
   };
   auto add = [&]( Kind kind, QWidget* control, const char* label, const char* dataset )
   {
      form->addRow( label, control );
      items.push_back( { dataset, kind, control, nullptr, nullptr, label } );
   };
   auto text = [&]( QWidget* control, const char* label, const char* dataset )
   { add( Kind::Text, control, label, dataset ); };
   auto list = [&]( QWidget* control, const char* label, const char* dataset )
   { add( Kind::List, control, label, dataset ); };
   auto date = [&]( QWidget* parent, const char* label, const char* dataset, const char* prefix, QLineEdit*& year,
                    QLineEdit*& month, QLineEdit*& day, QPushButton*& systemDate )
   {
      auto* row = new QWidget( parent );
      auto* rowLayout = new QHBoxLayout( row );
      rowLayout->setContentsMargins( 0, 0, 0, 0 );
      year = MakeEdit( row, ( std::string( prefix ) + "Year_Edit" ).c_str(), 4 );
      month = MakeEdit( row, ( std::string( prefix ) + "Month_Edit" ).c_str(), 2 );
      day = MakeEdit( row, ( std::string( prefix ) + "Day_Edit" ).c_str(), 2 );
      year->setText( "9999" );
      month->setText( "99" );
      day->setText( "99" );
      systemDate = new QPushButton( "System Date", row );
      systemDate->setObjectName( ( std::string( prefix ) + "SystemDate_Button" ).c_str() );
      for ( QWidget* w : std::initializer_list<QWidget*>{ year, month, day, systemDate } )
         rowLayout->addWidget( w );
      form->addRow( label, row );
      QLineEdit* y = year;
      QLineEdit* m = month;
      QLineEdit* d = day;
      SetEditExitHandler( y, [this, y] { DateEditExit( y, 9999 ); } );
      SetEditExitHandler( m, [this, m] { DateEditExit( m, 12 ); } );
      SetEditExitHandler( d, [this, d] { DateEditExit( d, 31 ); } );
      items.push_back( { dataset, Kind::Date, year, month, day, label } );
   };

   QWidget* p = page( "Caption" );
   text( Caption_Memo = MakeMemo( p, "Caption_Memo" ), "Caption/Abstract", "Caption" );
   text( CaptionWriter_Edit = MakeEdit( p, "CaptionWriter_Edit", 32 ), "Caption Writer", "CaptionWriter" );
   text( HeadLine_Memo = MakeMemo( p, "HeadLine_Memo" ), "Headline", "Headline" );

   p = page( "Instructions" );
   text( SpecialInstructions_Memo = MakeMemo( p, "SpecialInstructions_Memo" ), "Special Instructions",
         "SpecialInstructions" );
   text( EditStatus_Edit = MakeEdit( p, "EditStatus_Edit", 64 ), "Edit Status", "EditStatus" );
   Urgency_ComboBox = new QComboBox( p );
   Urgency_ComboBox->setObjectName( "Urgency_ComboBox" );
   Urgency_ComboBox->addItems( { "None", "1 : Highest", "2", "3", "4", "5 : Normal", "6", "7", "8 : Lowest" } );
   add( Kind::Urgency, Urgency_ComboBox, "Urgency", "Urgency" );

   p = page( "Categories/Keywords" );
   text( Category_Edit = MakeEdit( p, "Category_Edit", 3 ), "Category", "Category" );
   list( SupplementalCategories_Memo = MakeMemo( p, "SupplementalCategories_Memo" ), "Supplemental Categories",
         "SupplementalCategories" );
   list( Keywords_Memo = MakeMemo( p, "Keywords_Memo" ), "Keywords", "Keywords" );

   p = page( "Identifiers" );
   text( ObjectName_Edit = MakeEdit( p, "ObjectName_Edit", 64 ), "Object Name", "ObjectName" );
   text( FixtureIdentifier_Edit = MakeEdit( p, "FixtureIdentifier_Edit", 64 ), "Fixture Identifier",
         "FixtureIdentifier" );
   list( ContentLocations_Memo = MakeMemo( p, "ContentLocations_Memo" ), "Content Locations", "ContentLocationNames" );
   text( OriginatingProgram_Edit = MakeEdit( p, "OriginatingProgram_Edit", 32 ), "Originating Program",
         "OriginatingProgram" );
   text( ProgramVersion_Edit = MakeEdit( p, "ProgramVersion_Edit", 10 ), "Program Version", "ProgramVersion" );

   p = page( "Origin" );
   date( p, "Creation Date", "DateCreated", "CreationDate", CreationDateYear_Edit, CreationDateMonth_Edit,
         CreationDateDay_Edit, CreationDateSystemDate_Button );
   date( p, "Digital Creation Date", "DigitalCreationDate", "DigitalCreationDate", DigitalCreationDateYear_Edit,
         DigitalCreationDateMonth_Edit, DigitalCreationDateDay_Edit, DigitalCreationDateSystemDate_Button );
   text( Country_Edit = MakeEdit( p, "Country_Edit", 64 ), "Country", "CountryName" );
   text( StateProvince_Edit = MakeEdit( p, "StateProvince_Edit", 64 ), "State/Province", "StateProvince" );
   text( City_Edit = MakeEdit( p, "City_Edit", 64 ), "City", "City" );
   text( Sublocation_Edit = MakeEdit( p, "Sublocation_Edit", 64 ), "Sublocation", "SubLocation" );
   text( OriginalTransmissionReference_Edit = MakeEdit( p, "OriginalTransmissionReference_Edit", 64 ),
         "Original Transmission Reference", "OriginalTransmissionReference" );

   p = page( "Credits/Copyright" );
   text( CopyrightNotice_Memo = MakeMemo( p, "CopyrightNotice_Memo" ), "Copyright Notice", "CopyrightNotice" );
   list( BylineNames_Memo = MakeMemo( p, "BylineNames_Memo" ), "Byline Names", "BylineNames" );
   list( BylineTitles_Memo = MakeMemo( p, "BylineTitles_Memo" ), "Byline Titles", "BylineTitles" );
   text( Credit_Edit = MakeEdit( p, "Credit_Edit", 32 ), "Credit", "Credit" );
   text( Source_Edit = MakeEdit( p, "Source_Edit", 32 ), "Source", "Source" );
   list( Contacts_Memo = MakeMemo( p, "Contacts_Memo" ), "Contacts", "Contacts" );

   for ( QLineEdit* edit : Info_PageControl->findChildren<QLineEdit*>() )
      connect( edit, &QLineEdit::textChanged, this, [this] { OnChangeItem(); } );
   for ( QPlainTextEdit* memo : Info_PageControl->findChildren<QPlainTextEdit*>() )
      connect( memo, &QPlainTextEdit::textChanged, this, [this] { OnChangeItem(); } );
   connect( Urgency_ComboBox, &QComboBox::currentIndexChanged, this, [this] { OnChangeItem(); } );
   connect( CreationDateSystemDate_Button, &QPushButton::clicked, this, [this] { CreationDateSystemDate_ButtonClick(); } );
   connect( DigitalCreationDateSystemDate_Button, &QPushButton::clicked, this,
            [this] { DigitalCreationDateSystemDate_ButtonClick(); } );

   auto* buttons = new QWidget( this );
   auto* buttonLayout = new QHBoxLayout( buttons );
   buttonLayout->setContentsMargins( 0, 0, 0, 0 );
   Load_Button = new QPushButton( "Load...", buttons );
   Load_Button->setObjectName( "Load_Button" );
   Save_Button = new QPushButton( "Save...", buttons );
   Save_Button->setObjectName( "Save_Button" );
   ClearAll_Button = new QPushButton( "Clear All", buttons );
   ClearAll_Button->setObjectName( "ClearAll_Button" );
   connect( Load_Button, &QPushButton::clicked, this, [this] { Load_ButtonClick(); } );
   connect( Save_Button, &QPushButton::clicked, this, [this] { Save_ButtonClick(); } );
   connect( ClearAll_Button, &QPushButton::clicked, this, [this] { ClearAll_ButtonClick(); } );
   for ( QWidget* w : std::initializer_list<QWidget*>{ Load_Button, Save_Button, ClearAll_Button } )
      buttonLayout->addWidget( w );
   layout->addWidget( buttons, 1, 0, 1, 3 );

   ViewInfo_Label = new QLabel( this );
   ViewInfo_Label->setObjectName( "ViewInfo_Label" );
   layout->addWidget( MakeSelectedViewPanel( ViewInfo_Label ), 2, 0, 1, 2 );

   ButtonRow apply = MakeButtonRow( this, { "Apply_SpeedButton", "SelectImages_SpeedButton" } );
   Apply_SpeedButton = apply.buttons[0];
   Apply_SpeedButton->setText( "Apply" );
   SelectImages_SpeedButton = apply.buttons[1];
   layout->addWidget( apply.row, 2, 2, Qt::AlignRight );

   ViewsList->Rebuild();
   SelectView( nullptr );
}

void TIPTCPhotoInfoWindow::SelectView( TImageWindow::View* view )
{
   SetCurrentView( view );
   if ( view != nullptr )
      LoadControls( qor::IPTCPhotoInfo( *view->Window()->iptcInfo ) );
   else
      LoadControls( photoInfo );
   if ( isVisible() )
   {
      Info_PageControl->setCurrentIndex( 0 );
      Caption_Memo->setFocus();
   }
}

void TIPTCPhotoInfoWindow::EmptyControls()
{
   for ( QLineEdit* edit : Info_PageControl->findChildren<QLineEdit*>() )
      edit->clear();
   for ( QPlainTextEdit* memo : Info_PageControl->findChildren<QPlainTextEdit*>() )
      memo->clear();
   Urgency_ComboBox->setCurrentIndex( 0 );
}

void TIPTCPhotoInfoWindow::LoadControls( const qor::IPTCPhotoInfo& info )
{
   {
      TMainWindow::ControlUpdateGuard guard;
      EmptyControls();
      for ( const Item& item : items )
      {
         const std::optional<std::string> value = info.FindValue( item.dataset );
         if ( !value )
            continue;
         switch ( item.kind )
         {
         case Kind::Text:
            SetControlText( item.control, ShownText( *value ) );
            break;
         case Kind::Urgency:
            // A code outside '1'..'8' from elsewhere shows as the nearest end of the list.
            Urgency_ComboBox->setCurrentIndex( value->empty() ? 0 : std::clamp( int( ( unsigned char )( *value )[0] ) - 48, 0, 8 ) );
            break;
         case Kind::List:
         {
            QStringList lines = QString::fromStdString( *value ).split( ';' );
            if ( lines.back().isEmpty() )
               lines.removeLast();
            SetControlText( item.control, lines.join( '\n' ) );
            break;
         }
         case Kind::Date:
            // A value too short for a month or a day (from another program) shows what it has.
            static_cast<QLineEdit*>( item.control )->setText( QString::fromStdString( value->substr( 0, 4 ) ) );
            item.month->setText( QString::fromStdString( value->size() > 4 ? value->substr( 4, 2 ) : "" ) );
            item.day->setText( QString::fromStdString( value->size() > 6 ? value->substr( 6, 2 ) : "" ) );
            break;
         }
      }
   }
   if ( &info != &photoInfo )
      photoInfo = info;
   changeCount = 0;
   UpdateStatus();
}

bool TIPTCPhotoInfoWindow::StoreControls( qor::IPTCPhotoInfo& info )
{
   qor::IPTCPhotoInfo stored;
   for ( const Item& item : items )
      switch ( item.kind )
      {
      case Kind::Text:
      {
         const QString text = ControlText( item.control );
         if ( !text.isEmpty() )
            Set( stored, item.dataset, StoredText( text ) );
         break;
      }
      case Kind::Urgency:
         if ( const int i = Urgency_ComboBox->currentIndex(); i > 0 )
            Set( stored, item.dataset, std::string( 1, char( '0' + i ) ) );
         break;
      case Kind::List:
      {
         const QString text = ControlText( item.control );
         if ( !text.isEmpty() )
            for ( const QString& line : text.split( '\n' ) )
               Set( stored, item.dataset, line.toStdString() );
         break;
      }
      case Kind::Date:
      {
         auto* yearEdit = static_cast<QLineEdit*>( item.control );
         if ( yearEdit->text().trimmed().isEmpty() || item.month->text().trimmed().isEmpty() ||
              item.day->text().trimmed().isEmpty() )
            break;
         const int year = yearEdit->text().trimmed().toInt();
         const int month = item.month->text().trimmed().toInt();
         const int day = item.day->text().trimmed().toInt();
         if ( !QDate::isValid( year, month, day ) || year < 1 )
         {
            platform::ShowMessage( platform::Icon::Warning, windowTitle(),
                                   QString( "%1: %2-%3-%4 is not a date of the calendar." )
                                      .arg( item.label )
                                      .arg( yearEdit->text(), item.month->text(), item.day->text() ) );
            inputError = true;
            return false;
         }
         char digits[16];
         std::snprintf( digits, sizeof( digits ), "%04d%02d%02d", year, month, day );
         Set( stored, item.dataset, digits );
         break;
      }
      }
   info = stored;
   photoInfo = stored;
   return true;
}

void TIPTCPhotoInfoWindow::UpdateStatus()
{
   if ( changeCount != 0 )
      ViewInfo_Label->setText( "Data modified" );
   else if ( !photoInfo.IsEmpty() )
      ViewInfo_Label->setText( QString::number( photoInfo.Count() ) + " info item(s)" );
   else
      ViewInfo_Label->setText( "No IPTC Photo Info data" );
}

void TIPTCPhotoInfoWindow::OnChangeItem()
{
   ++changeCount;
   UpdateStatus();
}

std::unique_ptr<Process> TIPTCPhotoInfoWindow::NewInstance()
{
   auto instance = std::make_unique<IPTCPhotoInfoData>();
   if ( !StoreControls( instance->Values().info ) )
      return nullptr;
   return instance;
}

void TIPTCPhotoInfoWindow::ImportInstance( const Process& instance )
{
   const auto* process = dynamic_cast<const IPTCPhotoInfoData*>( &instance );
   if ( process == nullptr )
      return;
   photoInfo = process->Values().info;
   KeepImportedData();
   SelectView( nullptr );
}

void TIPTCPhotoInfoWindow::ViewDeleted( TImageWindow::View& view )
{
   const TImageWindow::View* current = currentView;
   ViewsList->RemoveView( &view );
   if ( &view == current )
   {
      // The controls keep what they show, with no view selected.
      SetCurrentView( nullptr );
   }
}

void TIPTCPhotoInfoWindow::ClearAll_ButtonClick()
{
   if ( changeCount != 0 &&
        platform::Ask( platform::Icon::None, windowTitle(), "Data have been modified. OK to discard changes?",
                       platform::Buttons::YesNo, platform::Answer::No ) != platform::Answer::Yes )
      return;
   photoInfo.Clear();
   SelectView( nullptr );
   changeCount = 0;
   UpdateStatus();
}

void TIPTCPhotoInfoWindow::Load_ButtonClick()
{
   const QString name = ModuleToLoad( "Load IPTC Photo Info File", ModuleFilter(), ModuleExtension );
   if ( name.isEmpty() )
      return;
   if ( changeCount != 0 &&
        platform::Ask( platform::Icon::None, windowTitle(), "Data have been modified. OK to replace them with file data?",
                       platform::Buttons::YesNo, platform::Answer::No ) != platform::Answer::Yes )
      return;
   try
   {
      IPTCPhotoInfoModule module;
      module.Read( name.toStdString() );
      LoadControls( module.info );
   }
   catch ( ... )
   {
      ReportCaughtFailure( SourceName, __LINE__ );
   }
}

void TIPTCPhotoInfoWindow::Save_ButtonClick()
{
   QString name = platform::FileDialogs::getSaveFileName( this, "Save IPTC Photo Info File", QString(), ModuleFilter() );
   if ( name.isEmpty() )
      return;
   if ( QFileInfo( name ).suffix().isEmpty() )
      name += ModuleExtension;
   try
   {
      IPTCPhotoInfoModule module;
      if ( !StoreControls( module.info ) )
         return;
      module.Write( name.toStdString() );
      changeCount = 0;
      UpdateStatus();
   }
   catch ( ... )
   {
      ReportCaughtFailure( SourceName, __LINE__ );
   }
}

void TIPTCPhotoInfoWindow::DateEditExit( QLineEdit* edit, int maximum )
{
   if ( edit->text().trimmed().isEmpty() )
      return;
   try
   {
      WriteIntegerToEdit( edit, int( ReadNumberFromEdit( edit, 1, maximum, true ) ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
}

void TIPTCPhotoInfoWindow::SetDate( QLineEdit* year, QLineEdit* month, QLineEdit* day, std::time_t when )
{
   const QDate date = QDateTime::fromSecsSinceEpoch( qint64( when ), Qt::UTC ).date();
   WriteIntegerToEdit( year, date.year() );
   WriteIntegerToEdit( month, date.month() );
   WriteIntegerToEdit( day, date.day() );
}

void TIPTCPhotoInfoWindow::CreationDateSystemDate_ButtonClick()
{
   SetDate( CreationDateYear_Edit, CreationDateMonth_Edit, CreationDateDay_Edit, clock() );
}

void TIPTCPhotoInfoWindow::DigitalCreationDateSystemDate_ButtonClick()
{
   SetDate( DigitalCreationDateYear_Edit, DigitalCreationDateMonth_Edit, DigitalCreationDateDay_Edit, clock() );
}

TIPTCPhotoInfoWindow& IPTCPhotoInfoWindow()
{
   static QPointer<TIPTCPhotoInfoWindow> window;
   if ( window == nullptr )
      window = new TIPTCPhotoInfoWindow( MainWindow );
   return *window;
}
