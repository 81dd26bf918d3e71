#include "BusyIndicator.h"

#include <QPainter>

namespace {
constexpr int spokes = 12;
constexpr int stepMs = 80;
} // namespace

BusyIndicator::BusyIndicator(int diameter, QWidget* parent)
    : QWidget(parent)
    , m_diameter(diameter) {
    setFixedSize(diameter, diameter);
    m_timer.setInterval(stepMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spokes;
        update();
    });
}

void BusyIndicator::setColor(const QColor& color) {
    m_color = color;
    update();
}

void BusyIndicator::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_timer.start();
}

void BusyIndicator::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_timer.stop();
}

void BusyIndicator::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor base = m_color.isValid() ? m_color : palette().color(QPalette::WindowText);
    const qreal radius = m_diameter / 2.0;
    const qreal width = qMax(1.5, m_diameter / 11.0);
    painter.translate(rect().center() + QPointF(0.5, 0.5));
    for (int i = 0; i < spokes; ++i) {
        QColor color = base;
        const int age = (m_step - i + spokes) % spokes;
        color.setAlphaF(base.alphaF() * (1.0 - age / double(spokes)) * 0.85 + 0.1);
        painter.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -radius * 0.48), QPointF(0, -radius + width));
        painter.rotate(360.0 / spokes);
    }
}
