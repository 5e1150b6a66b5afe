#include <gtest/gtest.h>

#include "reg_file.h"

using namespace platform;

namespace {

constexpr const char* kRoot = "HKEY_CURRENT_USER";

std::string Dword(DWORD value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

}  // namespace

TEST(RegFileTest, ReadsAHandWrittenFileWithEveryKindOfValue) {
    const std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
        "\r\n"
        "; written by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]\r\n"
        "\"CamList\"=\"Harbour|http://host/p.jpg|??:??|Unknown|???|1|||0|\"\r\n"
        "\"Height\"=dword:ffffffe8\r\n"
        "\"CurrentPosition\"=hex:00,00,00,00,00,00,f0,3f\r\n"
        "\"Path\"=\"C:\\\\Images \\\"quoted\\\"\"\r\n"
        "@=\"default\"\r\n"
        "\"Expand\"=hex(2):25,00,41,00,25,00,00,00\r\n"
        "\"Multi\"=hex(7):61,00,00,00,\\\r\n"
        "  62,00,00,00,00,00\r\n"
        "\"Gone\"=\"soon\"\r\n"
        "\"Gone\"=-\r\n"
        "\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Elsewhere]\r\n"
        "\"Other\"=dword:00000001\r\n";
    auto hive = ParseRegFile(text, kRoot);
    ASSERT_TRUE(hive);
    const RegKeyData* key = hive->findKey("software\\TARVEX\\Ostrel Screen Saver\\Kelvane Screen Saver");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->values.at("camlist"), (RegValue{REG_SZ, "Harbour|http://host/p.jpg|??:??|Unknown|???|1|||0|"}));
    EXPECT_EQ(key->values.at("Height"), (RegValue{REG_DWORD, Dword(0xffffffe8u)}));
    EXPECT_EQ(key->values.at("CurrentPosition").data, std::string("\0\0\0\0\0\0\xf0\x3f", 8));
    EXPECT_EQ(key->values.at("Path").data, "C:\\Images \"quoted\"");
    EXPECT_EQ(key->values.at("").data, "default");
    EXPECT_EQ(key->values.at("Expand"), (RegValue{REG_EXPAND_SZ, "%A%"}));
    EXPECT_EQ(key->values.at("Multi"), (RegValue{REG_MULTI_SZ, std::string("a\0\0\0b\0\0\0\0\0", 10)}));
    EXPECT_EQ(key->values.count("Gone"), 0u);
    // Parents exist with their children; keys under the other root are left out.
    EXPECT_NE(hive->findKey("Software\\Tarvex"), nullptr);
    EXPECT_EQ(hive->findKey("Software\\Elsewhere"), nullptr);
}

TEST(RegFileTest, KeyDeletionRemovesTheKeyAndItsSubkeys) {
    auto hive = ParseRegFile(
        "REGEDIT4\n[HKEY_CURRENT_USER\\A\\B]\n\"x\"=\"1\"\n[HKEY_CURRENT_USER\\A\\BC]\n\"y\"=\"2\"\n[-HKEY_CURRENT_USER\\A\\B]\n",
        kRoot);
    ASSERT_TRUE(hive);
    EXPECT_EQ(hive->findKey("A\\B"), nullptr);
    EXPECT_NE(hive->findKey("A\\BC"), nullptr);
}

TEST(RegFileTest, WhatItWritesReadsBackUnchanged) {
    RegHive hive;
    auto& values = hive.createKey("Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver").values;
    values["Plain"] = {REG_SZ, "Harbour|http://user:pw@host:8080/p.jpg|12:30|OK|jpg|1|||0|"};
    values["Quotes"] = {REG_SZ, "back\\slash \"quote\" ; = [x]"};
    values["Lines"] = {REG_SZ, "first\nsecond\r\n\ttab"};
    values["Bytes"] = {REG_SZ, "latin1 \xe9 and broken \xc3"};
    values["Wide"] = {REG_SZ, "snow \xe2\x98\x83 and clef \xf0\x9d\x84\x9e"};
    values["Empty"] = {REG_SZ, ""};
    values["Folder\\"] = {REG_SZ, "C:\\Images\\"};  // a backslash just before the closing quote
    values["Dword"] = {REG_DWORD, Dword(0x80000000u)};
    values["Binary"] = {REG_BINARY, std::string("\0\x01\xff", 3)};
    values["EmptyBinary"] = {REG_BINARY, ""};
    values["Odd"] = {0x1234, "abc"};
    values[""] = {REG_SZ, "default"};
    hive.createKey("Software\\Empty key");

    const std::string text = FormatRegFile(hive, kRoot);
    EXPECT_NE(text.find("\"Dword\"=dword:80000000\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Plain\"=\"Harbour|"), std::string::npos) << text;
    auto parsed = ParseRegFile(text, kRoot);
    ASSERT_TRUE(parsed) << text;
    EXPECT_TRUE(*parsed == hive) << text;
}

TEST(RegFileTest, RefusesTextThatIsNotARegistryFile) {
    const char* broken[] = {
        "",
        "[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n",                            // no header
        "Windows Registry Editor Version 5.00\n\"x\"=\"1\"\n",              // a value before any key
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"open\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=dword:123456789\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=hex:1,zz\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\nnonsense\n",
        "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A\n",
        "\x00\x01\x02 binary junk",
    };
    for (const char* text : broken) EXPECT_FALSE(ParseRegFile(text, kRoot)) << text;
}
