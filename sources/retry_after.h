// A server that is too busy (429 Too Many Requests, 503 Service Unavailable) may say how long to
// wait before asking again (Retry-After). The time is kept by address in the registry beside the
// settings, as entity tags are, so that a saver started again meanwhile waits too.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace sources {

// The longest wait a server can ask for: a source is never silenced for longer by one answer.
constexpr long kLongestRetryAfterSeconds = 24L * 3600;

// Retry-After's value, seconds or an HTTP date, as seconds from now (0 for a date past, at most
// the longest wait); nothing for a value that is neither.
std::optional<long> ParseRetryAfter(std::string_view value, std::time_t now);

// When the address may be asked again (0: at any time).
std::time_t StoredRetryNotBefore(const std::string& url);
// 0 forgets the address's wait.
void StoreRetryNotBefore(const std::string& url, std::time_t notBefore);

}  // namespace sources
