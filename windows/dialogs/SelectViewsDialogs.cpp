#include "windows/dialogs/SelectViewsDialogs.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "classlib/Math.h"
#include "windows/image/Cursors.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingWindow.h"

namespace
{

QPushButton* AddButton( QDialog* dialog, QBoxLayout* row, const char* name, const char* text )
{
   auto* button = new QPushButton( text, dialog );
   button->setObjectName( name );
   row->addWidget( button );
   return button;
}

// The OK and Cancel row every selection dialog ends with.
void AddOKCancel( QDialog* dialog, QBoxLayout* layout, QPushButton*& ok, QPushButton*& cancel )
{
   auto* row = new QHBoxLayout;
   row->addStretch( 1 );
   ok = AddButton( dialog, row, "OK_Button", "OK" );
   cancel = AddButton( dialog, row, "Cancel_Button", "Cancel" );
   ok->setDefault( true );
   ok->setCursor( ScreenCursor( CursorOK ) );
   cancel->setCursor( ScreenCursor( CursorCancel ) );
   QObject::connect( ok, &QPushButton::clicked, dialog, &QDialog::accept );
   QObject::connect( cancel, &QPushButton::clicked, dialog, &QDialog::reject );
   layout->addLayout( row );
}

QLabel* CaptionPanel( QWidget* parent, const char* text )
{
   auto* caption = new QLabel( text, parent );
   caption->setFrameStyle( QFrame::Panel | QFrame::Raised );
   caption->setAutoFillBackground( true );
   caption->setBackgroundRole( QPalette::Mid );
   return caption;
}

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

} // namespace

// ---- Images and previews -------------------------------------------------------------------------------------------

TSelectViewsDialog::TSelectViewsDialog( TProcessingWindow* owner, Kind kind )
   : QDialog( owner ), ownerWindow( owner ), kind( kind )
{
   const bool images = kind == Kind::Images;
   setObjectName( images ? "SelectImagesDialog" : "SelectPreviewsDialog" );
   setWindowTitle( images ? "Select Images" : "Select Previews" );

   auto* layout = new QVBoxLayout( this );
   layout->addWidget( CaptionPanel( this, images ? "  Images" : "  Previews" ) );
   CheckListBox = new QListWidget( this );
   CheckListBox->setObjectName( images ? "Images_CheckListBox" : "Previews_CheckListBox" );
   CheckListBox->setMinimumSize( 320, 200 );
   layout->addWidget( CheckListBox );

   auto* row = new QHBoxLayout;
   ClearAll_Button = AddButton( this, row, "ClearAll_Button", "Clear All" );
   SelectAll_Button = AddButton( this, row, "SelectAll_Button", "Select All" );
   row->addStretch( 1 );
   layout->addLayout( row );

   auto* infoPanel = new QFrame( this );
   infoPanel->setObjectName( "Info_Panel" );
   infoPanel->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   auto* infoLayout = new QVBoxLayout( infoPanel );
   Info_StaticText = new QLabel( infoPanel );
   Info_StaticText->setObjectName( "Info_StaticText" );
   infoLayout->addWidget( Info_StaticText );
   layout->addWidget( infoPanel );

   AddOKCancel( this, layout, OK_Button, Cancel_Button );

   connect( ClearAll_Button, &QPushButton::clicked, this, &TSelectViewsDialog::ClearAll_ButtonClick );
   connect( SelectAll_Button, &QPushButton::clicked, this, &TSelectViewsDialog::SelectAll_ButtonClick );
   connect( CheckListBox, &QListWidget::itemChanged, this, [this]( QListWidgetItem* ) { UpdateInfo(); } );
   connect( CheckListBox, &QListWidget::itemDoubleClicked, this, []( QListWidgetItem* item ) {
      item->setCheckState( item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked );
   } );
}

TSelectViewsDialog::~TSelectViewsDialog() = default;

std::string TSelectViewsDialog::EntryText( const TImageWindow::View& view ) const
{
   const qor::Image* image = view.TargetImage();
   std::string text = view.FullIdentifier() + ": " + std::to_string( image != nullptr ? image->Width() : 0 ) +
                      "\u00D7" + std::to_string( image != nullptr ? image->Height() : 0 );
   if ( view.IsPreview() && static_cast<const TImageWindow::Preview&>( view ).HasStoredState() )
      text += ", stored";
   return text;
}

void TSelectViewsDialog::FillList()
{
   const QSignalBlocker blocker( CheckListBox );
   CheckListBox->clear();
   if ( kind == Kind::Images )
      views = MainViewList;
   else
      views.assign( PreviewList.begin(), PreviewList.end() );
   std::stable_sort( views.begin(), views.end(), []( const TImageWindow::View* a, const TImageWindow::View* b ) {
      // Byte by byte, unsigned: the order of the identifiers everywhere in the program.
      const std::string x = a->FullIdentifier();
      const std::string y = b->FullIdentifier();
      return std::lexicographical_compare( x.begin(), x.end(), y.begin(), y.end(), []( char p, char q ) {
         return static_cast<unsigned char>( p ) < static_cast<unsigned char>( q );
      } );
   } );
   for ( TImageWindow::View* view : views )
   {
      auto* item = new QListWidgetItem( QString::fromStdString( EntryText( *view ) ), CheckListBox );
      item->setFlags( item->flags() | Qt::ItemIsUserCheckable );
      const bool selected =
          view == proposedView || view->selectingWindows.Find( ownerWindow ) != view->selectingWindows.End();
      item->setCheckState( selected ? Qt::Checked : Qt::Unchecked );
   }
}

void TSelectViewsDialog::UpdateInfo()
{
   int32_t n = 0;
   // Counted in 64 bits: a few large images already pass the range of a 32-bit count.
   int64_t total = 0;
   for ( int i = 0; i < CheckListBox->count() && size_t( i ) < views.size(); ++i )
      if ( CheckListBox->item( i )->checkState() == Qt::Checked )
      {
         ++n;
         if ( const qor::Image* image = views[size_t( i )]->TargetImage() )
            total += int64_t( image->Width() ) * image->Height();
      }
   const bool images = kind == Kind::Images;
   if ( n == 0 )
   {
      Info_StaticText->setText( images ? "No images selected." : "No previews selected." );
      return;
   }
   QString text = QString( images ? "%1 image(s) selected, %2 total pixels." : "%1 preview(s) selected, %2 total pixels." )
                      .arg( n )
                      .arg( total );
   if ( n > 1 )
      text += QString( "\nEquivalent to a %1 pixels square image." )
                  .arg( static_cast<qint64>( qor::Round( qor::Sqrt( static_cast<double>( total ) ) ) ) );
   Info_StaticText->setText( text );
}

void TSelectViewsDialog::ClearAll_ButtonClick()
{
   for ( int i = 0; i < CheckListBox->count(); ++i )
      CheckListBox->item( i )->setCheckState( Qt::Unchecked );
   UpdateInfo();
}

void TSelectViewsDialog::SelectAll_ButtonClick()
{
   for ( int i = 0; i < CheckListBox->count(); ++i )
      CheckListBox->item( i )->setCheckState( Qt::Checked );
   UpdateInfo();
}

void TSelectViewsDialog::showEvent( QShowEvent* event )
{
   FillList();
   UpdateInfo();
   if ( ownerWindow != nullptr )
      setWindowTitle( ( kind == Kind::Images ? "Images for: " : "Previews for: " ) + ownerWindow->windowTitle() );
   QDialog::showEvent( event );
}

void TSelectViewsDialog::done( int result )
{
   if ( result == QDialog::Accepted )
   {
      // The views listed may have gone while the dialog was shown: only those still there are changed.
      for ( int i = 0; i < CheckListBox->count() && size_t( i ) < views.size(); ++i )
      {
         TImageWindow::View* view = views[size_t( i )];
         const bool alive = std::find( MainViewList.begin(), MainViewList.end(), view ) != MainViewList.end() ||
                            std::find( PreviewList.begin(), PreviewList.end(), view ) != PreviewList.end();
         if ( !alive )
            continue;
         const bool checked = CheckListBox->item( i )->checkState() == Qt::Checked;
         const bool listed = view->selectingWindows.Find( ownerWindow ) != view->selectingWindows.End();
         if ( checked && !listed )
            view->selectingWindows.Add( ownerWindow );
         else if ( !checked )
            view->selectingWindows.Remove( ownerWindow );
      }
      views.clear();
   }
   QDialog::done( result );
}

// ---- Mask -------------------------------------------------------------------------------------------------------

TSelectMaskDialog::TSelectMaskDialog( QWidget* owner, TImageWindow* target ) : QDialog( owner ), target( target )
{
   setObjectName( "SelectMaskDialog" );
   setWindowTitle( "Select Mask" );
   auto* layout = new QVBoxLayout( this );
   layout->addWidget( CaptionPanel( this, "  Compatible Images" ) );
   Images_ComboBox = new QComboBox( this );
   Images_ComboBox->setObjectName( "Images_ComboBox" );
   Images_ComboBox->setMinimumWidth( 260 );
   layout->addWidget( Images_ComboBox );
   AddOKCancel( this, layout, OK_Button, Cancel_Button );
   connect( Images_ComboBox, &QComboBox::currentIndexChanged, this, &TSelectMaskDialog::Images_ComboBoxChange );
}

void TSelectMaskDialog::FillList()
{
   TMainWindow::ControlUpdateGuard guard;
   Images_ComboBox->clear();
   Images_ComboBox->addItem( "<* No mask *>" );
   maskWindow = target != nullptr ? target->maskWindow : nullptr;
   int selected = 0;
   if ( target != nullptr )
      for ( TImageWindow::View* view : MainViewList )
         if ( TImageWindow::CanUseAsMask( *target, *view->Window() ) )
         {
            Images_ComboBox->addItem( QString::fromStdString( view->Identifier() ) );
            if ( view->Window() == maskWindow )
               selected = Images_ComboBox->count() - 1;
         }
   Images_ComboBox->setCurrentIndex( selected );
}

void TSelectMaskDialog::Images_ComboBoxChange()
{
   if ( UpdatingControls() )
      return;
   const int index = Images_ComboBox->currentIndex();
   if ( index <= 0 )
   {
      maskWindow = nullptr;
      return;
   }
   TImageWindow::View* view = FindMainViewByIdentifier( Images_ComboBox->currentText().toStdString() );
   maskWindow = view != nullptr ? view->Window() : nullptr;
}

void TSelectMaskDialog::showEvent( QShowEvent* event )
{
   FillList();
   QDialog::showEvent( event );
}
