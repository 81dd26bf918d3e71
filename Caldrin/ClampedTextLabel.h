#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include <optional>

class QTextLayout;

// A wrapped text shown on at most a given number of lines; what does not fit
// ends the last line with an ellipsis.
class ClampedTextLabel : public QWidget {
    Q_OBJECT
public:
    explicit ClampedTextLabel(int maximumLines, QWidget* parent = nullptr);

    QString text() const { return m_text; }
    // Keeps the start of a long text only (UserCharacters::shortened).
    void setText(const QString& text);
    void setColor(const QColor& color);
    // The lines as painted at a width, the last one shortened when the text runs on.
    QStringList displayedLines(int width) const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QString m_text;
    int m_maximumLines;
    std::optional<QColor> m_color;
};
