#include "windows/frames/ViewsListFrame.h"

#include <QComboBox>
#include <QHBoxLayout>

#include "process/Preferences.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/main/MainWindow.h"

namespace
{

const QString NoViewSelected = QStringLiteral( "<* No view selected *>" );
const QString NoViewsAvailable = QStringLiteral( "<* No views available *>" );

// True while a window fills its controls: the list then ignores selections.
bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

QString FullIdentifierOf( const TImageWindow::View* view )
{
   return QString::fromStdString( view->FullIdentifier() );
}

} // namespace

TViewsListFrame::TViewsListFrame( QWidget* owner ) : QFrame( owner )
{
   setObjectName( "ViewsListFrame" );
   ViewsList_ComboBox = new QComboBox( this );
   ViewsList_ComboBox->setObjectName( "ViewsList_ComboBox" );
   ViewsList_ComboBox->setEditable( false );
   ViewsList_ComboBox->setFixedWidth( 385 );
   ViewsList_ComboBox->setToolTip( "Views List" );
   // activated: the user's choices only, never the list's own changes.
   connect( ViewsList_ComboBox, &QComboBox::activated, this, [this]( int ) { ViewsList_ComboBoxSelect(); } );

   auto* layout = new QHBoxLayout( this );
   layout->setContentsMargins( 0, 0, 0, 0 );
   layout->addWidget( ViewsList_ComboBox );
   layout->setSizeConstraint( QLayout::SetFixedSize );
}

void TViewsListFrame::Rebuild()
{
   QComboBox* list = ViewsList_ComboBox;
   list->clear();

   if ( MainViewList.empty() )
   {
      currentView = nullptr;
      list->addItem( NoViewsAvailable );
      list->setCurrentIndex( 0 );
      return;
   }

   if ( allowNone )
      list->addItem( NoViewSelected );

   int index = 0;
   auto add = [&]( TImageWindow::View* view )
   {
      if ( view == currentView )
         index = list->count();
      list->addItem( FullIdentifierOf( view ) );
   };
   for ( TImageWindow::View* mainView : MainViewList )
   {
      if ( mainView == excludedView )
         continue;
      if ( includeMainViews )
         add( mainView );
      if ( includePreviews )
         for ( TImageWindow::Preview* preview : mainView->Window()->previews )
            if ( preview != excludedView )
               add( preview );
   }

   if ( list->count() > 0 )
   {
      list->setCurrentIndex( index );
      if ( allowNone && index == 0 )
         currentView = nullptr;
      return;
   }

   currentView = nullptr;
   if ( !allowNone )
      list->addItem( QString() );
   list->insertItem( 0, NoViewsAvailable );
   list->setCurrentIndex( 0 );
}

void TViewsListFrame::SelectCurrentView()
{
   QComboBox* list = ViewsList_ComboBox;
   auto selectEntry = [list]( int i )
   {
      if ( list->currentIndex() != i )
         list->setCurrentIndex( i );
   };

   if ( currentView != nullptr )
   {
      const int i = list->findText( FullIdentifierOf( currentView ), Qt::MatchExactly | Qt::MatchCaseSensitive );
      if ( i >= 0 )
      {
         selectEntry( i );
         const std::string& path = currentView->Window()->filePath;
         list->setToolTip(
             QString::fromStdString( path.empty() ? CurrentPreferences.identifiers.newImageCaption : path ) );
         return;
      }
      currentView = nullptr;
   }
   selectEntry( 0 );
   list->setToolTip( QString() );
}

void TViewsListFrame::RemoveView( TImageWindow::View* view )
{
   QComboBox* list = ViewsList_ComboBox;
   const int i = list->findText( FullIdentifierOf( view ), Qt::MatchExactly | Qt::MatchCaseSensitive );
   if ( i >= 0 )
      list->removeItem( i );
   if ( list->count() == 0 || ( list->count() == 1 && list->itemText( 0 ).startsWith( '<' ) ) )
      Rebuild();
}

void TViewsListFrame::NotifyViewSelected( TImageWindow::View* view )
{
   Q_EMIT ViewSelected( view );
}

void TViewsListFrame::ViewsList_ComboBoxSelect()
{
   if ( UpdatingControls() )
      return;

   if ( allowNone && ViewsList_ComboBox->currentIndex() == 0 )
   {
      NotifyViewSelected( nullptr );
      return;
   }

   // The entry names its view, which may have gone meanwhile: a name that no longer resolves gives none.
   const std::string text = ViewsList_ComboBox->currentText().toStdString();
   const size_t arrow = text.find( "->" );
   TImageWindow::View* view = FindMainViewByIdentifier( text.substr( 0, arrow ) );
   if ( arrow != std::string::npos && view != nullptr )
      view = view->Window()->FindPreviewByIdentifier( text.substr( arrow + 2 ) );
   NotifyViewSelected( view );
}
