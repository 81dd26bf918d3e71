#include "SymbolLabel.h"

#include "ElidedLabel.h"
#include "LabelStyles.h"
#include "SymbolTable.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>

SymbolLabel::SymbolLabel(const QString& symbol, const QString& text, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_symbolView(new QLabel(this))
    , m_textView(new ElidedLabel(text, this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_symbolView, 0, Qt::AlignVCenter);
    layout->addWidget(m_textView, 1, Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    renderSymbol();
}

QString SymbolLabel::text() const {
    return m_textView->text();
}

void SymbolLabel::setText(const QString& text) {
    m_textView->setText(text);
}

void SymbolLabel::setTextFont(const QFont& font) {
    m_textView->setFont(font);
    renderSymbol();
}

void SymbolLabel::setTextColor(const QColor& color) {
    m_textColor = color;
    LabelStyles::setColor(m_textView, color);
    // A symbol without a colour of its own follows the text's.
    renderSymbol();
}

void SymbolLabel::setSymbolColor(const QColor& color) {
    m_symbolColor = color;
    renderSymbol();
}

void SymbolLabel::setSymbolSize(int side) {
    m_symbolSide = side;
    renderSymbol();
}

int SymbolLabel::spacing() const {
    return layout()->spacing();
}

void SymbolLabel::setSpacing(int spacing) {
    layout()->setSpacing(spacing);
}

int SymbolLabel::symbolSide(const QFont& font) {
    return qMax(8, qRound(QFontMetricsF(font).height() * 0.8));
}

QLabel* SymbolLabel::image(const QString& symbol, int side, const QColor& color, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(SymbolTable::pixmap(symbol, side, color, parent ? parent->devicePixelRatioF() : 1.0));
    label->setFixedSize(side, side);
    return label;
}

void SymbolLabel::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        renderSymbol();
}

void SymbolLabel::renderSymbol() {
    const int side = m_symbolSide.value_or(symbolSide(m_textView->font()));
    const QColor color =
        m_symbolColor.value_or(m_textColor.value_or(m_textView->palette().color(QPalette::WindowText)));
    m_symbolView->setPixmap(SymbolTable::pixmap(m_symbol, side, color, devicePixelRatioF()));
    m_symbolView->setFixedSize(side, side);
}
