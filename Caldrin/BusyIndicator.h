#pragma once

#include <QColor>
#include <QTimer>
#include <QWidget>

// The spinning progress indicator shown while something loads: twelve spokes
// fading round a circle. It turns only while visible.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    explicit BusyIndicator(int diameter, QWidget* parent = nullptr);

    void setColor(const QColor& color);
    QSize sizeHint() const override { return QSize(m_diameter, m_diameter); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int m_diameter;
    int m_step = 0;
    QColor m_color;
    QTimer m_timer;
};
