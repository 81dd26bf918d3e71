#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// A large symbol over a title and an optional message, centred in the space it
// is given, 16 points apart: what a column shows when it has nothing to show.
class EmptyStateView : public QWidget {
    Q_OBJECT
public:
    static constexpr int symbolSize = 60;
    static constexpr int spacing = 16;

    enum class TitleColor { Primary, Secondary };

    EmptyStateView(const QString& symbol, const QString& title, const QString& message = QString(),
                   TitleColor titleColor = TitleColor::Primary, QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    QString title() const;
    QString message() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateSymbol();

    QString m_symbol;
    QLabel* m_symbolLabel;
    QLabel* m_title;
    QLabel* m_message = nullptr;
};
