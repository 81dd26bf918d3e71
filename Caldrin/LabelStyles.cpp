#include "LabelStyles.h"

#include <QLabel>

QLabel* LabelStyles::make(const QString& text, const QFont& font, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    return label;
}

QLabel* LabelStyles::make(const QString& text, const QFont& font, const QColor& color, QWidget* parent) {
    QLabel* label = make(text, font, parent);
    setColor(label, color);
    return label;
}

QLabel* LabelStyles::selectable(const QString& text, const QFont& font, QWidget* parent) {
    QLabel* label = make(text, font, parent);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setCursor(Qt::IBeamCursor);
    return label;
}

void LabelStyles::setColor(QWidget* widget, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}
