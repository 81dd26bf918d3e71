#pragma once

#include <QColor>

class QAbstractButton;
class QPushButton;
class QToolButton;

// The button looks the views ask for: prominent (filled with a tint), bordered
// (the platform's push button, optionally with tinted text) and borderless (a
// flat symbol button).
class ButtonStyles {
public:
    static void makeProminent(QPushButton* button, const QColor& tint);
    static void makeProminent(QPushButton* button);
    static void makeBordered(QPushButton* button, const QColor& tint = QColor());
    // A bordered button that stays legible on a dark background.
    static void makeBorderedOnDark(QPushButton* button);
    // A flat symbol button; iconSize is the symbol's side in device-independent pixels.
    static void makeBorderless(QToolButton* button, const QString& symbol, const QColor& color, int iconSize);
    // Buttons in sheets must not fire on Return unless asked to.
    static void disableAutoDefault(QAbstractButton* button);
};
