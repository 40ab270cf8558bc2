#include "platform/ScriptedPrompter.h"

namespace platform
{

bool PromptExpectation::Matches( Icon boxIcon, const QString& boxCaption, const QString& boxText ) const
{
   if ( icon.has_value() && *icon != boxIcon )
      return false;
   if ( caption.has_value() && *caption != boxCaption )
      return false;
   if ( pattern.has_value() )
      return pattern->match( boxText ).hasMatch();
   return boxText.contains( text );
}

QString PromptExpectation::Describe() const
{
   QString d = pattern.has_value() ? QStringLiteral( "text matching /%1/" ).arg( pattern->pattern() )
                                   : QStringLiteral( "text containing \"%1\"" ).arg( text );
   if ( caption.has_value() )
      d += QStringLiteral( ", caption \"%1\"" ).arg( *caption );
   if ( icon.has_value() )
      d += QStringLiteral( ", icon %1" ).arg( IconText( *icon ) );
   return d + QStringLiteral( " -> %1" ).arg( AnswerText( answer ) );
}

QString PromptRecord::Describe() const
{
   return QStringLiteral( "[%1, %2] \"%3\": \"%4\" -> %5" )
      .arg( IconText( icon ), ButtonsText( buttons ), caption, text, AnswerText( answer ) );
}

ScriptedPrompter& ScriptedPrompter::Expect( const QString& textPart, Answer answer )
{
   Expectation e;
   e.text = textPart;
   e.answer = answer;
   return Expect( std::move( e ) );
}

ScriptedPrompter& ScriptedPrompter::Expect( const QRegularExpression& pattern, Answer answer )
{
   Expectation e;
   e.pattern = pattern;
   e.answer = answer;
   return Expect( std::move( e ) );
}

ScriptedPrompter& ScriptedPrompter::Expect( Expectation expectation )
{
   AddExpectation( std::move( expectation ) );
   return *this;
}

Answer ScriptedPrompter::Ask( Icon icon, const QString& caption, const QString& text, Buttons buttons,
                              Answer defaultAnswer )
{
   Record r;
   r.icon = icon;
   r.caption = caption;
   r.text = text;
   r.buttons = buttons;
   Expectation e;
   if ( TakeFront( [&]( const Expectation& front ) { return front.Matches( icon, caption, text ); }, e ) )
   {
      r.answer = e.answer;
      RecordExpected( r );
      return r.answer;
   }
   r.answer = defaultAnswer;
   RecordUnexpected( r );
   return defaultAnswer;
}

QString IconText( Icon icon )
{
   switch ( icon )
   {
   case Icon::None: return QStringLiteral( "None" );
   case Icon::Information: return QStringLiteral( "Information" );
   case Icon::Warning: return QStringLiteral( "Warning" );
   case Icon::Error: return QStringLiteral( "Error" );
   case Icon::Question: return QStringLiteral( "Question" );
   }
   return QString();
}

QString ButtonsText( Buttons buttons )
{
   switch ( buttons )
   {
   case Buttons::Ok: return QStringLiteral( "Ok" );
   case Buttons::OkCancel: return QStringLiteral( "OkCancel" );
   case Buttons::YesNo: return QStringLiteral( "YesNo" );
   case Buttons::YesNoCancel: return QStringLiteral( "YesNoCancel" );
   }
   return QString();
}

} // namespace platform
