// Generated pictures that change with the time, as a webcam's do.
#pragma once

#include <ctime>
#include <string>

namespace picture_server {

// A 320 x 240 scene whose colours follow the path and whose sweeping hand follows the time.
std::string DemoJpeg(const std::string& path, std::time_t now);
std::string DemoGif(const std::string& path, std::time_t now);

}  // namespace picture_server
