#include "platform/KeyTracker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>

namespace platform
{

namespace
{

// Enter of the keypad and Return of the main block are one key for the program.
int Normalised( int key )
{
   if ( key == Qt::Key_Enter )
      return Qt::Key_Return;
   return key;
}

} // namespace

KeyTracker::KeyTracker() = default;

KeyTracker& KeyTracker::Instance()
{
   static KeyTracker* tracker = new KeyTracker; // lives as long as the program: the filter may outlive main()
   tracker->AttachToApplication();
   return *tracker;
}

void KeyTracker::AttachToApplication()
{
   if ( attached )
      return;
   QCoreApplication* app = QCoreApplication::instance();
   if ( app == nullptr )
      return;
   app->installEventFilter( this );
   connect( app, &QObject::destroyed, this, [this] { attached = false; } );
   if ( auto* gui = qobject_cast<QGuiApplication*>( app ) )
      connect( gui, &QGuiApplication::applicationStateChanged, this, [this]( Qt::ApplicationState state ) {
         if ( state != Qt::ApplicationActive )
            ReleaseAll();
      } );
   attached = true;
}

bool KeyTracker::IsKeyDown( Qt::Key key ) const
{
   return down.contains( Normalised( key ) );
}

Qt::KeyboardModifiers KeyTracker::Modifiers() const
{
   Qt::KeyboardModifiers m;
   if ( IsShiftDown() )
      m |= Qt::ShiftModifier;
   if ( IsControlDown() )
      m |= Qt::ControlModifier;
   if ( IsAltDown() )
      m |= Qt::AltModifier;
   if ( IsKeyDown( Qt::Key_Meta ) )
      m |= Qt::MetaModifier;
   return m;
}

void KeyTracker::Press( Qt::Key key )
{
   down.insert( Normalised( key ) );
}

void KeyTracker::Release( Qt::Key key )
{
   down.remove( Normalised( key ) );
}

void KeyTracker::ReleaseAll()
{
   down.clear();
}

bool KeyTracker::eventFilter( QObject* watched, QEvent* event )
{
   // A key event is offered to the focus widget and then to its parents; recording it each time is harmless.
   // A key that may trigger a shortcut is first offered as ShortcutOverride; when a shortcut takes it no
   // KeyPress follows (its release still comes), so that offer counts as the press.
   switch ( event->type() )
   {
   case QEvent::KeyPress:
   case QEvent::ShortcutOverride:
   {
      auto* key = static_cast<QKeyEvent*>( event );
      if ( key->key() != 0 && key->key() != Qt::Key_unknown )
         down.insert( Normalised( key->key() ) );
      break;
   }
   case QEvent::KeyRelease:
   {
      auto* key = static_cast<QKeyEvent*>( event );
      if ( !key->isAutoRepeat() )
         down.remove( Normalised( key->key() ) );
      break;
   }
   default:
      break;
   }
   return QObject::eventFilter( watched, event );
}

} // namespace platform
