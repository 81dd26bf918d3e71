#pragma once

#include <QObject>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

// Measures how long the main thread keeps its event loop from turning. A helper
// thread posts a no-op to the main thread every few milliseconds and records
// how late each one is served; the longest delay is the longest stall. Used by
// the benchmarks, and by hand with CALDRIN_STALL_PROBE set (see main.cpp).
class StallProbe : public QObject {
    Q_OBJECT
public:
    explicit StallProbe(int intervalMs = 2, QObject* parent = nullptr);
    ~StallProbe() override;

    // Starts a measured span; the delays recorded before are forgotten.
    void start();
    // Ends the span. Probes still waiting when it ends are counted with their
    // delay so far, so a stall that lasts to the end is not missed.
    void stop();
    bool isRunning() const { return m_running.load(); }

    // Figures of the last span (or of the span so far while running), in ms.
    double maxStallMs() const;
    double percentileMs(double percentile) const;
    qsizetype sampleCount() const;

signals:
    // Emitted on the main thread when a probe was served later than the
    // reporting threshold (see setReportThreshold).
    void stalled(double delayMs);

public:
    // Stalls at or over this many ms emit stalled(); 0 (the default) emits none.
    void setReportThreshold(double ms) { m_reportThresholdMs = ms; }

private:
    void run();
    void served(qint64 postedNs);
    static qint64 nowNs();

    const int m_intervalMs;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<double> m_delaysMs;
    // Posting times of probes not served yet (oldest first).
    std::vector<qint64> m_pendingNs;
    double m_reportThresholdMs = 0;
};
