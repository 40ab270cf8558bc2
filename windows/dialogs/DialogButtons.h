#pragma once

// What the program's small question dialogs share: the row of flat answer buttons (each ends the dialog with its
// result), the Y and N keys, and the one instance made on first use and deleted when the application quits.

#include <QCoreApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QHBoxLayout>
#include <QString>
#include <QToolButton>

inline QToolButton* AddAnswerButton( QDialog& dialog, QWidget* panel, const char* name, const QString& text,
                                     int result )
{
   auto* b = new QToolButton( panel );
   b->setObjectName( name );
   b->setText( text );
   b->setMinimumWidth( 75 );
   if ( auto* row = qobject_cast<QHBoxLayout*>( panel->layout() ) )
      row->addWidget( b );
   QObject::connect( b, &QToolButton::clicked, &dialog, [&dialog, result]() { dialog.done( result ); } );
   return b;
}

// Y answers yes and N answers no, in either case; returns false for any other key.
inline bool AnswerYesNoKey( QDialog& dialog, const QKeyEvent* event, int yes, int no )
{
   switch ( event->key() )
   {
   case Qt::Key_Y:
      dialog.done( yes );
      return true;
   case Qt::Key_N:
      dialog.done( no );
      return true;
   default:
      return false;
   }
}

// The dialog held by a global pointer, made on first use; it goes when the application quits.
template <class Dialog> Dialog& SharedDialog( Dialog*& global )
{
   if ( global == nullptr )
   {
      global = new Dialog;
      if ( QCoreApplication* app = QCoreApplication::instance() )
         QObject::connect( app, &QCoreApplication::aboutToQuit, [&global]() {
            delete global;
            global = nullptr;
         } );
   }
   return *global;
}
