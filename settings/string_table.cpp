#include "string_table.h"

namespace saver {

std::string LoadResourceString(int id) {
    switch (id) {
    case IDS_DESCRIPTION: return "Kelvane Screen Saver";
    case IDS_APPLICATION_TITLE: return "Ostrel Screen Saver";
    case IDS_PERSONAL_MESSAGE: return "Add your own personal message!";
    default: return {};
    }
}

}  // namespace saver
