#pragma once
// Rendered answers kept between writes. Each is stored with the store's
// change stamp it was rendered at and served until the stamp moves, so a
// busy ranking page costs one database read per write, not per request.
// Safe to call from every thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace server {

class PageCache {
  public:
    // At most `maxPages` answers are kept; a full cache drops the stale ones
    // first, then any.
    explicit PageCache(size_t maxPages = 128);

    // The answer kept under `key` when it was rendered at `stamp`; else
    // `render` makes it (under the cache's lock, so concurrent requests
    // render it once) and it is kept. Read `stamp` before `render` reads the
    // store: a write in between then only causes one render too many, never
    // a stale page kept under a new stamp. An exception from `render`
    // passes through and nothing is kept.
    std::shared_ptr<const std::string> Get(const std::string& key, uint64_t stamp,
                                           const std::function<std::string()>& render);

  private:
    struct Entry {
        uint64_t stamp = 0;
        std::shared_ptr<const std::string> page;
    };
    const size_t m_maxPages;
    std::mutex m_mutex;
    std::unordered_map<std::string, Entry> m_pages;
};

}  // namespace server
