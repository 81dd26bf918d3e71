#pragma once

#include <QColor>
#include <QFont>
#include <QString>

class QLabel;
class QWidget;

// Plain-text labels in a given font and colour. Texts from the store are never
// read as markup: a name or description holding "<img src=...>" shows as typed.
class LabelStyles {
public:
    static QLabel* make(const QString& text, const QFont& font, QWidget* parent);
    static QLabel* make(const QString& text, const QFont& font, const QColor& color, QWidget* parent);
    // A wrapping label whose text the user can select and copy.
    static QLabel* selectable(const QString& text, const QFont& font, QWidget* parent);
    // The widget's text (foreground) colour.
    static void setColor(QWidget* widget, const QColor& color);
};
