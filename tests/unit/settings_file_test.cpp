// The settings file: three integers, what is read from files that are not
// quite that, and a write that never leaves half a file behind.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <sys/resource.h>

#include "devices/port_devices.h"
#include "devices/settings_file.h"
#include "devices/user_files.h"
#include "support/test_files.h"

namespace plenvo::testing {
namespace {

using Values = SettingsFile::Values;

constexpr int32_t kLongMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kLongMax = std::numeric_limits<int32_t>::max();

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Makes every write that would grow a file past a few bytes fail, as a full
// disk does; root writes into read-only folders, so that is no way to fail.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_handler_)(int) = nullptr;
};

TEST(SettingsText, FormatsThreeCrLfLinesThatParseBackToTheSameValues)
{
    EXPECT_EQ(SettingsFile::format(1200, 3000, 2), "1200\r\n3000\r\n2\r\n");
    EXPECT_EQ(SettingsFile::format(-45, -3000, 1), "-45\r\n-3000\r\n1\r\n");

    const Values extremes[] = {
        {0, 0, 1},
        {-900, -2000, 2},
        {kLongMin, kLongMax, std::numeric_limits<int16_t>::max()},
        {kLongMax, kLongMin, std::numeric_limits<int16_t>::min()},
    };
    for (const Values& v : extremes)
        EXPECT_EQ(SettingsFile::parse(SettingsFile::format(*v.win_top, *v.win_left, *v.com_port)), v)
            << *v.win_top << ' ' << *v.win_left << ' ' << *v.com_port;
}

TEST(SettingsText, AValueEndsAtAnyLineEndOrAComma)
{
    const Values expected{1200, 3000, 2};
    for (const QByteArray text : {"1200\r\n3000\r\n2\r\n", "1200\n3000\n2\n", "1200\r3000\r2", "1200,3000,2",
                                  "1200,3000\r\n2", "1200\r\n3000\r\n2"})
        EXPECT_EQ(SettingsFile::parse(text), expected) << text.toStdString();
}

TEST(SettingsText, EachValueThatIsMissingOrNoNumberIsLeftEmptyOnItsOwn)
{
    struct Case {
        const char* text;
        Values expected;
    };
    const Case cases[] = {
        {"", {}},
        {"\r\n", {}},
        {"1200\r\n", {1200, {}, {}}},
        {"1200\r\n3000\r\n", {1200, 3000, {}}},
        {"top\r\n3000\r\n2\r\n", {{}, 3000, 2}},
        {"1200\r\n30x0\r\n2\r\n", {1200, {}, 2}},
        {"1200\r\n3000\r\nCOM2\r\n", {1200, 3000, {}}},
        {"1.5\r\n3000\r\n2\r\n", {{}, 3000, 2}},
        {"\r\n3000\r\n2\r\n", {{}, 3000, 2}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SettingsFile::parse(c.text), c.expected) << '"' << c.text << '"';
    // A NUL would end the number early: "1200" is not what the line holds.
    EXPECT_EQ(SettingsFile::parse(QByteArray("1200\0junk\r\n3000\r\n2\r\n", 20)), (Values{{}, 3000, 2}));
}

TEST(SettingsText, NumbersTooLargeForTheirTypeAreLeftEmptyAndNegativesAreKept)
{
    EXPECT_EQ(SettingsFile::parse("2147483648\r\n-2147483649\r\n1\r\n"), (Values{{}, {}, 1}));
    EXPECT_EQ(SettingsFile::parse("99999999999999999999\r\n0\r\n1\r\n"), (Values{{}, 0, 1}));
    EXPECT_EQ(SettingsFile::parse("0\r\n0\r\n32768\r\n"), (Values{0, 0, {}}));
    EXPECT_EQ(SettingsFile::parse("0\r\n0\r\n-32769\r\n"), (Values{0, 0, {}}));
    EXPECT_EQ(SettingsFile::parse("0\r\n0\r\n65537\r\n"), (Values{0, 0, {}}));
    EXPECT_EQ(SettingsFile::parse("-900\r\n-2000\r\n-1\r\n"), (Values{-900, -2000, -1}));
}

class SettingsFileTest : public ::testing::Test {
protected:
    QString path() const { return folder.filePath(kSettingsFileName); }

    QTemporaryDir folder;
};

TEST_F(SettingsFileTest, WritesExactlyThreeCrLfLinesAndReadsThemBack)
{
    const SettingsFile file(path());
    EXPECT_EQ(file.read(), Values{});

    ASSERT_TRUE(file.write(-45, 3000, 2));
    EXPECT_EQ(contents(path()), "-45\r\n3000\r\n2\r\n");
    EXPECT_EQ(file.read(), (Values{-45, 3000, 2}));

    // A longer old file is replaced, not overwritten in place.
    put(path(), "123456789\r\n123456789\r\n1\r\n# note\r\n");
    ASSERT_TRUE(file.write(0, 0, 1));
    EXPECT_EQ(contents(path()), "0\r\n0\r\n1\r\n");
}

TEST_F(SettingsFileTest, AFailedWriteLeavesTheOldFileWholeAndNoLitter)
{
    put(path(), "1200\r\n3000\r\n2\r\n");
    const SettingsFile file(path());
    {
        const FileSizeLimit full_disk(4);
        EXPECT_FALSE(file.write(-123456, -654321, 1));
    }
    EXPECT_EQ(contents(path()), "1200\r\n3000\r\n2\r\n");
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{kSettingsFileName});
}

TEST_F(SettingsFileTest, WritingMakesTheFoldersItNeeds)
{
    const QString nested = folder.filePath(QStringLiteral("config/plenvo/") + kSettingsFileName);
    ASSERT_TRUE(SettingsFile(nested).write(1, 2, 1));
    EXPECT_EQ(contents(nested), "1\r\n2\r\n1\r\n");
}

TEST_F(SettingsFileTest, EveryProgramFindsTheSameUserFiles)
{
    // Nobody, root included, can write into a folder below a plain file.
    put(folder.filePath("plain"), "");
    const QString config = folder.filePath("config");
    const QByteArray old_config = qgetenv("XDG_CONFIG_HOME");
    const QString old_name = QCoreApplication::applicationName();
    qputenv("XDG_CONFIG_HOME", config.toUtf8());

    const struct {
        const char* what;
        QString program_dir;
        QString folder;
    } cases[] = {
        {"a writable folder of its own", folder.path(), folder.path()},
        {"a folder the user cannot write", folder.filePath("plain/bin"), config + "/plenvo"},
        // Root can write /usr/bin, a user ~/.local/bin: installed all the same.
        {"an installed copy", folder.filePath("usr/bin"), config + "/plenvo"},
    };
    ASSERT_TRUE(QDir(folder.path()).mkpath("usr/bin"));
    ASSERT_TRUE(QDir(folder.path()).mkpath("usr/share/applications"));
    put(folder.filePath("usr/bin/") + kMenuEntry, "");
    for (const auto& c : cases) {
        for (const char* program : {"plenvo", "plenvo-ctl"}) {
            QCoreApplication::setApplicationName(QLatin1String(program));
            SCOPED_TRACE(std::string(c.what) + ", " + program);
            EXPECT_EQ(SettingsFile::for_program(c.program_dir).path(), c.folder + "/" + kSettingsFileName);
            EXPECT_EQ(PortDevices::for_program(c.program_dir).path(), c.folder + "/" + kDevicesFileName);
        }
    }
    QCoreApplication::setApplicationName(old_name);
    qputenv("XDG_CONFIG_HOME", old_config);
}

}  // namespace
}  // namespace plenvo::testing
