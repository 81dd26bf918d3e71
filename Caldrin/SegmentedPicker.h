#pragma once

#include <QList>
#include <QStringList>
#include <QWidget>

class QButtonGroup;
class QPushButton;

// A row of mutually exclusive segments, one of them chosen: the segmented
// picker of toolbars. Its label is its accessible name (toolbars show none).
class SegmentedPicker : public QWidget {
    Q_OBJECT
public:
    SegmentedPicker(const QString& label, const QStringList& segments, QWidget* parent = nullptr);

    QString label() const { return accessibleName(); }
    int currentIndex() const;
    // Chooses a segment without emitting currentIndexChanged.
    void setCurrentIndex(int index);
    QList<QPushButton*> segments() const { return m_segments; }

signals:
    // The user chose another segment.
    void currentIndexChanged(int index);

private:
    void updateStyle();

    QButtonGroup* m_group;
    QList<QPushButton*> m_segments;
};
