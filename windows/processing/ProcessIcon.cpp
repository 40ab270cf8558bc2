#include "windows/processing/ProcessIcon.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QLabel>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <typeinfo>

#include "platform/DialogRunner.h"
#include "platform/KeyTracker.h"
#include "platform/Prompter.h"
#include "process/Preferences.h"
#include "process/Process.h"
#include "windows/dialogs/SetIdentifierDialog.h"
#include "windows/dialogs/WarningMessageWithDontAskAgainDialog.h"
#include "windows/image/Bitmaps.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"

std::vector<TProcessIcon*> ProcessIcons;
int32_t ProcessIconCounter = 0;
int32_t ProcessIconSetModificationCount = 0;
int32_t SelectedProcessIconCount = 0;
bool AskBeforeProcessIconReplacement = true;

namespace
{

void SetTileColors( QWidget* tile, QLabel* label, uint32_t background, uint32_t text )
{
   QPalette p = tile->palette();
   p.setColor( QPalette::Window, PreferenceColor( background ) );
   tile->setPalette( p );
   QPalette lp = label->palette();
   lp.setColor( QPalette::WindowText, PreferenceColor( text ) );
   label->setPalette( lp );
}

} // namespace

// ---- Free functions -----------------------------------------------------------------------------------------------

int32_t SnapToProcessIconGrid( int32_t coordinate )
{
   return coordinate / ProcessIconGridSize * ProcessIconGridSize;
}

TProcessIcon* FindProcessIcon( const std::string& identifier )
{
   for ( TProcessIcon* icon : ProcessIcons )
      if ( icon->identifier == identifier )
         return icon;
   return nullptr;
}

std::string UniqueProcessIconIdentifier()
{
   return ProcessIconIdentifiers().Claim( std::string() );
}

ProcessIconIdentifiers::ProcessIconIdentifiers()
{
   used.reserve( ProcessIcons.size() );
   for ( const TProcessIcon* icon : ProcessIcons )
      used.insert( icon->identifier );
}

std::string ProcessIconIdentifiers::Claim( const std::string& identifier )
{
   std::string first = identifier;
   if ( first.empty() )
   {
      char number[16];
      std::snprintf( number, sizeof( number ), "%02d", ProcessIconCounter + 1 );
      first = CurrentPreferences.identifiers.processIconPrefix + number;
   }
   if ( used.insert( first ).second )
      return first;
   // Names only join the set, so the suffixes tried for this identifier before are still taken.
   int32_t& n = nextSuffix.try_emplace( first, 1 ).first->second;
   std::string candidate;
   do
      candidate = first + std::to_string( n++ );
   while ( !used.insert( candidate ).second );
   return candidate;
}

bool ValidateProcessIconIdentifier( const std::string& identifier, std::string& message )
{
   if ( FindProcessIcon( identifier ) == nullptr )
      return true;
   message = "Process Icon identifier already in use: " + identifier;
   return false;
}

void UpdateProcessIconLayouts()
{
   for ( TProcessIcon* icon : ProcessIcons )
      icon->UpdateLayout();
}

void DeselectAllProcessIcons()
{
   for ( TProcessIcon* icon : ProcessIcons )
      icon->Deselect();
}

void MoveSelectedProcessIcons( int32_t dx, int32_t dy )
{
   for ( TProcessIcon* icon : ProcessIcons )
      if ( icon->selected )
         icon->move( SnapToProcessIconGrid( icon->x() + dx ), SnapToProcessIconGrid( icon->y() + dy ) );
}

// ---- TProcessIcon -------------------------------------------------------------------------------------------------

TProcessIcon::TProcessIcon( QWidget* owner, std::unique_ptr<Process> newInstance, const std::string& text,
                            int32_t left, int32_t top )
   : TProcessEnvelope( owner ), instance( std::move( newInstance ) )
{
   setObjectName( "ProcessIcon" );
   setFrameStyle( QFrame::NoFrame );
   setAutoFillBackground( true );
   setAcceptDrops( true );

   // The picture and the label let the mouse through: the whole tile behaves as one.
   Image_Label = new QLabel( this );
   Image_Label->setObjectName( "Image_Label" );
   Image_Label->setGeometry( 4, 4, ProcessIconCellSize - 4, ProcessIconCellSize - 4 );
   Image_Label->setAttribute( Qt::WA_TransparentForMouseEvents );
   Identifier_Label = new QLabel( this );
   Identifier_Label->setObjectName( "Identifier_Label" );
   Identifier_Label->setAttribute( Qt::WA_TransparentForMouseEvents );

   if ( instance != nullptr )
   {
      identifier = text.empty() ? UniqueProcessIconIdentifier() : text;
      UpdateHint();
      UpdateImage();
      ++ProcessIconSetModificationCount;
   }
   move( SnapToProcessIconGrid( left ), SnapToProcessIconGrid( top ) );
   UpdateLayout();

   ++ProcessIconCounter;
   ProcessIcons.push_back( this );
}

TProcessIcon::~TProcessIcon()
{
   if ( selected )
      --SelectedProcessIconCount;
   std::erase( ProcessIcons, this );
   instance.reset();
   if ( ProcessIcons.empty() )
      ProcessIconCounter = ProcessIconSetModificationCount = 0;
   else
      ++ProcessIconSetModificationCount;
}

Process* TProcessIcon::Instance()
{
   return instance.get();
}

void TProcessIcon::SetIdentifier( const std::string& text )
{
   identifier = text.empty() ? UniqueProcessIconIdentifier() : text;
   UpdateLayout();
   UpdateHint();
   ++ProcessIconSetModificationCount;
}

void TProcessIcon::SetInstance( std::unique_ptr<Process> newInstance )
{
   instance = std::move( newInstance );
   UpdateHint();
   UpdateImage();
   ++ProcessIconSetModificationCount;
}

void TProcessIcon::UpdateHint()
{
   QString hint = QString::fromStdString( identifier );
   if ( instance != nullptr )
      hint += QString::fromStdString( ": " + instance->Id() );
   setToolTip( hint );
   Image_Label->setToolTip( hint );
   Identifier_Label->setToolTip( hint );
}

void TProcessIcon::UpdateImage()
{
   const QAction* action = instance != nullptr ? instance->Action() : nullptr;
   if ( action == nullptr || action->icon().isNull() )
      return;
   Image_Label->setPixmap( action->icon().pixmap( ProcessIconCellSize - 4, ProcessIconCellSize - 4 ) );
}

void TProcessIcon::UpdateLayout()
{
   const ColorsFontsPreferences& prefs = CurrentPreferences.colorsFonts;
   QFont font( QString::fromStdString( prefs.processIconFont ) );
   font.setPixelSize( std::max( 1, prefs.processIconFontSize ) );
   Identifier_Label->setFont( font );
   Identifier_Label->setText( QString::fromStdString( identifier ) );
   Identifier_Label->adjustSize();
   Identifier_Label->move( ProcessIconCellSize + 4, 4 );
   SetTileColors( this, Identifier_Label, selected ? prefs.processIconSelectedColor : prefs.processIconColor,
                  selected ? prefs.processIconSelectedTextColor : prefs.processIconTextColor );
   resize( ProcessIconCellSize + Identifier_Label->width() + 8,
           std::max( ProcessIconCellSize, Identifier_Label->height() + 8 ) );
}

void TProcessIcon::Select()
{
   if ( !selected )
   {
      selected = true;
      ++SelectedProcessIconCount;
   }
   UpdateLayout();
   raise();
}

void TProcessIcon::Deselect()
{
   if ( selected )
   {
      selected = false;
      --SelectedProcessIconCount;
   }
   UpdateLayout();
}

void TProcessIcon::LaunchInterface()
{
   if ( instance != nullptr && instance->IsInterfaceAvailable() )
      instance->LaunchInterface();
   else if ( instance != nullptr )
      platform::ShowMessage( platform::Icon::Error, ApplicationTitle(),
                             QString::fromStdString( instance->Id() + ": Cannot launch interface." ) );
   dragState = -1;
}

void TProcessIcon::ExecuteGlobal()
{
   if ( instance == nullptr )
      return;
   if ( instance->CanExecuteGlobal() )
      instance->LaunchGlobal();
   else
      platform::ShowMessage( platform::Icon::Error, ApplicationTitle(),
                             QString::fromStdString( instance->Id() + ": Process cannot be executed globally." ) );
}

void TProcessIcon::EditIdentifier()
{
   TSetIdentifierDialog dialog( QApplication::activeWindow(), ValidateProcessIconIdentifier );
   dialog.setWindowTitle( "Set Process Icon Identifier" );
   dialog.currentIdentifier = identifier;
   if ( platform::DialogRunner::exec( dialog ) == QDialog::Accepted && !dialog.inputError &&
        dialog.newIdentifier != identifier )
      SetIdentifier( dialog.newIdentifier );
}

QPixmap TProcessIcon::CreateDragBitmap( int32_t& left, int32_t& top )
{
   QRect bounds = geometry();
   for ( TProcessIcon* icon : ProcessIcons )
      if ( icon->selected )
         bounds |= icon->geometry();
   bounds.adjust( -2, -2, 2, 2 );
   left = bounds.left();
   top = bounds.top();

   const QWidget* main = MainWindow;
   QPixmap picture( bounds.size() );
   picture.fill( ( main != nullptr ? main->palette() : QApplication::palette() ).color( QPalette::Window ) );
   QPainter painter( &picture );
   painter.setPen( PreferenceColor( CurrentPreferences.colorsFonts.processIconSelectedColor ) );
   for ( TProcessIcon* icon : ProcessIcons )
      if ( icon->selected && icon != this )
         painter.drawRect( icon->geometry().translated( -left, -top ).adjusted( 0, 0, -1, -1 ) );
   painter.end();
   // The tile itself, on top of the frames of the others.
   QPainter tile( &picture );
   render( &tile, QPoint( x() - left, y() - top ), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren );
   return picture;
}

// ---- Mouse and drops ----------------------------------------------------------------------------------------------

void TProcessIcon::IconMouseDown( QPoint point, Qt::MouseButton button, bool shift )
{
   if ( !selected )
   {
      if ( !shift )
         DeselectAllProcessIcons();
      Select();
   }
   else if ( shift )
      Deselect();

   if ( button == Qt::LeftButton )
      EnvelopeMouseDown( this, point, button );
   else if ( button == Qt::RightButton && MainWindow != nullptr )
      MainWindow->ShowProcessIconPopupMenu( this, mapToGlobal( point ) );
}

void TProcessIcon::mousePressEvent( QMouseEvent* event )
{
   IconMouseDown( event->position().toPoint(), event->button(),
                  event->modifiers().testFlag( Qt::ShiftModifier ) ||
                     platform::KeyTracker::Instance().IsShiftDown() );
}

void TProcessIcon::mouseDoubleClickEvent( QMouseEvent* )
{
   dragState = -1;
   LaunchInterface();
}

bool TProcessIcon::AcceptsDrop( TProcessEnvelope* envelope )
{
   if ( envelope == nullptr )
      return false;
   if ( envelope == this )
      return true;
   if ( SelectedProcessIconCount > 1 || instance == nullptr )
      return false;
   Process* offered = envelope->Instance();
   if ( offered == nullptr )
      return false;
   const bool same = typeid( *offered ) == typeid( *instance );
   envelope->ReleaseInstance( offered );
   return same;
}

void TProcessIcon::dragEnterEvent( QDragEnterEvent* event )
{
   dragMoveEvent( event );
}

void TProcessIcon::dragMoveEvent( QDragMoveEvent* event )
{
   TProcessEnvelope* envelope = DraggedEnvelope( event->mimeData() );
   AnswerEnvelopeDrag( event, envelope != nullptr && AcceptsDrop( envelope ), this );
}

void TProcessIcon::dropEvent( QDropEvent* event )
{
   TProcessEnvelope* envelope = DraggedEnvelope( event->mimeData() );
   if ( envelope == nullptr || !AcceptsDrop( envelope ) )
   {
      event->ignore();
      return;
   }
   event->acceptProposedAction();
   if ( envelope == this )
   {
      // A drop of the icon on itself is a move on the desktop.
      if ( MainWindow != nullptr )
         MainWindow->DesktopDragDrop( envelope, mapTo( parentWidget(), event->position().toPoint() ) );
      return;
   }
   Process* offered = envelope->Instance();
   if ( offered == nullptr )
      return;
   if ( AskBeforeProcessIconReplacement )
   {
      TWarningMessageWithDontAskAgainDialog question( QApplication::activeWindow(), &AskBeforeProcessIconReplacement );
      question.Warning1_Label->setText( "Process icon replacement cannot be undone." );
      question.Warning2_Label->setText( QString::fromStdString( "Replace " + offered->Id() + " instance?" ) );
      if ( !question.Ask() )
      {
         envelope->ReleaseInstance( offered );
         return;
      }
   }
   envelope->ReleaseInstance( offered );
   SetInstance( envelope->KeepInstance() );
}
