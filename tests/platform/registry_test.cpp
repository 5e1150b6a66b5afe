#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>

#include "child_process.h"
#include "autostart_entries.h"
#include "registry.h"
#include "temp_root.h"

using namespace platform;
using testing_support::ChildProcess;
using testing_support::HelperPath;
using testing_support::TempRoot;

namespace {

std::set<std::string> ValueNames(const TempRoot& root) {
    auto hive = ParseRegFile(root.readUserRegistry(), "HKEY_CURRENT_USER");
    std::set<std::string> names;
    if (!hive) return names;
    if (const RegKeyData* key = hive->findKey("Software\\Test"))
        for (const auto& [name, value] : key->values) names.insert(name);
    return names;
}

}  // namespace

TEST(RegistryTest, ValuesKeepTheirTypesInAReadableFile) {
    TempRoot root;
    RegKey key;
    ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, "Software\\Tarvex", key.out()), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver", key.out()),
              ERROR_SUCCESS);
    EXPECT_EQ(RegWriteDword(key.get(), "Height", DWORD(-24)), ERROR_SUCCESS);
    EXPECT_EQ(RegWriteString(key.get(), "CamList", "Harbour|http://host/p.jpg|"), ERROR_SUCCESS);
    const double position = 1.0;
    EXPECT_EQ(RegSetValueEx(key.get(), "CurrentPosition", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&position), 8),
              ERROR_SUCCESS);

    const std::string text = root.readUserRegistry();
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]"),
              std::string::npos);
    EXPECT_NE(text.find("\"Height\"=dword:ffffffe8"), std::string::npos);
    EXPECT_NE(text.find("\"CamList\"=\"Harbour|http://host/p.jpg|\""), std::string::npos);
    EXPECT_NE(text.find("\"CurrentPosition\"=hex:00,00,00,00,00,00,f0,3f"), std::string::npos);

    // Names are found whatever their case; a string read as a number is not a number.
    EXPECT_EQ(RegReadDword(key.get(), "HEIGHT"), DWORD(-24));
    EXPECT_EQ(RegReadString(key.get(), "camlist"), "Harbour|http://host/p.jpg|");
    EXPECT_FALSE(RegReadDword(key.get(), "CamList"));
    EXPECT_FALSE(RegReadString(key.get(), "Missing"));

    // A buffer too small reports the size needed, the terminator of a string included.
    char small[4];
    DWORD size = sizeof small, type = 0;
    EXPECT_EQ(RegQueryValueEx(key.get(), "CamList", nullptr, &type, reinterpret_cast<BYTE*>(small), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, 27u);

    EXPECT_EQ(RegDeleteValue(key.get(), "Height"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValue(key.get(), "Height"), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(RegReadDword(key.get(), "Height"));
}

TEST(RegistryTest, AHandEditedFileIsReadAndAClosedHandleIsRefused) {
    TempRoot root;
    std::filesystem::create_directories(root.userRegistry().parent_path());
    std::ofstream(root.userRegistry()) << "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Test]\n"
                                          "\"Speed\"=dword:00000064\n";
    RegKey key;
    ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, "Software\\Test", key.out()), ERROR_SUCCESS);
    EXPECT_EQ(RegReadDword(key.get(), "speed"), 100u);
    const HKEY stale = key.release();
    EXPECT_EQ(RegCloseKey(stale), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(stale), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegWriteDword(stale, "Speed", 1), ERROR_INVALID_HANDLE);
}

TEST(RegistryTest, AnUnreadableFileIsMovedAsideNotOverwritten) {
    TempRoot root;
    std::filesystem::create_directories(root.userRegistry().parent_path());
    const std::string garbage = "this is not a registry file\n\"x\"=1\n";
    std::ofstream(root.userRegistry()) << garbage;

    RegKey key;
    EXPECT_EQ(RegOpenKey(HKEY_CURRENT_USER, "Software\\Test", key.out()), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Software\\Test", key.out()), ERROR_SUCCESS);
    ASSERT_EQ(RegWriteDword(key.get(), "Fresh", 7), ERROR_SUCCESS);

    std::vector<std::filesystem::path> asides;
    for (const auto& entry : std::filesystem::directory_iterator(root.userRegistry().parent_path()))
        if (entry.path().filename().string().find("user.reg.unreadable-") == 0) asides.push_back(entry.path());
    ASSERT_EQ(asides.size(), 1u);
    std::ifstream in(asides[0]);
    std::string kept((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(kept, garbage);
    EXPECT_EQ(RegReadDword(key.get(), "Fresh"), 7u);
}

TEST(RegistryTest, ADamagedFileKeepsEveryValueThatReadsAndACopyOfItIsSetAside) {
    const std::string head = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Test]\n";
    const std::vector<std::pair<std::string, std::string>> damages = {
        {"cut", head + "\"First\"=dword:00000001\n\"Second\"=\"cut sho"},
        {"nul", head + "\"First\"=dword:00000001\n\"Bad\"=\"a" + std::string(1, '\0') + "b\"\n\"Second\"=\"kept\"\n"},
        {"odd", head + "\"First\"=dword:00000001\nnot a value line\n[HKEY_CURRENT_USER\\Software\\Test\n\"Lost\"=dword:2\n"},
    };
    for (const auto& [name, text] : damages) {
        SCOPED_TRACE(name);
        TempRoot root;
        std::filesystem::create_directories(root.userRegistry().parent_path());
        std::ofstream(root.userRegistry(), std::ios::binary) << text;
        RegKey key;
        ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, "Software\\Test", key.out()), ERROR_SUCCESS);
        EXPECT_EQ(RegReadDword(key.get(), "First"), 1u);
        if (name == "nul") EXPECT_EQ(RegReadString(key.get(), "Second"), "kept");
        EXPECT_FALSE(RegReadDword(key.get(), "Lost"));
        const auto aside = TakeSetAsideRegistryFile();
        ASSERT_TRUE(aside);
        std::ifstream in(*aside, std::ios::binary);
        EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), text);
        EXPECT_FALSE(TakeSetAsideRegistryFile());  // told once
        // The file itself now reads whole.
        EXPECT_TRUE(ParseRegFile(root.readUserRegistry(), "HKEY_CURRENT_USER"));
    }
}

TEST(RegistryTest, AFileInUtf16WithItsByteOrderMarkReads) {
    TempRoot root;
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test]\r\n"
                             "\"Name\"=\"Caf\xC3\xA9 \xF0\x9F\x93\xB7\"\r\n";
    std::string utf16 = "\xFF\xFE";
    for (size_t at = 0; at < text.size();) {
        const auto byte = std::uint8_t(text[at]);
        std::uint32_t code = byte;
        int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
        if (extra) code = byte & (0x3F >> extra);
        for (int i = 1; i <= extra; ++i) code = code << 6 | (std::uint8_t(text[at + size_t(i)]) & 0x3F);
        at += size_t(extra) + 1;
        const auto put = [&](std::uint32_t unit) {
            utf16 += char(unit & 0xFF);
            utf16 += char(unit >> 8);
        };
        if (code >= 0x10000) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(code);
        }
    }
    std::filesystem::create_directories(root.userRegistry().parent_path());
    std::ofstream(root.userRegistry(), std::ios::binary) << utf16;
    RegKey key;
    ASSERT_EQ(RegOpenKey(HKEY_CURRENT_USER, "Software\\Test", key.out()), ERROR_SUCCESS);
    EXPECT_EQ(RegReadString(key.get(), "Name"), "Caf\xC3\xA9 \xF0\x9F\x93\xB7");
    EXPECT_FALSE(TakeSetAsideRegistryFile());
}

TEST(RegistryTest, WritesNeverFollowALinkPlantedAtTheirTemporaryFile) {
    TempRoot root;
    const std::filesystem::path victim = root.path() / "victim.txt";
    std::ofstream(victim) << "keep me";
    const auto plant = [&](const std::filesystem::path& temporary) {
        std::filesystem::create_directories(temporary.parent_path());
        std::filesystem::create_symlink(victim, temporary);
    };
    plant(root.userRegistry().string() + ".tmp");
    const std::filesystem::path entry = AutostartEntryPath("Glyphveil");
    plant(entry.string() + ".tmp");

    RegKey key;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Software\\Test", key.out()), ERROR_SUCCESS);
    EXPECT_EQ(RegWriteDword(key.get(), "Fresh", 7), ERROR_SUCCESS);
    EXPECT_TRUE(WriteAutostartEntry("Glyphveil", "/usr/bin/glyphveil"));

    std::ifstream in(victim);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "keep me");
    for (const std::filesystem::path& written : {root.userRegistry(), entry}) {
        EXPECT_FALSE(std::filesystem::is_symlink(written)) << written;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(written.string() + ".tmp"))) << written;
    }
    EXPECT_EQ(RegReadDword(key.get(), "Fresh"), 7u);
}

TEST(RegistryTest, ABatchWritesEverythingAtOnce) {
    TempRoot root;
    RegKey key;
    ASSERT_EQ(RegCreateKey(HKEY_CURRENT_USER, "Software\\Test", key.out()), ERROR_SUCCESS);
    {
        RegWriteBatch batch;
        for (int i = 0; i < 50; ++i) RegWriteDword(key.get(), ("v" + std::to_string(i)).c_str(), DWORD(i));
        EXPECT_FALSE(RegReadDword(key.get(), "v0"));  // not written before the batch ends
    }
    EXPECT_EQ(ValueNames(root).size(), 50u);
    EXPECT_EQ(RegReadDword(key.get(), "v49"), 49u);
}

TEST(RegistryTest, TwoProgramsWritingAtOnceLoseNothing) {
    TempRoot root;
    ChildProcess first(HelperPath("registry_writer"), {"first", "500"});
    ChildProcess second(HelperPath("registry_writer"), {"second", "500"});
    ASSERT_EQ(first.wait(120000), 0);
    ASSERT_EQ(second.wait(120000), 0);
    const std::set<std::string> names = ValueNames(root);
    EXPECT_EQ(names.size(), 1000u);
    for (int i = 0; i < 500; i += 97) {
        EXPECT_TRUE(names.count("first-" + std::to_string(i)));
        EXPECT_TRUE(names.count("second-" + std::to_string(i)));
    }
}

TEST(RegistryTest, AWriterKilledAnyTimeLeavesAReadableFileWithEveryFinishedValue) {
    TempRoot root;
    std::mt19937 random(12345);
    std::set<std::string> finished;
    for (int round = 0; round < 25; ++round) {
        const std::string prefix = "r" + std::to_string(round);
        ChildProcess writer(HelperPath("registry_writer"), {prefix, "100000"});
        // Let it write a few values, then kill it at a random moment.
        for (int i = 0; i < 2 + int(random() % 5); ++i) {
            const std::string line = writer.readLine(10000);
            ASSERT_EQ(line.rfind("done ", 0), 0u) << line;
            finished.insert(prefix + "-" + line.substr(5));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        writer.kill(SIGKILL);
        writer.wait(5000);
        // Lines it printed before it died also count as finished.
        for (std::string line = writer.readLine(50); !line.empty(); line = writer.readLine(50))
            if (line.rfind("done ", 0) == 0 && line.back() != ' ') finished.insert(prefix + "-" + line.substr(5));

        ASSERT_TRUE(ParseRegFile(root.readUserRegistry(), "HKEY_CURRENT_USER")) << "round " << round;
        const std::set<std::string> stored = ValueNames(root);
        for (const std::string& name : finished) ASSERT_TRUE(stored.count(name)) << name << " lost in round " << round;
    }
}
