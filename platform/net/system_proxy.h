// The proxy the desktop's own settings name for an address, through libproxy: GNOME's and
// Plasma's proxy settings, the environment (http_proxy, https_proxy, no_proxy), PAC files and
// WPAD, as the desktop's session configures it.
#pragma once

#include <optional>
#include <string>

namespace platform {

// The proxy for the address ("http://[user:password@]host:port", or a SOCKS one), "" when the
// settings say to connect directly, or nothing when libproxy gives no answer (then whatever
// reads the environment itself decides). Credentials in the answer are for the connection only:
// never shown or traced.
std::optional<std::string> SystemProxyFor(const std::string& url);

}  // namespace platform
