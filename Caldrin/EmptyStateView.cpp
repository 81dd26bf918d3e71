#include "EmptyStateView.h"

#include "LabelStyles.h"
#include "SymbolLabel.h"
#include "SystemColors.h"
#include "TextStyles.h"

#include <QLabel>
#include <QVBoxLayout>

using Style = TextStyles::Style;

EmptyStateView::EmptyStateView(const QString& symbol, const QColor& symbolColor, const QString& title,
                               const QColor& titleColor, const QString& hint, QWidget* parent)
    : QWidget(parent)
    , m_symbol(symbol)
    , m_title(LabelStyles::make(title, TextStyles::font(Style::Title2), titleColor, this)) {
    QLabel* image = SymbolLabel::image(symbol, symbolSize, symbolColor, this);
    image->setObjectName(QStringLiteral("emptyStateSymbol"));
    m_title->setAlignment(Qt::AlignCenter);
    m_title->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(16);
    layout->addStretch();
    layout->addWidget(image, 0, Qt::AlignHCenter);
    layout->addWidget(m_title);
    if (!hint.isEmpty()) {
        m_hint = LabelStyles::make(hint, font(), SystemColors::secondary(palette()), this);
        m_hint->setAlignment(Qt::AlignCenter);
        m_hint->setWordWrap(true);
        layout->addWidget(m_hint);
    }
    layout->addStretch();
}

QString EmptyStateView::title() const {
    return m_title->text();
}

QString EmptyStateView::hint() const {
    return m_hint ? m_hint->text() : QString();
}
