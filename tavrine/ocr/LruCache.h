#pragma once

#include <cstddef>
#include <list>
#include <optional>
#include <unordered_map>
#include <utility>

namespace tavrine {

// A map of bounded size that forgets the entry used least recently. Not thread-safe: each cache belongs to the
// OCR thread.
template <typename Key, typename Value> class LruCache {
public:
    explicit LruCache(std::size_t capacity) : m_capacity(capacity) {}

    std::optional<Value> find(const Key& key) {
        const auto it = m_index.find(key);
        if (it == m_index.end())
            return std::nullopt;
        m_entries.splice(m_entries.begin(), m_entries, it->second);
        return it->second->second;
    }

    void insert(const Key& key, Value value) {
        if (m_capacity == 0)
            return;
        if (const auto it = m_index.find(key); it != m_index.end()) {
            it->second->second = std::move(value);
            m_entries.splice(m_entries.begin(), m_entries, it->second);
            return;
        }
        m_entries.emplace_front(key, std::move(value));
        m_index.emplace(key, m_entries.begin());
        if (m_entries.size() > m_capacity) {
            m_index.erase(m_entries.back().first);
            m_entries.pop_back();
        }
    }

    void clear() {
        m_index.clear();
        m_entries.clear();
    }
    std::size_t size() const { return m_entries.size(); }

private:
    using Entries = std::list<std::pair<Key, Value>>;
    std::size_t m_capacity;
    Entries m_entries;
    std::unordered_map<Key, typename Entries::iterator> m_index;
};

} // namespace tavrine
