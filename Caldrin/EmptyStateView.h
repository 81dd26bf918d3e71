#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

class QLabel;

// What a column shows when it has nothing to show: a large symbol, a title and
// optionally a hint below it, centred in the space it is given.
class EmptyStateView : public QWidget {
    Q_OBJECT
public:
    static constexpr int symbolSize = 60;

    EmptyStateView(const QString& symbol, const QColor& symbolColor, const QString& title,
                   const QColor& titleColor, const QString& hint = QString(), QWidget* parent = nullptr);

    QString symbol() const { return m_symbol; }
    QString title() const;
    QString hint() const;

private:
    QString m_symbol;
    QLabel* m_title;
    QLabel* m_hint = nullptr;
};
