#pragma once

#include <QPointer>
#include <QWidget>

#include <optional>

class AppCollectorService;
class AppIndex;
class BusyIndicator;
class QLabel;
class QPushButton;

// The sidebar's collector box: the heading, and once the window has a collector,
// the buttons that drive it and its status: the last status message, the time of
// the last run, the number of apps collected and the details queue's progress.
class CollectorBox : public QWidget {
    Q_OBJECT
public:
    static constexpr int cornerRadius = 8;
    static constexpr int itemSpacing = 8;
    static constexpr int statusSpacing = 4;

    // The count of collected apps comes from the index, which keeps it as
    // records come and go; until the index has been read, from the store.
    explicit CollectorBox(AppIndex& index, QWidget* parent = nullptr);

    void setCollector(AppCollectorService* collector);
    AppCollectorService* collector() const { return m_collector; }

    QPushButton* startStopButton() const { return m_startStop; }
    QPushButton* fetchNowButton() const { return m_fetchNow; }
    QPushButton* resetButton() const { return m_reset; }
    QString statusText() const;
    // Empty while the collector has not run.
    QString lastFetchText() const;
    QString totalText() const;
    // The queue line as shown: its status text, and whether the progress
    // indicator turns beside it.
    QString queueText() const;
    bool showsQueueProgress() const;

    // Starts a collection run as a task of its own, once the main thread is
    // free; nobody waits for it (the collector reports through its status).
    static void startFetch(AppCollectorService& collector);
    // Stops a collecting collector, starts one that is not.
    static void startOrStop(AppCollectorService& collector);

    // What "Total collected" shows.
    // Empty while the store is still being counted.
    std::optional<qint64> totalCollected();

signals:
    // "Reset & Reload" was pressed.
    void resetRequested();

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void refreshTotal();
    void styleStartStop(bool collecting);
    void toggleCollecting();
    void fetchNow();
    void updateColors();

    AppIndex& m_index;
    QPointer<AppCollectorService> m_collector;
    std::optional<qint64> m_countBeforeIndex;
    bool m_savedBeforeIndex = false;
    QWidget* m_details;
    QPushButton* m_startStop;
    QPushButton* m_fetchNow;
    QPushButton* m_reset;
    QLabel* m_status;
    QLabel* m_lastFetch;
    QLabel* m_total;
    QWidget* m_queueProgress;
    BusyIndicator* m_queueIndicator;
    QLabel* m_queueMessage;
    QLabel* m_queueStatus;
    bool m_showsStop = false;
};
