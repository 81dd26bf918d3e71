#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

// Hands items from one thread to another in order. The giver waits while
// `capacity` items are waiting, so a slow taker bounds the memory in between;
// the taker waits for the next item until the giver closes the queue.
template <typename T> class HandOffQueue {
public:
    explicit HandOffQueue(size_t capacity)
        : m_capacity(capacity) {}

    void put(T item) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_items.size() < m_capacity; });
        m_items.push_back(std::move(item));
        m_changed.notify_all();
    }

    void close() {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
        m_changed.notify_all();
    }

    // Empty once the queue is closed and every item taken.
    std::optional<T> take() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_items.empty() || m_closed; });
        if (m_items.empty())
            return std::nullopt;
        std::optional<T> item(std::move(m_items.front()));
        m_items.pop_front();
        m_changed.notify_all();
        return item;
    }

private:
    const size_t m_capacity;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<T> m_items;
    bool m_closed = false;
};
