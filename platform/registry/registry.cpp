#include "registry.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <set>
#include <utility>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "autostart_entries.h"
#include "fresh_file.h"
#include "user_folders.h"

namespace platform {
namespace fs = std::filesystem;

const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t(0x80000001));
const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t(0x80000002));

namespace {

struct OpenKey {
    HKEY root;
    std::string path;
};

std::mutex gSetAsideMutex;
std::optional<fs::path> gSetAside;  // the last settings file this program set aside, until asked

std::mutex gHandlesMutex;
std::set<OpenKey*> gOpenKeys;

bool IsRoot(HKEY key) { return key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE; }

const char* RootName(HKEY root) { return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE"; }

// Resolves a handle to its root and key path; false for a handle that is not open.
bool Resolve(HKEY key, HKEY& root, std::string& path) {
    if (IsRoot(key)) {
        root = key;
        path.clear();
        return true;
    }
    std::lock_guard lock(gHandlesMutex);
    auto* open = reinterpret_cast<OpenKey*>(key);
    if (!gOpenKeys.count(open)) return false;
    root = open->root;
    path = open->path;
    return true;
}

HKEY NewHandle(HKEY root, std::string path) {
    auto* open = new OpenKey{root, std::move(path)};
    std::lock_guard lock(gHandlesMutex);
    gOpenKeys.insert(open);
    return reinterpret_cast<HKEY>(open);
}

std::string JoinPath(const std::string& base, const char* sub) {
    return NormaliseKeyPath(base + "\\" + (sub ? sub : ""));
}

std::optional<std::string> ReadWholeFile(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::string text;
    char buffer[65536];
    ssize_t count;
    while ((count = ::read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(count));
    ::close(fd);
    if (count < 0) return std::nullopt;
    return text;
}

// An exclusive lock on the file's companion lock file, held for one read-modify-write.
class FileLock {
public:
    explicit FileLock(const fs::path& file) {
        fd_ = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~FileLock() {
        if (fd_ >= 0) ::close(fd_);  // closing releases the lock
    }
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// One registry file. Readers never lock: every write replaces the file by rename, so a reader
// sees either the old or the new file, never half of one.
class RegistryFile {
public:
    RegistryFile(fs::path file, const char* rootName) : file_(std::move(file)), rootName_(rootName) {}

    RegHive read() {
        struct stat info {};
        if (::stat(file_.c_str(), &info) != 0) return {};
        {
            std::lock_guard lock(cacheMutex_);
            if (cacheValid_ && info.st_ino == cacheInode_ && info.st_size == cacheSize_ &&
                info.st_mtim.tv_sec == cacheTime_.tv_sec && info.st_mtim.tv_nsec == cacheTime_.tv_nsec)
                return cache_;
        }
        auto text = ReadWholeFile(file_);
        if (!text) return {};
        auto reading = ReadRegFileLeniently(*text, rootName_);
        if (!reading || reading->damaged) {
            FileLock lock(file_);
            return readLocked();  // sets the damaged file aside
        }
        std::lock_guard lock(cacheMutex_);
        cache_ = reading->hive;
        cacheValid_ = true;
        cacheInode_ = info.st_ino;
        cacheSize_ = info.st_size;
        cacheTime_ = info.st_mtim;
        return reading->hive;
    }

    // Runs change on the current contents under the lock; writes when it returns true.
    template <typename Change>
    LONG modify(Change change) {
        if (!EnsureFolder(file_.parent_path(), fs::perms::owner_all)) return ERROR_ACCESS_DENIED;
        FileLock lock(file_);
        if (!lock.held()) return ERROR_ACCESS_DENIED;
        RegHive hive = readLocked();
        LONG result = ERROR_SUCCESS;
        if (!change(hive, result)) return result;
        return writeLocked(hive) ? result : ERROR_ACCESS_DENIED;
    }

    const fs::path& path() const { return file_; }

private:
    RegHive readLocked() {
        auto text = ReadWholeFile(file_);
        if (!text) return {};
        auto reading = ReadRegFileLeniently(*text, rootName_);
        if (!reading) {
            setAside(*text, "unreadable", /*keepFile=*/false);
            return {};
        }
        // What reads is kept, as a registry import keeps it; the file as it was is set aside and
        // written again whole, so the next reader finds it sound.
        if (reading->damaged && setAside(*text, "damaged", /*keepFile=*/true)) writeLocked(reading->hive);
        return std::move(reading->hive);
    }

    // Keeps the file's text beside it under a new name: moved there, or copied when the values
    // that read stay in the file.
    bool setAside(const std::string& text, const char* why, bool keepFile) {
        char stamp[32];
        const std::time_t now = std::time(nullptr);
        std::tm parts{};
        localtime_r(&now, &parts);
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &parts);
        const std::string base = file_.string() + "." + why + "-" + stamp;
        fs::path target = base;
        for (int n = 1; fs::exists(fs::symlink_status(target)); ++n) target = base + "-" + std::to_string(n);
        std::error_code error;
        const bool kept = keepFile ? ReplaceFileWhole(target, text, 0600) : (fs::rename(file_, target, error), !error);
        if (!kept) return false;
        if (keepFile)
            std::fprintf(stderr, "kelvane: some lines of the settings file %s could not be read; the values that could are kept, "
                                 "and the file as it was is in %s\n", file_.c_str(), target.c_str());
        else
            std::fprintf(stderr, "kelvane: the settings file %s could not be read; it was moved to %s\n", file_.c_str(),
                         target.c_str());
        std::lock_guard lock(gSetAsideMutex);
        gSetAside = target;
        return true;
    }

    bool writeLocked(const RegHive& hive) {
        return ReplaceFileWhole(file_, FormatRegFile(hive, rootName_), 0600, /*syncFolder=*/true);
    }

    fs::path file_;
    const char* rootName_;
    std::mutex cacheMutex_;
    bool cacheValid_ = false;
    ino_t cacheInode_ = 0;
    off_t cacheSize_ = 0;
    timespec cacheTime_{};
    RegHive cache_;
};

// The administrator's defaults, all files in one hive (the first listed wins), read again when a
// file changes. Read-only: a file with lines that cannot be read gives the values that can.
class SystemDefaults {
public:
    RegHive read() {
        std::vector<std::pair<fs::path, fs::file_time_type>> seen;
        for (const fs::path& file : SystemDefaultsFiles()) {
            std::error_code error;
            const auto time = fs::last_write_time(file, error);
            if (!error) seen.emplace_back(file, time);
        }
        std::lock_guard lock(mutex_);
        if (seen == seen_) return hive_;
        RegHive merged;
        for (auto file = seen.rbegin(); file != seen.rend(); ++file) {
            const auto text = ReadWholeFile(file->first);
            const auto reading = text ? ReadRegFileLeniently(*text, "HKEY_CURRENT_USER") : std::nullopt;
            if (!reading) continue;
            for (const auto& [path, key] : reading->hive.keys) {
                RegKeyData& into = merged.createKey(path);
                for (const auto& [name, value] : key.values) into.values[name] = value;
            }
        }
        seen_ = std::move(seen);
        hive_ = std::move(merged);
        return hive_;
    }

private:
    std::mutex mutex_;
    std::vector<std::pair<fs::path, fs::file_time_type>> seen_;
    RegHive hive_;
};

RegHive DefaultsFor(HKEY root) {
    static SystemDefaults defaults;
    return root == HKEY_CURRENT_USER ? defaults.read() : RegHive{};
}

const RegValue* FindValue(const RegHive& hive, const std::string& path, const std::string& name) {
    const RegKeyData* key = hive.findKey(path);
    if (!key) return nullptr;
    const auto found = key->values.find(name);
    return found == key->values.end() ? nullptr : &found->second;
}

// The file behind a root, resolved again when KELVANE_ROOT or the XDG folders change.
RegistryFile& FileFor(HKEY root) {
    static std::mutex mutex;
    static std::map<std::string, std::unique_ptr<RegistryFile>> files;
    const fs::path path = RegistryFilePath(root);
    std::lock_guard lock(mutex);
    auto& file = files[path.string()];
    if (!file) file = std::make_unique<RegistryFile>(path, RootName(root));
    return *file;
}

struct PendingWrite {
    HKEY root;
    std::string path;
    std::string name;
    RegValue value;
    RegWriteMode mode;
    RegStringMerge merge;  // when set, works the value out from the stored one
};

std::optional<std::string> StoredString(const RegKeyData& key, const std::string& name) {
    const auto found = key.values.find(name);
    if (found == key.values.end() || found->second.type != REG_SZ) return std::nullopt;
    return found->second.data;
}

// Stores the write in the hive; false when the mode keeps the value already there.
bool StoreValue(RegHive& hive, const PendingWrite& write) {
    RegKeyData& key = hive.createKey(write.path);
    if (write.merge) {
        key.values[write.name] = RegValue{REG_SZ, write.merge(StoredString(key, write.name))};
        return true;
    }
    if (write.mode == RegWriteMode::KeepExisting &&
        (key.values.count(write.name) || FindValue(DefaultsFor(write.root), write.path, write.name)))
        return false;
    key.values[write.name] = write.value;
    return true;
}

// A value of the machine's Run key is also the autostart entry that starts its program at
// log-on; a value that is not a string starts nothing.
void MirrorLogOnRunValue(HKEY root, const std::string& path, const char* name, const RegValue* value) {
    if (root != HKEY_LOCAL_MACHINE || !name || !*name || !IsLogOnRunKey(path)) return;
    if (value && value->type == REG_SZ && !value->data.empty()) WriteAutostartEntry(name, value->data);
    else RemoveAutostartEntry(name);
}

thread_local int tBatchDepth = 0;
thread_local std::vector<PendingWrite> tPending;

}  // namespace

RegWriteBatch::RegWriteBatch() { ++tBatchDepth; }

RegWriteBatch::~RegWriteBatch() {
    if (--tBatchDepth == 0) Commit();
}

LONG RegWriteBatch::Commit() {
    std::vector<PendingWrite> pending = std::move(tPending);
    tPending.clear();
    LONG status = ERROR_SUCCESS;
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        if (std::none_of(pending.begin(), pending.end(), [&](const PendingWrite& write) { return write.root == root; }))
            continue;
        const LONG written = FileFor(root).modify([&](RegHive& hive, LONG&) {
            for (const PendingWrite& write : pending)
                if (write.root == root) StoreValue(hive, write);
            return true;
        });
        if (written != ERROR_SUCCESS) status = written;
    }
    return status;
}

std::optional<fs::path> TakeSetAsideRegistryFile() {
    std::lock_guard lock(gSetAsideMutex);
    return std::exchange(gSetAside, std::nullopt);
}

fs::path RegistryFilePath(HKEY root) {
    return GetUserFolders().config / (root == HKEY_LOCAL_MACHINE ? "machine.reg" : "user.reg");
}

std::vector<fs::path> SystemDefaultsFiles() {
    const char* listed = std::getenv("XDG_CONFIG_DIRS");
    const std::string folders = listed && *listed ? listed : "/etc/xdg";
    std::vector<fs::path> files;
    for (size_t start = 0; start <= folders.size();) {
        const size_t colon = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, colon - start);
        if (!folder.empty() && folder.front() == '/') files.push_back(fs::path(folder) / "kelvane" / "defaults.reg");
        start = colon + 1;
    }
    return files;
}

LONG RegOpenKey(HKEY parent, const char* subKey, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    HKEY root;
    std::string base;
    if (!Resolve(parent, root, base)) return ERROR_INVALID_HANDLE;
    std::string path = JoinPath(base, subKey);
    if (!path.empty() && !FileFor(root).read().findKey(path) && !DefaultsFor(root).findKey(path))
        return ERROR_FILE_NOT_FOUND;
    *result = NewHandle(root, std::move(path));
    return ERROR_SUCCESS;
}

LONG RegCreateKey(HKEY parent, const char* subKey, HKEY* result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    HKEY root;
    std::string base;
    if (!Resolve(parent, root, base)) return ERROR_INVALID_HANDLE;
    std::string path = JoinPath(base, subKey);
    if (!path.empty() && !FileFor(root).read().findKey(path)) {
        const LONG status = FileFor(root).modify([&](RegHive& hive, LONG&) {
            if (hive.findKey(path)) return false;
            hive.createKey(path);
            return true;
        });
        if (status != ERROR_SUCCESS) return status;
    }
    *result = NewHandle(root, std::move(path));
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (IsRoot(key)) return ERROR_SUCCESS;
    auto* open = reinterpret_cast<OpenKey*>(key);
    {
        std::lock_guard lock(gHandlesMutex);
        if (!gOpenKeys.erase(open)) return ERROR_INVALID_HANDLE;
    }
    delete open;
    return ERROR_SUCCESS;
}

LONG RegQueryValueEx(HKEY key, const char* name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
    HKEY root;
    std::string path;
    if (!Resolve(key, root, path)) return ERROR_INVALID_HANDLE;
    const RegHive hive = FileFor(root).read();
    const RegValue* stored = FindValue(hive, path, name ? name : "");
    const RegHive defaults = stored ? RegHive{} : DefaultsFor(root);
    if (!stored) stored = FindValue(defaults, path, name ? name : "");
    if (!stored) return ERROR_FILE_NOT_FOUND;
    const RegValue& value = *stored;
    // Strings are handed out with their terminator, as the platform does.
    const bool text = value.type == REG_SZ || value.type == REG_EXPAND_SZ;
    const DWORD needed = DWORD(value.data.size() + (text ? 1 : 0));
    if (type) *type = value.type;
    if (!data) {
        if (size) *size = needed;
        return ERROR_SUCCESS;
    }
    if (!size) return ERROR_INVALID_PARAMETER;
    if (*size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    std::memcpy(data, value.data.data(), value.data.size());
    if (text) data[value.data.size()] = 0;
    *size = needed;
    return ERROR_SUCCESS;
}

LONG RegSetValueEx(HKEY key, const char* name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    return RegSetValue(key, name, type, data, size, RegWriteMode::Replace);
}

LONG RegSetValue(HKEY key, const char* name, DWORD type, const BYTE* data, DWORD size, RegWriteMode mode) {
    HKEY root;
    std::string path;
    if (!Resolve(key, root, path)) return ERROR_INVALID_HANDLE;
    if (path.empty() || (size && !data)) return ERROR_INVALID_PARAMETER;
    RegValue value;
    value.type = type;
    value.data.assign(reinterpret_cast<const char*>(data), size);
    if (type == REG_SZ || type == REG_EXPAND_SZ) value.data.resize(std::strlen(value.data.c_str()));
    PendingWrite write{root, path, name ? name : "", std::move(value), mode, nullptr};
    if (tBatchDepth > 0) {
        if (mode == RegWriteMode::Replace) MirrorLogOnRunValue(root, path, name, &write.value);
        tPending.push_back(std::move(write));
        return ERROR_SUCCESS;
    }
    bool stored = false;
    const LONG status = FileFor(root).modify([&](RegHive& hive, LONG&) {
        stored = StoreValue(hive, write);
        return stored;
    });
    if (stored) MirrorLogOnRunValue(root, path, name, &write.value);
    return status;
}

LONG RegMergeString(HKEY key, const char* name, RegStringMerge merge) {
    HKEY root;
    std::string path;
    if (!Resolve(key, root, path)) return ERROR_INVALID_HANDLE;
    if (path.empty() || !merge) return ERROR_INVALID_PARAMETER;
    PendingWrite write{root, path, name ? name : "", {}, RegWriteMode::Replace, std::move(merge)};
    if (tBatchDepth > 0) {
        tPending.push_back(std::move(write));
        return ERROR_SUCCESS;
    }
    return FileFor(root).modify([&](RegHive& hive, LONG&) { return StoreValue(hive, write); });
}

LONG RegDeleteValue(HKEY key, const char* name) {
    HKEY root;
    std::string path;
    if (!Resolve(key, root, path)) return ERROR_INVALID_HANDLE;
    MirrorLogOnRunValue(root, path, name, nullptr);
    return FileFor(root).modify([&](RegHive& hive, LONG& result) {
        RegKeyData* found = hive.findKey(path);
        if (!found || !found->values.erase(name ? name : "")) {
            result = ERROR_FILE_NOT_FOUND;
            return false;
        }
        return true;
    });
}

RegKey& RegKey::operator=(RegKey&& other) noexcept {
    if (this != &other) {
        if (key_) RegCloseKey(key_);
        key_ = other.release();
    }
    return *this;
}

RegKey::~RegKey() {
    if (key_) RegCloseKey(key_);
}

std::optional<DWORD> RegReadDword(HKEY key, const char* name) {
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return std::nullopt;
    return value;
}

std::optional<std::string> RegReadString(HKEY key, const char* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueEx(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return std::nullopt;
    std::string text(size, '\0');
    if (RegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return std::nullopt;
    text.resize(std::strlen(text.c_str()));
    return text;
}

LONG RegWriteDword(HKEY key, const char* name, DWORD value, RegWriteMode mode) {
    return RegSetValue(key, name, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value, mode);
}

LONG RegWriteString(HKEY key, const char* name, std::string_view value, RegWriteMode mode) {
    const std::string text(value);
    return RegSetValue(key, name, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), DWORD(text.size() + 1), mode);
}

}  // namespace platform
