#ifndef LF_WINDOWS_MAIN_ACTION_ICONS_H
#define LF_WINDOWS_MAIN_ACTION_ICONS_H

// Icons of the main window's actions, drawn rather than loaded: a short glyph (a letter, a ratio, an arrow) or a
// small pictogram on a rounded tile, painted at whatever size and device pixel ratio the icon is asked for, so that
// tool buttons stay sharp on high-density screens.

#include <QColor>
#include <QIcon>
#include <QString>

#include <functional>

class QPainter;

QIcon GlyphIcon( const QString& glyph, QColor tile = QColor( 70, 90, 120 ) );

// A pictogram drawn on the same tile. The drawing gets a painter whose coordinates run from 0 to 24 across the
// tile, a white pen and no brush; ink is the colour to draw in (grey on a disabled icon).
using PictogramDrawing = std::function<void( QPainter& painter, const QColor& ink )>;
QIcon PictogramIcon( PictogramDrawing drawing, QColor tile = QColor( 70, 90, 120 ) );

#endif
