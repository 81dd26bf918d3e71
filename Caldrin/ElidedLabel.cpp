#include "ElidedLabel.h"

#include "UserCharacters.h"

#include <QPainter>

namespace {

// Line breaks would let one line grow into many; show them as spaces.
QString singleLine(const QString& text) {
    QString line = text;
    for (QChar& c : line) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            c = QLatin1Char(' ');
    }
    return line;
}

} // namespace

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent)
    : QWidget(parent)
    , m_text(UserCharacters::shortened(text)) {
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void ElidedLabel::setText(const QString& text) {
    // One line never shows more than the start of a long text.
    const QString shown = UserCharacters::shortened(text);
    if (shown == m_text)
        return;
    m_text = shown;
    updateGeometry();
    update();
}

void ElidedLabel::setColor(const QColor& color) {
    m_color = color;
    update();
}

void ElidedLabel::setAlignment(Qt::Alignment alignment) {
    m_alignment = alignment;
    update();
}

QString ElidedLabel::elided(const QString& text, const QFontMetrics& metrics, int width) {
    return metrics.elidedText(singleLine(UserCharacters::shortened(text)), Qt::ElideRight, width);
}

QString ElidedLabel::displayedText() const {
    return fontMetrics().elidedText(singleLine(m_text), Qt::ElideRight, width());
}

QSize ElidedLabel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    // Long texts ask for a sensible width, never for their full length.
    const int wanted = metrics.horizontalAdvance(singleLine(m_text.left(200))) + 1;
    return QSize(qMin(wanted, 400), metrics.height());
}

QSize ElidedLabel::minimumSizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("M…")), fontMetrics().height());
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(m_color.value_or(palette().color(foregroundRole())));
    painter.drawText(rect(), int(m_alignment), displayedText());
}
