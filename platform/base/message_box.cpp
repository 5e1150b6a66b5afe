#include "message_box.h"

#include <cstdio>
#include <mutex>

namespace platform {
namespace {

std::mutex gMutex;
MessageBoxFunction gHook;
std::function<std::optional<int>(const std::string&, const std::string&, UINT)> gPresenter;

}  // namespace

int MessageBox(HWND, const char* text, const char* caption, UINT type) {
    const std::string message = text ? text : "";
    const std::string title = caption ? caption : "";
    MessageBoxFunction hook;
    std::function<std::optional<int>(const std::string&, const std::string&, UINT)> presenter;
    {
        std::lock_guard lock(gMutex);
        hook = gHook;
        presenter = gPresenter;
    }
    if (hook) return hook(message, title, type);
    if (presenter)
        if (const auto answer = presenter(message, title, type)) return *answer;
    std::fprintf(stderr, "%s: %s\n", title.c_str(), message.c_str());
    return IDOK;
}

void SetMessageBoxHook(MessageBoxFunction hook) {
    std::lock_guard lock(gMutex);
    gHook = std::move(hook);
}

void SetMessageBoxPresenter(std::function<std::optional<int>(const std::string&, const std::string&, UINT)> presenter) {
    std::lock_guard lock(gMutex);
    gPresenter = std::move(presenter);
}

}  // namespace platform
