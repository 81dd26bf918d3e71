#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>

#include <optional>

class ElidedLabel;
class QLabel;

// A named symbol followed by a text, the symbol sized to the text's font: the
// views' "label with a system image". Symbol and text take the label's
// foreground colour unless each is given one of its own. A long text is
// shortened with an ellipsis rather than widening the layout.
class SymbolLabel : public QWidget {
    Q_OBJECT
public:
    SymbolLabel(const QString& symbol, const QString& text, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    QString text() const;
    void setText(const QString& text);
    void setTextFont(const QFont& font);
    void setTextColor(const QColor& color);
    void setSymbolColor(const QColor& color);
    // Overrides the side derived from the font.
    void setSymbolSize(int side);
    int spacing() const;
    void setSpacing(int spacing);

    QLabel* symbolView() const { return m_symbolView; }
    ElidedLabel* textView() const { return m_textView; }

    // The side of a symbol shown at the size of a font.
    static int symbolSide(const QFont& font);
    // A symbol alone, tinted, in a label of its own size.
    static QLabel* image(const QString& symbol, int side, const QColor& color, QWidget* parent);

protected:
    void changeEvent(QEvent* event) override;

private:
    void renderSymbol();

    QString m_symbol;
    std::optional<QColor> m_textColor;
    std::optional<QColor> m_symbolColor;
    std::optional<int> m_symbolSide;
    QLabel* m_symbolView;
    ElidedLabel* m_textView;
};
