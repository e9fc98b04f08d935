// A map of bounded size that forgets the entry asked for least recently: for caches that a
// hostile input must not grow without end, nor empty at a stroke.
#pragma once

#include <cstddef>
#include <list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace tarsel::mime {

// At most capacity entries by string key; a new entry replaces the one asked for least
// recently.
template <class Value>
class LruMap {
  public:
    explicit LruMap(std::size_t capacity) : capacity_(capacity) {}

    Value* Find(std::string_view key) {
        const auto found = index_.find(key);
        if (found == index_.end()) {
            return nullptr;
        }
        order_.splice(order_.begin(), order_, found->second);
        return &found->second->second;
    }

    // key must not be in the map. dropped is called with the entry that makes room.
    template <class Dropped>
    Value& Add(std::string_view key, Value value, Dropped&& dropped) {
        if (order_.size() >= capacity_) {
            dropped(order_.back().second);
            index_.erase(order_.back().first);
            order_.pop_back();
        }
        order_.emplace_front(std::string(key), std::move(value));
        index_.emplace(order_.front().first, order_.begin());
        return order_.front().second;
    }

    std::size_t size() const { return order_.size(); }

    template <class F>
    void ForEach(F&& f) {
        for (auto& entry : order_) {
            f(entry.second);
        }
    }

  private:
    using Order = std::list<std::pair<std::string, Value>>;
    std::size_t capacity_;
    Order order_;  // most recent first; the index's keys view the strings in its nodes
    std::unordered_map<std::string_view, typename Order::iterator> index_;
};

}  // namespace tarsel::mime
