#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

// The named colours the views use. The fixed hues are chosen to read well on
// light and dark backgrounds; the semantic ones come from the palette, so they
// follow the user's theme.
class SystemColors {
public:
    static QColor blue() { return QColor(0x00, 0x7a, 0xff); }
    static QColor green() { return QColor(0x2f, 0xb8, 0x4f); }
    static QColor yellow() { return QColor(0xf5, 0xbc, 0x00); }
    static QColor purple() { return QColor(0xaf, 0x52, 0xde); }
    static QColor orange() { return QColor(0xff, 0x95, 0x00); }
    static QColor red() { return QColor(0xff, 0x3b, 0x30); }

    // Text of lesser importance: the palette's placeholder colour.
    static QColor secondary(const QPalette& palette);
    // Text of least importance: the text colour faded further.
    static QColor tertiary(const QPalette& palette);
    static QColor windowBackground(const QPalette& palette) { return palette.color(QPalette::Window); }
    // Behind controls and cards: the palette's base (text field) colour.
    static QColor controlBackground(const QPalette& palette) { return palette.color(QPalette::Base); }
    static QColor separator(const QPalette& palette);

    // The colour written for a style sheet, alpha included.
    static QString css(const QColor& color);
};
