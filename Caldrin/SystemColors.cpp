#include "SystemColors.h"

QColor SystemColors::secondary(const QPalette& palette) {
    QColor color = palette.color(QPalette::PlaceholderText);
    // Some themes make placeholder text nearly invisible; keep it readable.
    if (color.alphaF() < 0.5)
        color.setAlphaF(0.55);
    return color;
}

QColor SystemColors::tertiary(const QPalette& palette) {
    QColor color = palette.color(QPalette::Text);
    color.setAlphaF(0.38);
    return color;
}

QColor SystemColors::separator(const QPalette& palette) {
    QColor color = palette.color(QPalette::Text);
    color.setAlphaF(0.16);
    return color;
}

QString SystemColors::css(const QColor& color) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF(), 0, 'f', 3);
}
