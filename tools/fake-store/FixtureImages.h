#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

// Realistic-looking images drawn locally, so tests and screenshots need no
// network: app icons (a gradient tile with a glyph) and phone screenshots (a
// status bar, a title, cards and a tab bar in the app's colour).
class FixtureImages {
public:
    static QImage appIcon(int side, const QColor& from, const QColor& to, const QString& glyph);
    static QImage screenshot(const QSize& size, const QColor& accent, const QString& title, int variant);
    // A plain square of one colour, easy to recognise in painted output.
    static QImage solid(const QSize& size, const QColor& color);
    static QByteArray png(const QImage& image);
    // Writes <directory>/images/<fileName> as PNG, creating the folder.
    static bool writeImage(const QString& fixturesDirectory, const QString& fileName, const QImage& image);
    // A BMP header declaring a huge image with almost no pixel data: a
    // decompression bomb for the loader's limits.
    static QByteArray hugeBmpHeader(int width, int height);
};
