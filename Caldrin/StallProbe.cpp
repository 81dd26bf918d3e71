#include "StallProbe.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <algorithm>
#include <chrono>
#include <cmath>

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

void StallProbe::start() {
    stop();
    {
        std::lock_guard lock(m_mutex);
        m_delaysMs.clear();
        m_pendingNs.clear();
    }
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
    for (qint64 posted : m_pendingNs)
        m_delaysMs.push_back(static_cast<double>(now - posted) / 1e6);
    m_pendingNs.clear();
}

void StallProbe::run() {
    while (m_running.load()) {
        const qint64 posted = nowNs();
        {
            std::lock_guard lock(m_mutex);
            m_pendingNs.push_back(posted);
        }
        QMetaObject::invokeMethod(
            this, [this, posted] { served(posted); }, Qt::QueuedConnection);
        std::this_thread::sleep_for(std::chrono::milliseconds(m_intervalMs));
    }
}

void StallProbe::served(qint64 postedNs) {
    const double delayMs = static_cast<double>(nowNs() - postedNs) / 1e6;
    {
        std::lock_guard lock(m_mutex);
        const auto pending = std::find(m_pendingNs.begin(), m_pendingNs.end(), postedNs);
        if (pending == m_pendingNs.end())
            return; // posted in an earlier span
        m_pendingNs.erase(pending);
        m_delaysMs.push_back(delayMs);
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

double StallProbe::percentileMs(double percentile) const {
    std::vector<double> delays;
    {
        std::lock_guard lock(m_mutex);
        delays = m_delaysMs;
    }
    if (delays.empty())
        return 0;
    std::sort(delays.begin(), delays.end());
    const double rank = std::clamp(percentile, 0.0, 100.0) / 100.0 * static_cast<double>(delays.size() - 1);
    return delays[static_cast<size_t>(std::llround(rank))];
}

qsizetype StallProbe::sampleCount() const {
    std::lock_guard lock(m_mutex);
    return static_cast<qsizetype>(m_delaysMs.size());
}
