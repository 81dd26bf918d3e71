#include "EmptyStateView.h"

#include "SymbolTable.h"
#include "SystemColors.h"
#include "TextStyles.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {

void colorText(QLabel* label, const QColor& color) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

EmptyStateView::EmptyStateView(const QString& symbol, const QString& title, const QString& message,
                               TitleColor titleColor, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_symbolLabel(new QLabel(this))
    , m_title(new QLabel(title, this)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(spacing);
    layout->addStretch(1);
    m_symbolLabel->setAlignment(Qt::AlignCenter);
    m_symbolLabel->setObjectName(QStringLiteral("emptyStateSymbol"));
    layout->addWidget(m_symbolLabel);
    m_title->setFont(TextStyles::font(TextStyles::Style::Title2, font()));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    if (titleColor == TitleColor::Secondary)
        colorText(m_title, SystemColors::secondary(palette()));
    layout->addWidget(m_title);
    if (!message.isEmpty()) {
        m_message = new QLabel(message, this);
        m_message->setAlignment(Qt::AlignCenter);
        m_message->setWordWrap(true);
        colorText(m_message, SystemColors::secondary(palette()));
        layout->addWidget(m_message);
    }
    layout->addStretch(1);
    updateSymbol();
}

QString EmptyStateView::title() const {
    return m_title->text();
}

QString EmptyStateView::message() const {
    return m_message ? m_message->text() : QString();
}

void EmptyStateView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ScreenChangeInternal)
        updateSymbol();
}

void EmptyStateView::updateSymbol() {
    const qreal ratio = devicePixelRatioF();
    m_symbolLabel->setPixmap(
        SymbolTable::pixmap(m_symbol, symbolSize, SystemColors::secondary(palette()), ratio));
    m_symbolLabel->setMinimumHeight(symbolSize);
}
