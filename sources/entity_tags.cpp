#include "entity_tags.h"

#include "profile.h"

namespace sources {

namespace {
constexpr const char* kSection = "Entity Tags";
}

std::string StoredEntityTag(const std::string& url) {
    return url.empty() ? std::string() : platform::GetProfileString(kSection, url.c_str(), "");
}

void StoreEntityTag(const std::string& url, const std::string& tag) {
    if (url.empty() || tag == StoredEntityTag(url)) return;
    platform::WriteProfileString(kSection, url.c_str(), tag);
}

}  // namespace sources
