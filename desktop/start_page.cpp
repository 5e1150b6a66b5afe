#include "start_page.h"

#include <string>

#include "dde.h"
#include "registry.h"

namespace desktop {

using namespace platform;

namespace {

std::string BrowserStartPage() {
    HKEY key = nullptr;
    if (RegOpenKey(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main\\", &key) != 0) return {};
    std::string page = RegReadString(key, "Start Page").value_or(std::string());
    RegCloseKey(key);
    if (page.size() >= 512) page.resize(511);
    return page;
}

}  // namespace

bool OpenStartPageByDde() {
    const std::string address = BrowserStartPage();
    DWORD instance = 0;
    if (DdeInitialize(&instance, DdeIgnoreTransactions, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return false;
    HSZ service = DdeCreateStringHandle(instance, "iexplore", CP_WINANSI);
    HSZ topic = DdeCreateStringHandle(instance, "WWW_OpenURL", CP_WINANSI);
    if (HCONV conversation = DdeConnect(instance, service, topic, nullptr)) {
        HSZ item = DdeCreateStringHandle(instance, address.c_str(), CP_WINANSI);
        DdeClientTransaction(nullptr, 0, conversation, item, CF_TEXT, XTYP_REQUEST, 500, nullptr);
    }
    DdeUninitialize(instance);  // ends the conversation and frees the handles
    return true;
}

}  // namespace desktop
