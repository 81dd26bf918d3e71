#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// The named symbols of the views ("star.fill", "folder.fill", ...) mapped to
// freedesktop theme icons, with a bundled drawing of our own for every name the
// theme lacks (or when no theme is installed). Symbols are single-colour shapes:
// they are always drawn tinted in the colour the view asks for.
class SymbolTable {
public:
    // Every symbol name the views use, sorted.
    static QStringList symbolNames();
    static bool isKnown(const QString& symbol);
    // The theme icon name standing for the symbol, or empty when only the
    // bundled drawing fits.
    static QString themeIconName(const QString& symbol);
    // The resource path of the bundled drawing.
    static QString fallbackPath(const QString& symbol);
    // True when the installed theme provides the symbol's icon.
    static bool comesFromTheme(const QString& symbol);

    // The untinted icon: the theme's, else the bundled one; null for unknown names.
    static QIcon icon(const QString& symbol);
    // The symbol as a square pixmap of `size` device-independent pixels in one
    // colour. Transparent for unknown names.
    static QPixmap pixmap(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio = 1.0);
    // An icon for buttons, tinted, with a dimmed variant for the disabled state.
    static QIcon tintedIcon(const QString& symbol, const QColor& color, int size);
    // Draws the symbol centred in rect, as large as fits.
    static void paint(QPainter& painter, const QRectF& rect, const QString& symbol, const QColor& color);

    // Makes the freedesktop theme reachable: the Adwaita theme when the platform
    // names none, and /usr/share/icons among the search paths (the offscreen
    // platform leaves both unset). Cheap when already done.
    static void installIconTheme();
};
