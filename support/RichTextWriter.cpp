#include "support/RichTextWriter.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

#include <vector>

#include "support/ToolkitError.h"

QByteArray EscapeRichText( const QString& text )
{
   QByteArray out;
   out.reserve( text.size() );
   for ( const QChar c : text )
   {
      const char16_t u = c.unicode();
      if ( u == '\\' || u == '{' || u == '}' )
      {
         out += '\\';
         out += char( u );
      }
      else if ( u == '\t' )
         out += "\\tab ";
      else if ( u >= 0x20 && u < 0x7F )
         out += char( u );
      else
         out += "\\u" + QByteArray::number( int( int16_t( u ) ) ) + "?";
   }
   return out;
}

QByteArray DocumentToRichText( const QTextDocument& document, const QString& fontName, int pointSize )
{
   // The colour table: index 0 is the default (automatic) colour, then every colour the runs use.
   std::vector<QRgb> colours;
   auto colourIndex = [&colours]( const QColor& colour ) -> int {
      if ( !colour.isValid() )
         return 0;
      const QRgb rgb = colour.rgb();
      for ( size_t i = 0; i < colours.size(); ++i )
         if ( colours[i] == rgb )
            return int( i ) + 1;
      colours.push_back( rgb );
      return int( colours.size() );
   };

   QByteArray body;
   for ( QTextBlock block = document.begin(); block.isValid(); block = block.next() )
   {
      for ( auto it = block.begin(); !it.atEnd(); ++it )
      {
         const QTextFragment fragment = it.fragment();
         if ( !fragment.isValid() )
            continue;
         const QTextCharFormat format = fragment.charFormat();
         const bool bold = format.fontWeight() >= QFont::Bold;
         const int colour = format.hasProperty( QTextFormat::ForegroundBrush )
                               ? colourIndex( format.foreground().color() )
                               : 0;
         body += "{";
         if ( bold )
            body += "\\b";
         if ( colour != 0 )
            body += "\\cf" + QByteArray::number( colour );
         if ( bold || colour != 0 )
            body += " ";
         body += EscapeRichText( fragment.text() );
         body += "}";
      }
      if ( block.next().isValid() )
         body += "\\par\n";
   }

   QByteArray rtf = "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1\n";
   rtf += "{\\fonttbl{\\f0\\fmodern " + EscapeRichText( fontName ) + ";}}\n";
   rtf += "{\\colortbl ;";
   for ( QRgb c : colours )
      rtf += "\\red" + QByteArray::number( qRed( c ) ) + "\\green" + QByteArray::number( qGreen( c ) ) + "\\blue" +
             QByteArray::number( qBlue( c ) ) + ";";
   rtf += "}\n";
   rtf += "\\pard\\plain\\f0\\fs" + QByteArray::number( pointSize * 2 ) + "\n";
   rtf += body;
   rtf += "\n}\n";
   return rtf;
}

void SaveReportDocument( const QTextDocument& document, const QString& fontName, int pointSize,
                         const QString& path )
{
   QByteArray bytes;
   if ( QFileInfo( path ).suffix().compare( "rtf", Qt::CaseInsensitive ) == 0 )
      bytes = DocumentToRichText( document, fontName, pointSize );
   else
   {
      QString text = document.toPlainText();
      text.replace( QChar::ParagraphSeparator, '\n' );
      bytes = text.toUtf8().replace( "\n", "\r\n" );
      if ( !bytes.isEmpty() )
         bytes += "\r\n";
   }
   QSaveFile file( path );
   if ( !file.open( QIODevice::WriteOnly ) || file.write( bytes ) != bytes.size() || !file.commit() )
      throw ToolkitError( "Cannot create file " + path.toStdString() + ": " + file.errorString().toStdString() );
}
