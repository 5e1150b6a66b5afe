#include "dde.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "local_sockets.h"
#include "text_compare.h"

namespace platform {
namespace fs = std::filesystem;

struct DdeStringHandle {
    DWORD instance;
    std::string text;
};

struct DdeConversation {
    DWORD instance;
    int fd;
};

struct DdeData {
    DWORD instance;
    std::string bytes;  // ends with a zero for text
};

namespace {

constexpr char kConnect = 'C';
constexpr char kRequest = 'R';
constexpr std::size_t kMaxText = 1 << 20;
constexpr int kFrameTimeoutMs = 1000;

// Service names compare without case; the socket's name carries the folded form.
std::string SocketPrefix(const std::string& service) {
    std::string prefix = "dde-";
    for (char c : service)
        prefix.push_back(std::isalnum(static_cast<unsigned char>(c)) ? char(std::tolower(static_cast<unsigned char>(c)))
                                                                     : '_');
    prefix.push_back('-');
    return prefix;
}

struct Instance {
    std::vector<std::unique_ptr<DdeStringHandle>> strings;
    std::vector<std::unique_ptr<DdeConversation>> conversations;
    std::vector<std::unique_ptr<DdeData>> data;
};

std::mutex instancesMutex;
std::map<DWORD, Instance> instances;
DWORD lastInstance = 0;

template <typename T>
bool Owns(const std::vector<std::unique_ptr<T>>& handles, const T* handle) {
    return std::any_of(handles.begin(), handles.end(), [&](const auto& owned) { return owned.get() == handle; });
}

template <typename T>
bool Release(std::vector<std::unique_ptr<T>>& handles, const T* handle) {
    auto it = std::find_if(handles.begin(), handles.end(), [&](const auto& owned) { return owned.get() == handle; });
    if (it == handles.end()) return false;
    handles.erase(it);
    return true;
}

Instance* FindInstance(DWORD id) {
    auto it = instances.find(id);
    return it == instances.end() ? nullptr : &it->second;
}

Instance* OwnerOf(const DdeConversation* conversation) {
    for (auto& [id, instance] : instances)
        if (Owns(instance.conversations, conversation)) return &instance;
    return nullptr;
}

Instance* OwnerOf(const DdeData* data) {
    for (auto& [id, instance] : instances)
        if (Owns(instance.data, data)) return &instance;
    return nullptr;
}

void Close(DdeConversation& conversation) {
    if (conversation.fd >= 0) ::close(conversation.fd);
    conversation.fd = -1;
}

// A socket whose server accepted the topic, or -1.
int OpenConversation(const std::string& service, const std::string& topic) {
    auto folder = RuntimeFolder();
    if (!folder) return -1;
    const std::string prefix = SocketPrefix(service);
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(*folder, error)) {
        if (entry.path().filename().string().rfind(prefix, 0) != 0) continue;
        const int fd = ConnectTo(entry.path().string());
        if (fd < 0) {
            if (errno == ECONNREFUSED) ::unlink(entry.path().c_str());  // its program is gone
            continue;
        }
        char accepted = 0;
        if (WriteExactly(fd, &kConnect, 1) && WriteText(fd, topic) &&
            ReadExactly(fd, &accepted, 1, kFrameTimeoutMs) && accepted == 1)
            return fd;
        ::close(fd);
    }
    return -1;
}

}  // namespace

HDDEDATA DdeIgnoreTransactions(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, std::uintptr_t, std::uintptr_t) { return nullptr; }

UINT DdeInitialize(DWORD* instance, PFNCALLBACK, DWORD command, DWORD) {
    if (!instance) return DMLERR_INVALIDPARAMETER;
    if (!(command & APPCMD_CLIENTONLY)) return DMLERR_DLL_USAGE;  // only clients are registered this way
    std::lock_guard lock(instancesMutex);
    *instance = ++lastInstance;
    instances[*instance];
    return DMLERR_NO_ERROR;
}

BOOL DdeUninitialize(DWORD id) {
    std::lock_guard lock(instancesMutex);
    Instance* instance = FindInstance(id);
    if (!instance) return FALSE;
    for (auto& conversation : instance->conversations) Close(*conversation);
    instances.erase(id);
    return TRUE;
}

HSZ DdeCreateStringHandle(DWORD id, const char* text, int) {
    std::lock_guard lock(instancesMutex);
    Instance* instance = FindInstance(id);
    if (!instance || !text) return nullptr;
    instance->strings.push_back(std::make_unique<DdeStringHandle>(DdeStringHandle{id, text}));
    return instance->strings.back().get();
}

BOOL DdeFreeStringHandle(DWORD id, HSZ handle) {
    std::lock_guard lock(instancesMutex);
    Instance* instance = FindInstance(id);
    return instance && Release(instance->strings, handle) ? TRUE : FALSE;
}

HCONV DdeConnect(DWORD id, HSZ service, HSZ topic, const void*) {
    std::string serviceName, topicName;
    {
        std::lock_guard lock(instancesMutex);
        Instance* instance = FindInstance(id);
        if (!instance || !Owns(instance->strings, service) || !Owns(instance->strings, topic)) return nullptr;
        serviceName = service->text;
        topicName = topic->text;
    }
    const int fd = OpenConversation(serviceName, topicName);
    if (fd < 0) return nullptr;
    std::lock_guard lock(instancesMutex);
    Instance* instance = FindInstance(id);
    if (!instance) {  // uninitialised meanwhile
        ::close(fd);
        return nullptr;
    }
    instance->conversations.push_back(std::make_unique<DdeConversation>(DdeConversation{id, fd}));
    return instance->conversations.back().get();
}

BOOL DdeDisconnect(HCONV conversation) {
    std::lock_guard lock(instancesMutex);
    Instance* instance = OwnerOf(conversation);
    if (!instance) return FALSE;
    Close(*conversation);
    Release(instance->conversations, conversation);
    return TRUE;
}

HDDEDATA DdeClientTransaction(const BYTE*, DWORD, HCONV conversation, HSZ item, UINT format, UINT type,
                              DWORD timeoutMs, DWORD* result) {
    if (result) *result = 0;
    if (type != XTYP_REQUEST) return nullptr;
    int fd;
    std::string itemName;
    DWORD id;
    {
        std::lock_guard lock(instancesMutex);
        Instance* instance = OwnerOf(conversation);
        if (!instance || !Owns(instance->strings, item) || conversation->fd < 0) return nullptr;
        fd = conversation->fd;
        itemName = item->text;
        id = conversation->instance;
    }
    const auto formatCode = std::uint32_t(format);
    char found = 0;
    std::string text;
    const bool answered = WriteExactly(fd, &kRequest, 1) && WriteExactly(fd, &formatCode, sizeof formatCode) &&
                          WriteText(fd, itemName) && ReadExactly(fd, &found, 1, int(timeoutMs)) &&
                          (found != 1 || ReadText(fd, text, kMaxText, int(timeoutMs)));
    std::lock_guard lock(instancesMutex);
    Instance* instance = FindInstance(id);
    if (!instance || !Owns(instance->conversations, conversation)) return nullptr;
    if (!answered) {
        Close(*conversation);  // a late answer would be taken for the next item's
        return nullptr;
    }
    if (found != 1) return nullptr;
    if (format == CF_TEXT) text.push_back('\0');
    instance->data.push_back(std::make_unique<DdeData>(DdeData{id, std::move(text)}));
    if (result) *result = 1;
    return instance->data.back().get();
}

BYTE* DdeAccessData(HDDEDATA data, DWORD* size) {
    std::lock_guard lock(instancesMutex);
    if (!OwnerOf(data)) return nullptr;
    if (size) *size = DWORD(data->bytes.size());
    return reinterpret_cast<BYTE*>(data->bytes.data());
}

BOOL DdeUnaccessData(HDDEDATA data) {
    std::lock_guard lock(instancesMutex);
    return OwnerOf(data) ? TRUE : FALSE;
}

BOOL DdeFreeDataHandle(HDDEDATA data) {
    std::lock_guard lock(instancesMutex);
    Instance* instance = OwnerOf(data);
    return instance && Release(instance->data, data) ? TRUE : FALSE;
}

bool ServeDdeFrame(int fd, DdeServerSession& session, const std::vector<std::string>& topics,
                   const DdeServer::Answer& answer) {
    char kind = 0;
    if (!ReadExactly(fd, &kind, 1, kFrameTimeoutMs)) return false;
    if (kind == kConnect && !session.connected) {
        std::string topic;
        if (!ReadText(fd, topic, kMaxText, kFrameTimeoutMs)) return false;
        const bool known =
            std::any_of(topics.begin(), topics.end(), [&](const std::string& t) { return EqualsNoCase(t, topic); });
        const char reply = known ? 1 : 0;
        session.connected = known;
        session.topic = topic;
        return WriteExactly(fd, &reply, 1) && known;
    }
    if (kind != kRequest || !session.connected) return false;
    std::uint32_t format = 0;
    std::string item;
    if (!ReadExactly(fd, &format, sizeof format, kFrameTimeoutMs) || !ReadText(fd, item, kMaxText, kFrameTimeoutMs))
        return false;
    const std::optional<std::string> text = answer(session.topic, item);
    const char found = text ? 1 : 0;
    return WriteExactly(fd, &found, 1) && (!text || WriteText(fd, *text));
}

struct DdeServer::Impl {
    std::vector<std::string> topics;
    Answer answer;
    std::string path;
    int listenFd = -1;
    int wake[2] = {-1, -1};
    std::thread thread;

    struct Client {
        int fd;
        DdeServerSession session;
    };

    void run() {
        std::vector<Client> clients;
        while (true) {
            std::vector<pollfd> fds{{wake[0], POLLIN, 0}, {listenFd, POLLIN, 0}};
            for (const Client& client : clients) fds.push_back(pollfd{client.fd, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), -1) < 0) continue;
            if (fds[0].revents) break;
            if (fds[1].revents & POLLIN) {
                const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
                if (fd >= 0) clients.push_back(Client{fd, {}});
            }
            for (size_t i = 2; i < fds.size(); ++i) {
                if (!fds[i].revents) continue;
                Client& client = clients[i - 2];
                if (!ServeDdeFrame(client.fd, client.session, topics, answer)) {
                    ::close(client.fd);
                    client.fd = -1;
                }
            }
            std::erase_if(clients, [](const Client& client) { return client.fd < 0; });
        }
        for (const Client& client : clients) ::close(client.fd);
    }
};

DdeServer::DdeServer(const std::string& service, std::vector<std::string> topics, Answer answer)
    : impl_(std::make_unique<Impl>()) {
    impl_->topics = std::move(topics);
    impl_->answer = std::move(answer);
    auto folder = RuntimeFolder();
    if (!folder) return;
    static std::atomic<unsigned> counter{0};
    impl_->path = (*folder / (SocketPrefix(service) + std::to_string(::getpid()) + "-" + std::to_string(++counter)))
                      .string();
    impl_->listenFd = ListenAt(impl_->path);
    if (impl_->listenFd < 0 || ::pipe2(impl_->wake, O_CLOEXEC) != 0) return;
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

DdeServer::~DdeServer() {
    if (impl_->thread.joinable()) {
        const char byte = 1;
        [[maybe_unused]] auto written = ::write(impl_->wake[1], &byte, 1);
        impl_->thread.join();
    }
    for (int fd : {impl_->wake[0], impl_->wake[1], impl_->listenFd})
        if (fd >= 0) ::close(fd);
    if (!impl_->path.empty()) ::unlink(impl_->path.c_str());
}

bool DdeServer::listening() const { return impl_->thread.joinable(); }

}  // namespace platform
