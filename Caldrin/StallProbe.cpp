#include "StallProbe.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <pthread.h>

StallProbe::StallProbe(int intervalMs, QObject* parent)
    : QObject(parent)
    , m_intervalMs(std::max(1, intervalMs)) {}

StallProbe::~StallProbe() {
    stop();
}

qint64 StallProbe::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

qint64 StallProbe::mainCpuNs() const {
    timespec now{};
    if (clock_gettime(m_mainClock, &now) != 0)
        return 0;
    return static_cast<qint64>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

void StallProbe::start() {
    stop();
    {
        std::lock_guard lock(m_mutex);
        m_delaysMs.clear();
        m_cpuMs.clear();
        m_pending.clear();
    }
    // The probes are served on this object's thread: the one whose time counts.
    if (pthread_getcpuclockid(pthread_self(), &m_mainClock) != 0)
        m_mainClock = CLOCK_THREAD_CPUTIME_ID;
    m_running = true;
    m_thread = std::thread([this] { run(); });
}

void StallProbe::stop() {
    if (!m_running.exchange(false))
        return;
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard lock(m_mutex);
    const qint64 now = nowNs();
    const qint64 cpu = mainCpuNs();
    for (const Pending& posted : m_pending) {
        m_delaysMs.push_back(static_cast<double>(now - posted.postedNs) / 1e6);
        m_cpuMs.push_back(static_cast<double>(cpu - posted.mainCpuNs) / 1e6);
    }
    m_pending.clear();
}

void StallProbe::run() {
    while (m_running.load()) {
        const Pending posted{nowNs(), mainCpuNs()};
        {
            std::lock_guard lock(m_mutex);
            m_pending.push_back(posted);
        }
        QMetaObject::invokeMethod(
            this, [this, posted] { served(posted); }, Qt::QueuedConnection);
        std::this_thread::sleep_for(std::chrono::milliseconds(m_intervalMs));
    }
}

void StallProbe::served(Pending posted) {
    const double delayMs = static_cast<double>(nowNs() - posted.postedNs) / 1e6;
    timespec cpu{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &cpu);
    const qint64 cpuNs = static_cast<qint64>(cpu.tv_sec) * 1'000'000'000 + cpu.tv_nsec;
    {
        std::lock_guard lock(m_mutex);
        const auto pending = std::find_if(m_pending.begin(), m_pending.end(), [&](const Pending& waiting) {
            return waiting.postedNs == posted.postedNs;
        });
        if (pending == m_pending.end())
            return; // posted in an earlier span
        m_pending.erase(pending);
        m_delaysMs.push_back(delayMs);
        m_cpuMs.push_back(std::max(0.0, static_cast<double>(cpuNs - posted.mainCpuNs) / 1e6));
    }
    if (m_reportThresholdMs > 0 && delayMs >= m_reportThresholdMs)
        emit stalled(delayMs);
}

double StallProbe::maxStallMs() const {
    std::lock_guard lock(m_mutex);
    double longest = 0;
    for (double delay : m_delaysMs)
        longest = std::max(longest, delay);
    return longest;
}

double StallProbe::percentileOf(std::vector<double> values, double percentile) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const double rank = std::clamp(percentile, 0.0, 100.0) / 100.0 * static_cast<double>(values.size() - 1);
    return values[static_cast<size_t>(std::llround(rank))];
}

double StallProbe::percentileMs(double percentile) const {
    std::lock_guard lock(m_mutex);
    return percentileOf(m_delaysMs, percentile);
}

double StallProbe::maxStallCpuMs() const {
    std::lock_guard lock(m_mutex);
    return m_cpuMs.empty() ? 0 : *std::max_element(m_cpuMs.begin(), m_cpuMs.end());
}

double StallProbe::cpuPercentileMs(double percentile) const {
    std::lock_guard lock(m_mutex);
    return percentileOf(m_cpuMs, percentile);
}

qsizetype StallProbe::sampleCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<qsizetype>(m_delaysMs.size());
}
