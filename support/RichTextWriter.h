#ifndef LF_SUPPORT_RICH_TEXT_WRITER_H
#define LF_SUPPORT_RICH_TEXT_WRITER_H

// Writes the text of a document, with its colours and bold runs, as a Rich Text Format file that word processors
// open: one font (the document's), a colour table of the colours used, one paragraph per block.
//
// Every character the format reserves is escaped: backslash and braces with a backslash, characters beyond 7-bit
// ASCII (and control characters) as \uN? with the signed 16-bit value of each UTF-16 code unit, so that any
// text survives the trip. Nothing else is kept of the document (no sizes per run, no other attributes).

#include <QByteArray>
#include <QString>

class QTextDocument;

// The RTF of a document, in the given font and point size.
QByteArray DocumentToRichText( const QTextDocument& document, const QString& fontName, int pointSize );
// The text escaped for RTF (the characters above; line breaks stay as they are).
QByteArray EscapeRichText( const QString& text );

// Saves a report: as RTF when the name ends in ".rtf" (letter case ignored), else its plain text with lines
// ended by CR LF. The file is written to a new file beside the target and renamed over it when complete. Throws
// ToolkitError with a message on failure.
void SaveReportDocument( const QTextDocument& document, const QString& fontName, int pointSize,
                         const QString& path );

#endif
