#include "tavox-admin/RegFile.h"

#include "platform/Registry.h"
#include "support/TextCodec.h"

#include <gtest/gtest.h>

using namespace admin;

namespace {

Bytes utf8(std::string_view text) { return Bytes(text.begin(), text.end()); }

std::string decoded(const Bytes& file)
{
    EXPECT_GE(file.size(), 2u);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(file[1], 0xFE);
    std::u16string units;
    for (std::size_t i = 2; i + 1 < file.size(); i += 2)
        units.push_back(static_cast<char16_t>(file[i] | (file[i + 1] << 8)));
    return support::utf16ToUtf8(units);
}

RegFileKey serverKey(std::vector<RegFileValue> values)
{
    return { { platform::RegHive::LocalMachine, "SOFTWARE\\MORVANE\\Tavox Server" }, std::move(values) };
}

TEST(RegFileTest, WritesEachValueInTheFormOfTheRegistryEditor)
{
    const struct {
        RegFileValue value;
        const char* line;
    } cases[] = {
        { { "NodeCfg", false, platform::kRegSz, platform::regSzBytesFromUtf8("Node Config.xml") },
            "\"NodeCfg\"=\"Node Config.xml\"" },
        { { "Path", false, platform::kRegSz, platform::regSzBytesFromUtf8("C:\\Srv\\\"x\"") },
            "\"Path\"=\"C:\\\\Srv\\\\\\\"x\\\"\"" },
        { { "", false, platform::kRegSz, platform::regSzBytesFromUtf8("default") }, "@=\"default\"" },
        { { "Umlaut", false, platform::kRegSz, platform::regSzBytesFromUtf8("M\xC3\xBChle") },
            "\"Umlaut\"=\"M\xC3\xBChle\"" },
        { { "Port", false, platform::kRegDword, { 0x8A, 0xBB, 0, 0 } }, "\"Port\"=dword:0000bb8a" },
        { { "Bin", false, platform::kRegBinary, { 0x01, 0xAB } }, "\"Bin\"=hex:01,ab" },
        { { "Empty", false, platform::kRegBinary, {} }, "\"Empty\"=hex:" },
        { { "Short", false, platform::kRegDword, { 1, 2 } }, "\"Short\"=hex(4):01,02" },
        { { "NoNul", false, platform::kRegSz, { 'a', 0 } }, "\"NoNul\"=hex(1):61,00" },
        { { "Lines", false, platform::kRegSz, platform::regSzBytesFromUtf8("a\nb") },
            "\"Lines\"=hex(1):61,00,0a,00,62,00,00,00" },
        { { "Qword", false, 11, { 1, 0, 0, 0, 0, 0, 0, 0 } }, "\"Qword\"=hex(b):01,00,00,00,00,00,00,00" },
        { { "Gone", true, 0, {} }, "\"Gone\"=-" },
    };
    for (const auto& c : cases) {
        const auto file = formatRegFile({ serverKey({ c.value }) });
        ASSERT_TRUE(file);
        EXPECT_EQ(decoded(*file),
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\MORVANE\\Tavox Server]\r\n"
                + std::string(c.line) + "\r\n\r\n")
            << c.line;
        const auto parsed = parseRegFile(*file);
        ASSERT_TRUE(parsed) << parsed.error().message;
        ASSERT_EQ(parsed->size(), 1u);
        ASSERT_EQ((*parsed)[0].values.size(), 1u);
        const RegFileValue& back = (*parsed)[0].values[0];
        EXPECT_EQ(back.name, c.value.name) << c.line;
        EXPECT_EQ(back.remove, c.value.remove) << c.line;
        if (!c.value.remove) {
            EXPECT_EQ(back.type, c.value.type) << c.line;
            EXPECT_EQ(back.data, c.value.data) << c.line;
        }
    }
}

TEST(RegFileTest, LongByteListsWrapAndReadBack)
{
    Bytes table(300);
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<std::uint8_t>(i * 7);
    const auto file = formatRegFile({ serverKey({ { "UsrAuth", false, platform::kRegBinary, table } }) });
    ASSERT_TRUE(file);
    const std::string text = decoded(*file);
    std::size_t start = 0;
    int lines = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2, ++lines)
        EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    EXPECT_GT(lines, 10);
    const auto parsed = parseRegFile(*file);
    ASSERT_TRUE(parsed) << parsed.error().message;
    EXPECT_EQ((*parsed)[0].values[0].data, table);
}

TEST(RegFileTest, ReadsUtf8FilesWithTheirVariations)
{
    const auto parsed = parseRegFile(utf8("\xEF\xBB\xBFREGEDIT4\n"
                                          "; a comment\n"
                                          "\n"
                                          "[hkcu\\Software\\MORVANE\\Tavox Utility\\Setting]\n"
                                          "  \"Pwd\" = \"abc\"  \n"
                                          "\"Bytes\"=HEX:01, 02,\\\n"
                                          "    03\n"
                                          "\"Word\"=DWORD:ff\n"));
    ASSERT_TRUE(parsed) << parsed.error().message;
    ASSERT_EQ(parsed->size(), 1u);
    const RegFileKey& key = (*parsed)[0];
    EXPECT_EQ(key.key.hive, platform::RegHive::CurrentUser);
    EXPECT_EQ(key.key.subKey, "Software\\MORVANE\\Tavox Utility\\Setting");
    ASSERT_EQ(key.values.size(), 3u);
    EXPECT_EQ(key.values[0].data, platform::regSzBytesFromUtf8("abc"));
    EXPECT_EQ(key.values[1].data, (Bytes { 1, 2, 3 }));
    EXPECT_EQ(key.values[2].data, (Bytes { 0xFF, 0, 0, 0 }));
}

TEST(RegFileTest, RefusesMalformedFilesNamingTheLine)
{
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const struct {
        std::string text;
        const char* error;
    } cases[] = {
        { "[HKLM\\A]\n", "not a registry file: the first line must be \"Windows Registry Editor Version 5.00\"" },
        { "", "not a registry file: the first line must be \"Windows Registry Editor Version 5.00\"" },
        { header + "\"A\"=\"x\"\n", "line 3: a value comes before the first [key] line" },
        { header + "[HKLM\\A\n", "line 3: \"]\" expected at the end of the key line" },
        { header + "[-HKLM\\A]\n", "line 3: removing a whole key is not supported" },
        { header + "[HKXX\\A]\n",
            "line 3: invalid key name \"HKXX\\A\": the root must be HKLM, HKEY_LOCAL_MACHINE, HKCU or "
            "HKEY_CURRENT_USER" },
        { header + "[HKLM\\A]\nA=\"x\"\n", "line 4: a value name in double quotes or @ expected" },
        { header + "[HKLM\\A]\n\"A\"\"x\"\n", "line 4: \"=\" expected after the value name" },
        { header + "[HKLM\\A]\n\"A=\"x\"\n", "line 4: \"=\" expected after the value name" },
        { header + "[HKLM\\A]\n\"A\"=\"x\n", "line 4: the closing double quote is missing" },
        { header + "[HKLM\\A]\n\"A\"=\"x\" y\n", "line 4: unexpected text after the closing double quote" },
        { header + "[HKLM\\A]\n\"A\"=\"\\n\"\n", "line 4: only \\\\ and \\\" may follow a backslash in quotes" },
        { header + "[HKLM\\A]\n\"A\"=dword:123456789\n", "line 4: dword: needs one to eight hexadecimal digits" },
        { header + "[HKLM\\A]\n\"A\"=dword:\n", "line 4: dword: needs one to eight hexadecimal digits" },
        { header + "[HKLM\\A]\n\"A\"=hex:1g\n", "line 4: \"1g\" is not a hexadecimal byte" },
        { header + "[HKLM\\A]\n\"A\"=hex:100\n", "line 4: \"100\" is not a hexadecimal byte" },
        { header + "[HKLM\\A]\n\"A\"=hex:01,,02\n", "line 4: \"\" is not a hexadecimal byte" },
        { header + "[HKLM\\A]\n\"A\"=hex(x):01\n", "line 4: hex( needs a hexadecimal type number and \")\"" },
        { header + "[HKLM\\A]\n\"A\"=hex:01,\\\n", "line 4: the file ends inside a continued hex value" },
        { header + "[HKLM\\A]\n\"A\"=qword:1\n", "line 4: unknown value data \"qword:1\"" },
        { "Windows Registry Editor Version 5.00\n\xFF\n", "the file is neither UTF-16 nor UTF-8 text" },
    };
    for (const auto& c : cases) {
        const auto parsed = parseRegFile(utf8(c.text));
        ASSERT_FALSE(parsed) << c.text;
        EXPECT_EQ(parsed.error().message, c.error) << c.text;
    }
    const auto odd = parseRegFile(Bytes { 0xFF, 0xFE, 'W' });
    ASSERT_FALSE(odd);
    EXPECT_EQ(odd.error().message, "the UTF-16 text ends in the middle of a character");
}

TEST(RegFileTest, HoldsKeyAndValueNamesToTheRegistrysLimits)
{
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    const auto levels = [](std::size_t count, const std::string& name) {
        std::string path = "HKLM";
        for (std::size_t i = 0; i < count; ++i)
            path += "\\" + name;
        return path;
    };
    const std::string longest(255, 'k');
    const std::string wide255 = [] {
        std::string s;
        for (int i = 0; i < 255; ++i)
            s += "\xC3\xA9"; // two bytes, one character
        return s;
    }();
    // A long name shows as its first 80 bytes.
    const auto shown = [](const std::string& name) { return name.substr(0, 80) + "..."; };
    const struct {
        std::string text;
        std::string error; // empty: the file reads
    } cases[] = {
        { header + "[" + levels(512, longest) + "]\n", "" },
        { header + "[HKLM\\" + wide255 + "]\n", "" },
        { header + "[HKLM\\A]\n\"" + std::string(16383, 'v') + "\"=dword:1\n", "" },
        { header + "[HKLM\\" + longest + "x]\n",
            "line 3: invalid key name \"" + shown("HKLM\\" + longest) + "\": a key name has at most 255 characters" },
        { header + "[" + levels(513, "a") + "]\n",
            "line 3: invalid key name \"" + shown(levels(513, "a")) + "\": a key path has at most 512 levels" },
        { header + "[" + levels(10000, "L") + "]\n",
            "line 3: invalid key name \"" + shown(levels(10000, "L")) + "\": a key path has at most 512 levels" },
        { header + std::string("[HKLM\\A\0B]\n", 11),
            "line 3: invalid key name \"HKLM\\A\\0B\": a key name must not hold a NUL character" },
        { header + std::string("[HKLM\\A]\n\"a\0b\"=dword:1\n", 23),
            "line 4: a value name must not hold a NUL character" },
        { header + "[HKLM\\A]\n\"" + std::string(16384, 'v') + "\"=dword:1\n",
            "line 4: a value name has at most 16383 characters" },
    };
    for (const auto& c : cases) {
        const auto parsed = parseRegFile(utf8(c.text));
        if (c.error.empty()) {
            EXPECT_TRUE(parsed) << parsed.error().message;
            continue;
        }
        ASSERT_FALSE(parsed) << c.error;
        EXPECT_EQ(parsed.error().message, c.error);
    }
    // The same names in a UTF-16 file, where a NUL is one more character.
    using namespace std::string_literals;
    const std::u16string text = u"Windows Registry Editor Version 5.00\r\n[HKLM\\A]\r\n\"x\0y\"=\"v\"\r\n"s;
    Bytes utf16 = { 0xFF, 0xFE };
    for (char16_t c : text)
        utf16.push_back(static_cast<std::uint8_t>(c & 0xFF)), utf16.push_back(static_cast<std::uint8_t>(c >> 8));
    const auto parsed = parseRegFile(utf16);
    ASSERT_FALSE(parsed);
    EXPECT_EQ(parsed.error().message, "line 3: a value name must not hold a NUL character");
}

} // namespace
