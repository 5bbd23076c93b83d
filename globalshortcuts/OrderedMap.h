#pragma once

#include <utility>
#include <vector>

namespace globalshortcuts {

// A small map that iterates in insertion order (the handler tables hold a handful of entries).
template <typename K, typename V> class OrderedMap {
public:
    V* find(const K& key) {
        for (auto& entry : m_entries)
            if (entry.first == key)
                return &entry.second;
        return nullptr;
    }
    const V* find(const K& key) const { return const_cast<OrderedMap*>(this)->find(key); }
    bool contains(const K& key) const { return find(key) != nullptr; }
    V& operator[](const K& key) {
        if (V* value = find(key))
            return *value;
        m_entries.emplace_back(key, V());
        return m_entries.back().second;
    }
    bool erase(const K& key) {
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->first == key) {
                m_entries.erase(it);
                return true;
            }
        return false;
    }
    void clear() { m_entries.clear(); }
    bool empty() const { return m_entries.empty(); }
    auto begin() const { return m_entries.begin(); }
    auto end() const { return m_entries.end(); }

private:
    std::vector<std::pair<K, V>> m_entries;
};

} // namespace globalshortcuts
