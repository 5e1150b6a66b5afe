// Dynamic data exchange between programs: a client asks a named service, on a topic, for items
// and gets text back. Conversations run over sockets in the per-user runtime folder; DdeServer is
// the serving side (the suite's own peers and tests use it).
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "win_types.h"

namespace platform {

struct DdeStringHandle;
struct DdeConversation;
struct DdeData;
using HSZ = DdeStringHandle*;
using HCONV = DdeConversation*;
using HDDEDATA = DdeData*;

constexpr DWORD APPCMD_CLIENTONLY = 0x00000010;
constexpr int CP_WINANSI = 1004;
constexpr UINT CF_TEXT = 1;
constexpr UINT XTYP_REQUEST = 0x20B0;
constexpr UINT DMLERR_NO_ERROR = 0;
constexpr UINT DMLERR_DLL_USAGE = 0x4004;
constexpr UINT DMLERR_INVALIDPARAMETER = 0x4006;

using PFNCALLBACK = HDDEDATA (*)(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item, HDDEDATA data,
                                 std::uintptr_t data1, std::uintptr_t data2);

// The callback of client instances that take no transactions: ignores them all, answering 0.
HDDEDATA DdeIgnoreTransactions(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item, HDDEDATA data,
                               std::uintptr_t data1, std::uintptr_t data2);

// Registers a client instance; *instance receives its identifier (never 0).
UINT DdeInitialize(DWORD* instance, PFNCALLBACK callback, DWORD command, DWORD reserved);
// Ends the instance's conversations and frees every handle it created.
BOOL DdeUninitialize(DWORD instance);

HSZ DdeCreateStringHandle(DWORD instance, const char* text, int codePage);
BOOL DdeFreeStringHandle(DWORD instance, HSZ handle);

// A conversation with a running server of the service on the topic, or null.
HCONV DdeConnect(DWORD instance, HSZ service, HSZ topic, const void* context);
BOOL DdeDisconnect(HCONV conversation);

// XTYP_REQUEST only: the item's data, or null when the server has none or did not answer within
// timeoutMs (the conversation is then ended).
HDDEDATA DdeClientTransaction(const BYTE* data, DWORD size, HCONV conversation, HSZ item, UINT format, UINT type,
                              DWORD timeoutMs, DWORD* result);
BYTE* DdeAccessData(HDDEDATA data, DWORD* size);
BOOL DdeUnaccessData(HDDEDATA data);
BOOL DdeFreeDataHandle(HDDEDATA data);

// Serves one service in this process on a thread of its own for as long as it lives.
class DdeServer {
public:
    // answer(topic, item) gives an item's text, or nothing when the item has no data.
    using Answer = std::function<std::optional<std::string>(const std::string& topic, const std::string& item)>;

    DdeServer(const std::string& service, std::vector<std::string> topics, Answer answer);
    ~DdeServer();
    DdeServer(const DdeServer&) = delete;
    DdeServer& operator=(const DdeServer&) = delete;

    bool listening() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// What the server side knows of one conversation.
struct DdeServerSession {
    std::string topic;  // empty until a topic was accepted
    bool connected = false;
};
// Reads and answers one frame a client sent on fd; false when the conversation must end (its
// end, a malformed or unexpected frame, an unknown topic).
bool ServeDdeFrame(int fd, DdeServerSession& session, const std::vector<std::string>& topics,
                   const DdeServer::Answer& answer);

}  // namespace platform
