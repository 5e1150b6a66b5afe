#include "getright_status.h"

#include "dde.h"
#include "marquee_format.h"

namespace marquee {

using namespace platform;

namespace {

constexpr DWORD kRequestTimeoutMs = 500;
// A peer that answers every item number must not hold the marquee for ever.
constexpr int kMostItems = 256;

// The items "1", "2", ... in turn until one brings no data.
void AppendItems(DWORD instance, HCONV conversation, std::string& text) {
    bool first = true;
    for (int number = 1; number <= kMostItems; ++number) {
        HSZ item = DdeCreateStringHandle(instance, std::to_string(number).c_str(), CP_WINANSI);
        HDDEDATA data =
            DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_REQUEST, kRequestTimeoutMs, nullptr);
        if (data) {
            DWORD size = 0;
            const BYTE* bytes = DdeAccessData(data, &size);
            std::string_view itemText(reinterpret_cast<const char*>(bytes), size);
            itemText = itemText.substr(0, itemText.find('\0'));
            text += FormatGetRightItem(itemText, first);
            DdeUnaccessData(data);
            DdeFreeDataHandle(data);
            first = false;
        }
        DdeFreeStringHandle(instance, item);
        if (!data) break;
    }
}

}  // namespace

std::string QueryGetRightStatus(DWORD instance) {
    static bool busy = false;  // the marquee's thread only
    if (busy) return "***************";
    busy = true;
    std::string text = "GetRight: ";
    if (instance != 0) {
        HSZ service = DdeCreateStringHandle(instance, "GetRight", CP_WINANSI);
        HSZ topic = DdeCreateStringHandle(instance, "DownloadInfo", CP_WINANSI);
        if (HCONV conversation = DdeConnect(instance, service, topic, nullptr)) {
            AppendItems(instance, conversation, text);
            DdeDisconnect(conversation);
        }
        DdeFreeStringHandle(instance, service);
        DdeFreeStringHandle(instance, topic);
    }
    if (text == "GetRight: ") text += "No Files";
    busy = false;
    return text;
}

}  // namespace marquee
