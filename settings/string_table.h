// The program's string resources.
#pragma once

#include <string>

namespace saver {

constexpr int IDS_DESCRIPTION = 1;           // what the screen-saver host shows
constexpr int IDS_APPLICATION_TITLE = 57344;  // the registry application name
constexpr int IDS_PERSONAL_MESSAGE = 59142;  // the personal message until the user writes one

std::string LoadResourceString(int id);

}  // namespace saver
