#include "platform/PrivateProfile.h"

#include "platform/ProfileText.h"
#include "support/WholeFile.h"

#include "testing/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <optional>

using namespace platform;

namespace {

struct FindCase {
    const char* what;
    const char* content;
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

TEST(ProfileTextTest, FindsKeysWithTheWindowsMatchingRules)
{
    const FindCase cases[] = {
        { "CR LF", "[A]\r\nk=v\r\n", "A", "k", "v" },
        { "LF", "[A]\nk=v\n", "A", "k", "v" },
        { "last line without end", "[A]\nk=v", "A", "k", "v" },
        { "names differ in case",
            "[historizedtoodbcsql]\r\nsqltype=MySQL\r\n",
            "HistorizedtoODBCSQL",
            "SQLTYPE",
            "MySQL" },
        { "blanks around names and value", "  [ A ]  \r\n\t k \t=  v w \t\r\n", "A", "k", "v w" },
        { "blanks in the caller's names", "[A]\nk=v\n", " A ", " k ", "v" },
        { "value holds '='", "[A]\nk=a=b\n", "A", "k", "a=b" },
        { "empty value", "[A]\nk=\n", "A", "k", "" },
        { "first of two lines wins", "[A]\nk=1\nk=2\n", "A", "k", "1" },
        { "later section of the same name", "[A]\nx=1\n[B]\nk=2\n[a]\nk=3\n", "A", "k", "3" },
        { "other section", "[B]\nk=v\n", "A", "k", std::nullopt },
        { "before any section", "k=v\n[A]\n", "A", "k", std::nullopt },
        { "after the closing line", "[A]\n-->\nk=v\n", "A", "k", std::nullopt },
        { "comment line", "[A]\n;k=v\n", "A", "k", std::nullopt },
        { "line without '='", "[A]\nk\n", "A", "k", std::nullopt },
        { "header without ']'", "[A]\n[B\nk=v\n", "B", "k", std::nullopt },
        { "key is a prefix", "[A]\nkey=v\n", "A", "k", std::nullopt },
        { "empty text", "", "A", "k", std::nullopt },
    };
    for (const FindCase& c : cases)
        EXPECT_EQ(profile_text::findValue(c.content, c.section, c.key), c.expected) << c.what;
}

struct WriteCase {
    const char* what;
    const char* before;
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

TEST(ProfileTextTest, WritesChangeOnlyTheAddressedLine)
{
    const WriteCase cases[] = {
        { "replace, CR LF", "x\r\n[A]\r\nk=old\r\nj=1\r\n", "A", "k", "new", "x\r\n[A]\r\nk=new\r\nj=1\r\n" },
        { "replace, LF kept", "[A]\nk=old\nz\n", "A", "k", "new", "[A]\nk=new\nz\n" },
        { "replace keeps the key's spelling", "[A]\r\n  Key = old \r\n", "a", "KEY", "n", "[A]\r\n  Key =n\r\n" },
        { "replace on a last line without end", "[A]\r\nk=old", "A", "k", "new", "[A]\r\nk=new" },
        { "replace in the later section", "[A]\nx=1\n[B]\n[A]\nk=2\n", "A", "k", "3", "[A]\nx=1\n[B]\n[A]\nk=3\n" },
        { "insert after the last key line",
            "[A]\nk=1\nfoo\nm=2\n-->",
            "A",
            "j",
            "3",
            "[A]\nk=1\nfoo\nm=2\nj=3\r\n-->" },
        { "insert after a header without keys", "[A]\n-->", "A", "j", "2", "[A]\nj=2\r\n-->" },
        { "insert before the next section",
            "[A]\r\nk=1\r\n\r\n[B]\r\n",
            "A",
            "j",
            "2",
            "[A]\r\nk=1\r\nj=2\r\n\r\n[B]\r\n" },
        { "insert into the first of two sections",
            "[A]\nk=1\n[A]\nm=2\n",
            "A",
            "j",
            "3",
            "[A]\nk=1\nj=3\r\n[A]\nm=2\n" },
        { "insert after a last line without end", "[A]\r\nk=1", "A", "j", "2", "[A]\r\nk=1\r\nj=2\r\n" },
        { "empty value", "[A]\r\nk=1\r\n", "A", "DSN", "", "[A]\r\nk=1\r\nDSN=\r\n" },
        { "value stored as given", "[A]\r\n", "A", "PWD", " ", "[A]\r\nPWD= \r\n" },
        { "key line after the block is no target",
            "[A]\r\n-->\r\nk=1\r\n",
            "A",
            "k",
            "2",
            "[A]\r\nk=2\r\n-->\r\nk=1\r\n" },
        { "new section at the end", "x\n", "S", "k", "v", "x\n[S]\r\nk=v\r\n" },
        { "new section after a last line without end", "x", "S", "k", "v", "x\r\n[S]\r\nk=v\r\n" },
        { "new section in empty text", "", "S", "k", "v", "[S]\r\nk=v\r\n" },
        { "new section inside a closing block",
            "<a/>\r\n<!--\r\n[B]\r\n-->",
            "S",
            "k",
            "v",
            "<a/>\r\n<!--\r\n[B]\r\n[S]\r\nk=v\r\n-->" },
        { "new section inside a block with line end",
            "<!--\n[B]\n-->\n\n",
            "S",
            "k",
            "v",
            "<!--\n[B]\n[S]\r\nk=v\r\n-->\n\n" },
    };
    for (const WriteCase& c : cases)
        EXPECT_EQ(profile_text::withValue(c.before, c.section, c.key, c.value), c.after) << c.what;
}

TEST(ProfileTextTest, RefusesTextThatWouldBreakLines)
{
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        { "A", "k", "v", true },
        { "A", "k", "", true },
        { "A", "k", "a\r\nb=c", false },
        { "A", "k", "a\nb", false },
        { "A", "k=x", "v", false },
        { "A]x", "k", "v", false },
        { "A\n", "k", "v", false },
        { "", "k", "v", false },
        { "A", " ", "v", false },
    };
    for (const auto& [section, key, value, ok] : cases)
        EXPECT_EQ(profile_text::isWritable(section, key, value), ok) << section << "/" << key << "/" << value;
}

TEST(ProfileTextTest, WritesOnlyKeysThatReadBack)
{
    // A key line that starts with ';' is a comment and one that starts with '[' is no key line:
    // such a key would be written and then never found.
    const std::tuple<const char*, const char*, bool> cases[] = {
        { ";k", "v", false },
        { " ;k", "v", false },
        { "[k", "v]", false },
        { "[k", "v", false },
        { "k;", "v", true },
        { "k[", "v]", true },
        { "-->", "v", true },
    };
    for (const auto& [key, value, ok] : cases) {
        EXPECT_EQ(profile_text::isWritable("S", key, value), ok) << key;
        if (ok) {
            const std::string written = profile_text::withValue("[S]\n", "S", key, value);
            EXPECT_EQ(profile_text::findValue(written, "S", key), std::optional<std::string>(value)) << key;
        }
    }
}

// A node configuration file as the Node Config page writes it: CR LF lines, the settings
// block in a comment after the root element, and a last "-->" without a line end.
constexpr const char* kNodeConfig = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                                    "<UANodeSet xmlns=\"http://opcfoundation.org/UA/2011/03/UANodeSet.xsd\">\r\n"
                                    "  <UAVariable NodeId=\"ns=1;i=1001\" BrowseName=\"1:Temp\"/>\r\n"
                                    "</UANodeSet>\r\n"
                                    "<!--\r\n"
                                    "[AlarmSourceNodes]\r\n"
                                    "Node1=1001\r\n"
                                    "[HistorizedtoODBCSQL]\r\n"
                                    "StartLogging=true\r\n"
                                    "-->";

class PrivateProfileTest : public ::testing::Test {
protected:
    void write(const std::string& content) { std::ofstream(m_file, std::ios::binary) << content; }
    std::string content() const
    {
        const auto read = support::readWholeFile(m_file);
        return read ? *read : "<missing>";
    }

    TempDir m_dir;
    std::filesystem::path m_file = m_dir / "NodeConfig.xml";
};

TEST_F(PrivateProfileTest, OdbcKeysLandInsideTheBlockOfANodeConfigurationFile)
{
    write(kNodeConfig);
    const char* keys[][2] = { { "SQLTYPE", "MySQL" },
        { "DRIVER", "MariaDB ODBC 3.1 Driver" },
        { "SERVER", "db1" },
        { "PORT", "3306" },
        { "UID", "tavox" },
        { "PWD", "se=cret" },
        { "DATABASE", "history" },
        { "DSN", "ACTIVE" },
        { "ACTIVE", "1,1" } };
    for (int round = 0; round < 2; ++round)
        for (const auto& [key, value] : keys)
            ASSERT_TRUE(writeProfileString(m_file, "HistorizedtoODBCSQL", key, value)) << key;

    const std::string expected = std::string(kNodeConfig, std::string_view(kNodeConfig).size() - 3)
        + "SQLTYPE=MySQL\r\nDRIVER=MariaDB ODBC 3.1 Driver\r\nSERVER=db1\r\nPORT=3306\r\nUID=tavox\r\n"
          "PWD=se=cret\r\nDATABASE=history\r\nDSN=ACTIVE\r\nACTIVE=1,1\r\n-->";
    EXPECT_EQ(content(), expected);
    EXPECT_EQ(readProfileString(m_file, "historizedtoodbcsql", "pwd", "N/A"), "se=cret");
    EXPECT_EQ(readProfileString(m_file, "HistorizedtoODBCSQL", "StartLogging", "N/A"), "true");
    EXPECT_EQ(readProfileString(m_file, "HistorizedtoODBCSQL", "Node1", "N/A"), "N/A");
}

TEST_F(PrivateProfileTest, MissingFileGivesTheDefaultAndIsCreatedByAWrite)
{
    EXPECT_EQ(readProfileString(m_file, "S", "k", "N/A"), "N/A");
    ASSERT_TRUE(writeProfileString(m_file, "S", "k", "v"));
    EXPECT_EQ(content(), "[S]\r\nk=v\r\n");
    EXPECT_FALSE(writeProfileString(m_dir / "no-such-dir" / "f.ini", "S", "k", "v"));
}

TEST_F(PrivateProfileTest, NoRegularOrTooLargeFileGivesTheDefaultAndIsNeverReplaced)
{
    const auto fifo = m_dir / "pipe.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Sparse: as large as it says without the disk space.
    write("[S]\nk=v\n");
    std::filesystem::resize_file(m_file, support::kMaxWholeFileBytes + 1);
    // Neither the pipe (no writer) nor /dev/zero (no end) may hold the read.
    for (const std::filesystem::path& file : { fifo, std::filesystem::path("/dev/zero"), m_file }) {
        SCOPED_TRACE(file.string());
        EXPECT_EQ(readProfileString(file, "S", "k", "N/A"), "N/A");
        if (file != "/dev/zero") {
            EXPECT_FALSE(writeProfileString(file, "S", "k", "w"));
        }
    }
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    EXPECT_EQ(std::filesystem::file_size(m_file), support::kMaxWholeFileBytes + 1);
}

TEST_F(PrivateProfileTest, RewriteKeepsModeAndLinksAndRefusesBrokenText)
{
    write("[S]\nk=1\n");
    ASSERT_EQ(::chmod(m_file.c_str(), 0640), 0);
    const auto link = m_dir / "link.xml";
    std::filesystem::create_symlink(m_file, link);

    ASSERT_TRUE(writeProfileString(link, "S", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(content(), "[S]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(m_file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    EXPECT_FALSE(writeProfileString(m_file, "S", "k", "2\r\n[X]"));
    EXPECT_EQ(content(), "[S]\nk=2\n");
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_dir.path()), {}), 2);
}

TEST_F(PrivateProfileTest, WideReadIsCutToTheCallersSize)
{
    write("[S]\r\nk=abcdef\r\nu=a\xF0\x9F\x98\x80\r\n"); // "a" and U+1F600, two UTF-16 units
    struct Case {
        const char16_t* key;
        const char16_t* fallback;
        std::uint32_t size;
        std::u16string expected;
    };
    const Case cases[] = {
        { u"k", u"", 260, u"abcdef" },
        { u"K", u"", 7, u"abcdef" },
        { u"k", u"", 4, u"abc" },
        { u"k", u"", 1, u"" },
        { u"u", u"", 4, u"a\U0001F600" },
        { u"u", u"", 3, u"a" },
        { u"missing", u"N/A", 260, u"N/A" },
        { u"missing", u"N/A", 3, u"N/" },
    };
    for (const Case& c : cases) {
        std::u16string buffer(c.size + 1, u'#');
        const std::uint32_t n = getPrivateProfileString(u"s", c.key, c.fallback, buffer.data(), c.size, m_file);
        EXPECT_EQ(n, c.expected.size());
        EXPECT_EQ(buffer.substr(0, n + 1), c.expected + u'\0');
        EXPECT_EQ(buffer[c.size], u'#') << "wrote past the caller's size";
    }

    ASSERT_TRUE(writePrivateProfileString(u"S", u"k", u"\u00e9t\u00e9", m_file));
    EXPECT_EQ(readProfileString(m_file, "S", "k", ""), "\xC3\xA9t\xC3\xA9");
}

} // namespace
