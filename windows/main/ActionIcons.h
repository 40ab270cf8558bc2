#ifndef LF_WINDOWS_MAIN_ACTION_ICONS_H
#define LF_WINDOWS_MAIN_ACTION_ICONS_H

// Icons of the main window's actions, drawn rather than loaded: a short glyph (a letter, a ratio, an arrow) on a
// rounded tile, painted at whatever size and device pixel ratio the icon is asked for, so that tool buttons stay
// sharp on high-density screens.

#include <QColor>
#include <QIcon>
#include <QString>

QIcon GlyphIcon( const QString& glyph, QColor tile = QColor( 70, 90, 120 ) );

#endif
