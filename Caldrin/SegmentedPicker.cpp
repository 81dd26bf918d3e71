#include "SegmentedPicker.h"

#include "ButtonStyles.h"
#include "SystemColors.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

SegmentedPicker::SegmentedPicker(const QString& label, const QStringList& segments, QWidget* parent)
    : QWidget(parent)
    , m_group(new QButtonGroup(this)) {
    setAccessibleName(label);
    setObjectName(QStringLiteral("segmentedPicker"));
    setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(2);
    m_group->setExclusive(true);
    for (qsizetype i = 0; i < segments.size(); ++i) {
        auto* button = new QPushButton(segments.at(i), this);
        button->setCheckable(true);
        button->setFocusPolicy(Qt::TabFocus);
        button->setCursor(Qt::PointingHandCursor);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        ButtonStyles::disableAutoDefault(button);
        m_group->addButton(button, static_cast<int>(i));
        layout->addWidget(button);
        m_segments.append(button);
    }
    if (!m_segments.isEmpty())
        m_segments.first()->setChecked(true);
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) { emit currentIndexChanged(id); });
    updateStyle();
}

int SegmentedPicker::currentIndex() const {
    return m_group->checkedId();
}

void SegmentedPicker::setCurrentIndex(int index) {
    if (QAbstractButton* button = m_group->button(index))
        button->setChecked(true);
}

void SegmentedPicker::updateStyle() {
    const QPalette& palette = this->palette();
    QColor track = palette.color(QPalette::WindowText);
    track.setAlphaF(0.09);
    QColor border = palette.color(QPalette::WindowText);
    border.setAlphaF(0.14);
    QColor hover = palette.color(QPalette::WindowText);
    hover.setAlphaF(0.06);
    // The chosen segment stands out as a raised card on a sunken track.
    setStyleSheet(QStringLiteral("#segmentedPicker { background-color: %1; border-radius: 7px; }"
                                 "#segmentedPicker QPushButton { border: none; border-radius: 5px;"
                                 " padding: 3px 10px; background: transparent; color: %2; }"
                                 "#segmentedPicker QPushButton:hover:!checked { background-color: %5; }"
                                 "#segmentedPicker QPushButton:checked { background-color: %3;"
                                 " border: 1px solid %4; font-weight: 600; }"
                                 "#segmentedPicker QPushButton:focus { outline: none; }")
                      .arg(SystemColors::css(track), SystemColors::css(palette.color(QPalette::WindowText)),
                           SystemColors::css(palette.color(QPalette::Base)), SystemColors::css(border),
                           SystemColors::css(hover)));
}
