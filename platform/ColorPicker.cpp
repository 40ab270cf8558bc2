#include "platform/ColorPicker.h"

#include <QColorDialog>

namespace platform
{

namespace
{

class SystemColorPicker : public ColorPicker
{
public:
   QColor Pick( const QColor& initial, QWidget* parent ) override { return QColorDialog::getColor( initial, parent ); }
};

QString ColorText( const QColor& color )
{
   return color.isValid() ? color.name() : QStringLiteral( "(cancelled)" );
}

} // namespace

ColorPicker::~ColorPicker() = default;

QColor ColorPicker::getColor( const QColor& initial, QWidget* parent )
{
   return Current().Pick( initial, parent );
}

ColorPicker& ColorPicker::Current()
{
   static SystemColorPicker production;
   return *InstalledOr( production );
}

// ---------------------------------------------------------------------------------------------------------------

QString ColorPickRecord::Describe() const
{
   return QStringLiteral( "colour picker from %1 -> %2" ).arg( ColorText( initial ), ColorText( choice ) );
}

ScriptedColorPicker& ScriptedColorPicker::Expect( const QColor& choice )
{
   return Expect( [choice]( const QColor& ) { return choice; } );
}

ScriptedColorPicker& ScriptedColorPicker::Expect( std::function<QColor( const QColor& initial )> answer )
{
   AddExpectation( ColorPickExpectation{ std::move( answer ) } );
   return *this;
}

QColor ScriptedColorPicker::Pick( const QColor& initial, QWidget* )
{
   Record r;
   r.initial = initial;
   ColorPickExpectation e;
   if ( !TakeFront( []( const ColorPickExpectation& ) { return true; }, e ) )
   {
      RecordUnexpected( r );
      return QColor();
   }
   r.choice = e.answer( initial );
   RecordExpected( r );
   return r.choice;
}

} // namespace platform
