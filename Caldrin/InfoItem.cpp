#include "InfoItem.h"

#include "LabelStyles.h"
#include "SystemColors.h"
#include "TextStyles.h"
#include "UserCharacters.h"

#include <QLabel>
#include <QVBoxLayout>

using Style = TextStyles::Style;

InfoItem::InfoItem(const QString& title, const QString& value, QWidget* parent)
    : QWidget(parent)
    , m_title(LabelStyles::make(title, TextStyles::font(Style::Caption), this))
    , m_value(LabelStyles::make(UserCharacters::shortened(value),
                                TextStyles::font(Style::Body, QFont::Medium), this)) {
    LabelStyles::setColor(m_title, SystemColors::secondary(palette()));
    m_value->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_title);
    layout->addWidget(m_value);
    layout->addStretch();
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

QString InfoItem::title() const {
    return m_title->text();
}

QString InfoItem::value() const {
    return m_value->text();
}

void InfoItem::setValue(const QString& value) {
    m_value->setText(UserCharacters::shortened(value));
}
