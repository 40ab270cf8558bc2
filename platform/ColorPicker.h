#ifndef LF_PLATFORM_COLOR_PICKER_H
#define LF_PLATFORM_COLOR_PICKER_H

// The one way the program asks the user for a colour: ColorPicker::getColor(initial, parent), shaped like
// QColorDialog::getColor.
//
// Production runs QColorDialog. Tests install a ScriptedColorPicker: a queue of prepared answers, each computed
// from the colour the picker was opened with; nothing blocks. An invalid colour means the user cancelled.

#include <QColor>
#include <QString>

#include <functional>

#include "platform/ServiceSlot.h"

class QWidget;

namespace platform
{

class ColorPicker : public ServiceSlot<ColorPicker>
{
public:
   virtual ~ColorPicker();
   // The colour the user chose, starting from initial; an invalid colour when cancelled.
   virtual QColor Pick( const QColor& initial, QWidget* parent ) = 0;

   // Current().Pick( initial, parent ).
   static QColor getColor( const QColor& initial, QWidget* parent = nullptr );
   // The installed picker (Install(), not owned), else the production one.
   static ColorPicker& Current();
};

using ColorPickerScope = ServiceScope<ColorPicker>;

struct ColorPickExpectation
{
   std::function<QColor( const QColor& initial )> answer;

   QString Describe() const { return QStringLiteral( "colour picker" ); }
};

struct ColorPickRecord
{
   QColor initial;
   QColor choice;
   bool expected = false;

   QString Describe() const;
};

// The scripted picker for tests: answers consumed in order; a request with none left is recorded as unexpected and
// answered as cancelled.
class ScriptedColorPicker : public ColorPicker, public Script<ColorPickExpectation, ColorPickRecord>
{
public:
   using Record = ColorPickRecord;

   // The user picks this colour (an invalid one: cancels).
   ScriptedColorPicker& Expect( const QColor& choice );
   // The user's answer is computed from the colour the picker starts with.
   ScriptedColorPicker& Expect( std::function<QColor( const QColor& initial )> answer );
   ScriptedColorPicker& ExpectCancel() { return Expect( QColor() ); }

   QColor Pick( const QColor& initial, QWidget* parent ) override;
};

} // namespace platform

#endif
