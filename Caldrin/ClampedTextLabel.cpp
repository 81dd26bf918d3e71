#include "ClampedTextLabel.h"

#include "UserCharacters.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QTextLayout>

ClampedTextLabel::ClampedTextLabel(int maximumLines, QWidget* parent)
    : QWidget(parent)
    , m_maximumLines(qMax(1, maximumLines)) {
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void ClampedTextLabel::setText(const QString& text) {
    // A few lines never show more than the start of a long text.
    const QString shown = UserCharacters::shortened(text);
    if (shown == m_text)
        return;
    m_text = shown;
    updateGeometry();
    update();
}

void ClampedTextLabel::setColor(const QColor& color) {
    m_color = color;
    update();
}

QStringList ClampedTextLabel::displayedLines(int width) const {
    QStringList lines;
    if (m_text.isEmpty() || width <= 0)
        return lines;
    // Line breaks in the text count as line ends.
    QString text = m_text;
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, font());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    int consumed = 0;
    int lastStart = 0;
    while (lines.size() < m_maximumLines) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        QString piece = text.mid(line.textStart(), line.textLength());
        while (piece.endsWith(QChar::LineSeparator))
            piece.chop(1);
        lines.append(piece);
        lastStart = line.textStart();
        consumed = line.textStart() + line.textLength();
    }
    layout.endLayout();
    if (consumed < text.size() && !lines.isEmpty()) {
        // The rest joins the last line, which is then shortened to fit.
        lines.removeLast();
        QString last = text.mid(lastStart);
        last.replace(QChar::LineSeparator, QLatin1Char(' '));
        lines.append(fontMetrics().elidedText(last, Qt::ElideRight, width));
    }
    return lines;
}

int ClampedTextLabel::heightForWidth(int width) const {
    const auto lines = displayedLines(width);
    return int(qMax<qsizetype>(1, lines.size())) * fontMetrics().lineSpacing();
}

QSize ClampedTextLabel::sizeHint() const {
    const int width = qMin(fontMetrics().horizontalAdvance(m_text.left(200)) + 1, 400);
    return QSize(width, heightForWidth(qMax(width, 1)));
}

QSize ClampedTextLabel::minimumSizeHint() const {
    return QSize(fontMetrics().horizontalAdvance(QStringLiteral("M…")), fontMetrics().lineSpacing());
}

void ClampedTextLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(m_color.value_or(palette().color(foregroundRole())));
    const int lineSpacing = fontMetrics().lineSpacing();
    int y = 0;
    for (const QString& line : displayedLines(width())) {
        painter.drawText(QRect(0, y, width(), lineSpacing),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += lineSpacing;
    }
}

void ClampedTextLabel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateGeometry();
}
