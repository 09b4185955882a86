#include "server/PageCache.h"

namespace server {

PageCache::PageCache(size_t maxPages) : m_maxPages(maxPages) {}

std::shared_ptr<const std::string> PageCache::Get(const std::string& key, uint64_t stamp,
                                                  const std::function<std::string()>& render) {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_pages.find(key);
    if (found != m_pages.end() && found->second.stamp == stamp) {
        return found->second.page;
    }
    auto page = std::make_shared<const std::string>(render());
    if (found == m_pages.end() && m_pages.size() >= m_maxPages) {
        std::erase_if(m_pages, [&](const auto& entry) { return entry.second.stamp != stamp; });
        if (!m_pages.empty() && m_pages.size() >= m_maxPages) {
            m_pages.erase(m_pages.begin());
        }
    }
    m_pages[key] = Entry{stamp, page};
    return page;
}

}  // namespace server
