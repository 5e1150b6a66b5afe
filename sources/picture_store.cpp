#include "picture_store.h"

#include <cstring>
#include <filesystem>

#include "fresh_file.h"
#include "saver_messages.h"

namespace sources {

FetchedKind FetchedKindOf(const BYTE* bytes, std::size_t size) {
    const auto startsWith = [&](std::string_view signature) {
        return size >= signature.size() && std::memcmp(bytes, signature.data(), signature.size()) == 0;
    };
    if (startsWith("\xFF\xD8\xFF")) return FetchedKind::Jpeg;
    if (startsWith("GIF87a") || startsWith("GIF89a")) return FetchedKind::Gif;
    if (startsWith(std::string_view("\x89PNG\r\n\x1A\n", 8))) return FetchedKind::Png;
    if (size >= 12 && startsWith("RIFF") && std::string_view(reinterpret_cast<const char*>(bytes) + 8, 4) == "WEBP")
        return FetchedKind::Webp;
    return FetchedKind::NotAPicture;
}

platform::UINT FetchDoneMessage(FetchedKind kind) {
    switch (kind) {
    case FetchedKind::Gif: return saver::MSG_FETCH_DONE_GIF;
    case FetchedKind::Png: return saver::MSG_FETCH_DONE_PNG;
    case FetchedKind::Webp: return saver::MSG_FETCH_DONE_WEBP;
    default: return saver::MSG_FETCH_DONE_JPG;
    }
}

bool IsFetchDoneMessage(platform::UINT message) {
    return message == saver::MSG_FETCH_DONE_JPG || message == saver::MSG_FETCH_DONE_GIF ||
           message == saver::MSG_FETCH_DONE_PNG || message == saver::MSG_FETCH_DONE_WEBP;
}

const char* StoredPictureType(platform::UINT doneMessage) {
    switch (doneMessage) {
    case saver::MSG_FETCH_DONE_GIF: return "GIF";
    case saver::MSG_FETCH_DONE_PNG: return "PNG";
    case saver::MSG_FETCH_DONE_WEBP: return "WEBP";
    default: return "JPG";
    }
}

bool IsSafePictureName(std::string_view name) {
    return !name.empty() && name != "." && name != ".." && name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

namespace {

std::string StoredPicturePath(const std::string& folder, std::string_view name, std::string_view extension) {
    return folder + "/" + std::string(name) + "." + std::string(extension);
}

}  // namespace

bool StorePicture(const std::string& folder, std::string_view name, std::string_view extension, const BYTE* bytes,
                  std::size_t size) {
    if (!IsSafePictureName(name)) return false;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return platform::ReplaceFileWhole(StoredPicturePath(folder, name, extension),
                                      std::string_view(reinterpret_cast<const char*>(bytes), size), 0644);
}

void RemoveStoredPicture(const std::string& folder, std::string_view name, std::string_view extension) {
    if (!IsSafePictureName(name)) return;
    std::error_code error;
    std::filesystem::remove(StoredPicturePath(folder, name, extension), error);
}

}  // namespace sources
