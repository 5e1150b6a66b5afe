#include "system_proxy.h"

#include <memory>
#include <mutex>
#include <string_view>

#include <proxy.h>

namespace platform {
namespace {

struct FactoryFree {
    void operator()(pxProxyFactory* factory) const { px_proxy_factory_free(factory); }
};

// The kinds of proxy the HTTP client can use; libproxy can name others (an RTSP proxy, say).
bool Usable(std::string_view proxy) {
    for (std::string_view scheme : {"http://", "https://", "socks4://", "socks4a://", "socks5://", "socks5h://"})
        if (proxy.substr(0, scheme.size()) == scheme) return true;
    return false;
}

}  // namespace

std::optional<std::string> SystemProxyFor(const std::string& url) {
    // One factory for the process: it keeps the settings modules and a PAC file's script. Asked
    // one caller at a time (a PAC script's answer may take a download).
    static std::mutex mutex;
    static std::unique_ptr<pxProxyFactory, FactoryFree> factory(px_proxy_factory_new());
    std::lock_guard lock(mutex);
    if (!factory) return std::nullopt;
    char** proxies = px_proxy_factory_get_proxies(factory.get(), url.c_str());
    if (!proxies) return std::nullopt;
    std::optional<std::string> chosen;
    for (char** proxy = proxies; *proxy && !chosen; ++proxy) {
        const std::string_view entry(*proxy);
        if (entry == "direct://") chosen = "";
        else if (Usable(entry)) chosen = std::string(entry);
    }
    px_proxy_factory_free_proxies(proxies);
    return chosen;
}

}  // namespace platform
