#ifndef LF_PLATFORM_SCRIPTED_PROMPTER_H
#define LF_PLATFORM_SCRIPTED_PROMPTER_H

// A prompter that answers from a script, for tests (and for any caller that must not block).
//
// The script is a queue of expectations, consumed in order: each box is compared with the expectation at the
// front of the queue (its text as a substring or a regular expression, and the caption and icon when the
// expectation names them). A match is answered with the expectation's answer and removes it from the queue; a box
// that does not match, or that comes when the queue is empty, is recorded as unexpected, answered with its default
// answer and leaves the queue as it was. Nothing ever blocks. Every box is recorded.

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <optional>

#include "platform/Prompter.h"

namespace platform
{

struct PromptExpectation
{
   QString text;                     // substring of the box's text (used when pattern is not set)
   std::optional<QRegularExpression> pattern;
   std::optional<QString> caption;   // the exact caption, when set
   std::optional<Icon> icon;         // the icon, when set
   Answer answer = Answer::Ok;

   bool Matches( Icon icon, const QString& caption, const QString& text ) const;
   QString Describe() const;
};

struct PromptRecord
{
   Icon icon = Icon::None;
   QString caption;
   QString text;
   Buttons buttons = Buttons::Ok;
   Answer answer = Answer::Ok;
   bool expected = false;

   QString Describe() const;
};

class ScriptedPrompter : public Prompter, public Script<PromptExpectation, PromptRecord>
{
public:
   using Expectation = PromptExpectation;
   using Record = PromptRecord;

   // Expects a box whose text contains the given text.
   ScriptedPrompter& Expect( const QString& textPart, Answer answer = Answer::Ok );
   // Expects a box whose text matches the expression (unanchored: use ^...$ for a whole-text match).
   ScriptedPrompter& Expect( const QRegularExpression& pattern, Answer answer = Answer::Ok );
   ScriptedPrompter& Expect( Expectation expectation );

   Answer Ask( Icon icon, const QString& caption, const QString& text, Buttons buttons,
               Answer defaultAnswer ) override;
};

QString IconText( Icon icon );
QString ButtonsText( Buttons buttons );

} // namespace platform

#endif
