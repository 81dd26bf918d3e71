#pragma once

#include <QObject>

#include <atomic>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

// Measures how long the main thread keeps its event loop from turning. A helper
// thread posts a no-op to the main thread every few milliseconds and records
// how late each one is served; the longest delay is the longest stall. Used by
// the benchmarks, and by hand with CALDRIN_STALL_PROBE set (see main.cpp).
//
// Beside each delay it records the processor time the main thread itself spent
// meanwhile: on a machine shared with other busy processes the delay also holds
// the time the thread waited for a processor, and the processor time tells our
// own work from that. Waits for the disk count in the delay only.
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
    // The same of the main thread's processor time during each delay.
    double maxStallCpuMs() const;
    double cpuPercentileMs(double percentile) const;

signals:
    // Emitted on the main thread when a probe was served later than the
    // reporting threshold (see setReportThreshold).
    void stalled(double delayMs);

public:
    // Stalls at or over this many ms emit stalled(); 0 (the default) emits none.
    void setReportThreshold(double ms) { m_reportThresholdMs = ms; }

private:
    void run();
    struct Pending {
        qint64 postedNs;
        qint64 mainCpuNs; // the main thread's processor time when posted
    };

    void served(Pending posted);
    qint64 mainCpuNs() const;
    static qint64 nowNs();
    static double percentileOf(std::vector<double> values, double percentile);

    const int m_intervalMs;
    std::atomic<bool> m_running{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    std::vector<double> m_delaysMs;
    std::vector<double> m_cpuMs;
    // Probes not served yet (oldest first).
    std::vector<Pending> m_pending;
    clockid_t m_mainClock{};
    double m_reportThresholdMs = 0;
};
