#pragma once

#include <QColor>
#include <QFontMetrics>
#include <QString>
#include <QWidget>

#include <optional>

// One line of text that shortens itself with an ellipsis instead of widening
// its layout, so that a name of any length leaves the layout intact.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = QString(), QWidget* parent = nullptr);

    // Keeps the start of a long text only (UserCharacters::shortened).
    void setText(const QString& text);
    QString text() const { return m_text; }
    // The text as painted at the current width.
    QString displayedText() const;
    void setColor(const QColor& color);
    void setAlignment(Qt::Alignment alignment);

    // The start of the text on one line (breaks shown as spaces), shortened to width.
    static QString elided(const QString& text, const QFontMetrics& metrics, int width);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    std::optional<QColor> m_color;
    Qt::Alignment m_alignment = Qt::AlignLeft | Qt::AlignVCenter;
};
