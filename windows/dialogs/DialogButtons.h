#pragma once

// The row of flat answer buttons of the program's small question dialogs: each button ends the dialog with its
// result.

#include <QDialog>
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
