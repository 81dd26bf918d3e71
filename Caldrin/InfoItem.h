#pragma once

#include <QString>
#include <QWidget>

class QLabel;

// One cell of the detail view's "Information" row: a caption-sized title in the
// secondary colour above its value, taking the width it is given.
class InfoItem : public QWidget {
    Q_OBJECT
public:
    InfoItem(const QString& title, const QString& value, QWidget* parent = nullptr);

    QString title() const;
    QString value() const;
    void setValue(const QString& value);

private:
    QLabel* m_title;
    QLabel* m_value;
};
