// Start-up and shut-down of the main window on the simulated clock: where the
// window goes, what the device state starts at, what the settings file gets
// at exit, and the one copy per program folder.

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTemporaryDir>

#include <array>
#include <cmath>
#include <sys/wait.h>
#include <unistd.h>

#include "devices/single_instance.h"
#include "skin/layout.h"
#include "skin/skin.h"
#include "support/panel_fixture.h"

namespace plenvo::testing {
namespace {

// The default simulated screen, 1920 by 1080 pixels, in twips.
constexpr int kScreenTopLimit = 1080 * 15;
constexpr int kScreenLeftLimit = 1920 * 15;

class StartUpTest : public PanelTest {
protected:
    // Starts with both ports available, so that the port start-up opens is
    // the one it picked.
    void start_with(const QByteArray& settings)
    {
        write_settings(settings);
        serial.openable = {1, 2};
        start();
    }

    // Closes the main window the way the desktop asks it to.
    void close_window() { frm->close(); }

    QPoint centre() const { return frm->geometry().center(); }
};

TEST_F(StartUpTest, PlacesTheWindowAtTheSavedPlaceAndOpensTheSavedPort)
{
    start_with("1200\r\n3000\r\n2\r\n");
    EXPECT_EQ(frm->Top(), 1200);
    EXPECT_EQ(frm->Left(), 3000);
    EXPECT_EQ(frm->pos(), QPoint(200, 80));
    EXPECT_EQ(frm->size(), QSize(470, 175));
    EXPECT_EQ(state.com_port, 2);
    EXPECT_EQ(serial.comm_port, 2);
    EXPECT_TRUE(frm->isVisible());
}

// Made once the window has been painted: they are not part of its first look.
TEST_F(StartUpTest, TheIconAndTheDiagnosticBoxOutOfSightFollowTheFirstPaint)
{
    start_with("1200\r\n3000\r\n1\r\n");
    frm->repaint();
    QCoreApplication::processEvents();
    EXPECT_EQ(frm->windowIcon().availableSizes().size(), skin::kIconSizes.size());
    const auto* box = frm->findChild<QPlainTextEdit*>();
    ASSERT_NE(box, nullptr);
    EXPECT_GE(box->y(), frm->height()) << "the diagnostic box lies below the window";
    EXPECT_EQ(box->focusPolicy(), Qt::NoFocus);
}

TEST_F(StartUpTest, APlaceShowingLessThan32By32PixelsComesBackWholeAtTheNearestEdge)
{
    // The main window is 7050 by 2625 twips; 32 pixels are 480. A top or
    // left at or past the far edge is 0 before anything else.
    struct Case {
        int top, left;
        int expected_top, expected_left;
    };
    const Case cases[] = {
        // Partly off the screen with 32 pixels or more showing: kept.
        {kScreenTopLimit - 480, kScreenLeftLimit - 480, kScreenTopLimit - 480, kScreenLeftLimit - 480},
        {480 - 2625, 480 - 7050, 480 - 2625, 480 - 7050},
        // Less: back whole, moved only across the edge it was lost at.
        {kScreenTopLimit - 479, 3000, kScreenTopLimit - 2625, 3000},
        {-2625, 3000, 0, 3000},
        {-50000, 479 - 7050, 0, 0},
        // Past the far edge: at 0, wholly shown, no rescue.
        {1200, 999999, 1200, 0},
        {99999, -300, 0, -300},
        {kScreenTopLimit, kScreenLeftLimit - 1, 0, kScreenLeftLimit - 7050},
        {kScreenTopLimit - 1, kScreenLeftLimit, kScreenTopLimit - 2625, 0},
    };
    for (const Case& c : cases) {
        write_settings(QByteArray::number(c.top) + "\r\n" + QByteArray::number(c.left) + "\r\n1\r\n");
        frm = std::make_unique<FrmMain>(platform, model, SettingsFile(folder.filePath(kSettingsFileName)));
        start();
        EXPECT_EQ(frm->Top(), c.expected_top) << c.top << ',' << c.left;
        EXPECT_EQ(frm->Left(), c.expected_left) << c.top << ',' << c.left;
        close_window();
    }
}

TEST_F(StartUpTest, TheEdgesAreThoseOfTheScreenItRunsOn)
{
    platform.set_screen_pixels({800, 600});
    start_with("8999\r\n11999\r\n1\r\n");
    EXPECT_EQ(frm->Top(), 9000 - 2625);
    EXPECT_EQ(frm->Left(), 12000 - 7050);

    // On a screen smaller than the window its top left corner shows.
    close_window();
    platform.set_screen_pixels({400, 150});
    frm = std::make_unique<FrmMain>(platform, model, SettingsFile(folder.filePath(kSettingsFileName)));
    start_with("-9000\r\n9000\r\n1\r\n");
    EXPECT_EQ(frm->pos(), QPoint(0, 0));
}

TEST_F(StartUpTest, WithoutASettingsFileTheWindowIsCentredOnPortOne)
{
    serial.openable = {1, 2};
    start();
    EXPECT_LE(std::abs(centre().x() - 960), 1);
    EXPECT_LE(std::abs(centre().y() - 540), 1);
    EXPECT_EQ(state.com_port, 1);
    EXPECT_EQ(serial.comm_port, 1);
}

TEST_F(StartUpTest, WhatCouldBeReadIsKeptAndOnlyTheRestDefaults)
{
    start_with("1200\r\n");
    EXPECT_EQ(frm->Top(), 1200);
    EXPECT_LE(std::abs(centre().x() - 960), 1);
    EXPECT_EQ(state.com_port, 1);
}

TEST_F(StartUpTest, AValueThatIsNoNumberDefaultsOnItsOwn)
{
    start_with("top\r\n3000\r\n2\r\n");
    EXPECT_LE(std::abs(centre().y() - 540), 1);
    EXPECT_EQ(frm->Left(), 3000);
    EXPECT_EQ(state.com_port, 2);
}

TEST_F(StartUpTest, ShowsTheWindowAtOnceAndTheUnitsStateAsItsAnswersComeIn)
{
    unit.answer({'O', 'U', 6});
    serial.answer_with(unit);
    frm->Form_Load(false);
    EXPECT_EQ(platform.now(), 0u) << "the start-up waits for nothing";
    EXPECT_TRUE(frm->isVisible());
    EXPECT_EQ(serial.sent_text(), std::vector<std::string>{"AL 0"});
    EXPECT_EQ(picture(19), "com1_on");
    EXPECT_EQ(picture(0), "power_off");
    platform.run_for(150);
    EXPECT_EQ(picture(0), "power_on");
    EXPECT_EQ(picture(12), "720p_on");
    EXPECT_EQ(frm->message(), "");
}

TEST_F(StartUpTest, ShowsTheCaptionAndTheVersion)
{
    start();
    EXPECT_EQ(frm->windowTitle(), "Video Scaler");
    EXPECT_EQ(frm->lab_ver()->text(), "v 1.42H");
}

TEST_F(StartUpTest, WithoutAPortTheStateIsWhatTheUnitHasBeforeItReports)
{
    serial.openable = {};
    start();

    EXPECT_FALSE(state.port_ok);
    EXPECT_FALSE(state.tx_busy);
    EXPECT_EQ(frm->frm_adj(), nullptr);
    EXPECT_EQ(frm->frm_video(), nullptr);
    for (const int16_t on : {state.adj_nr, state.adj_td, state.adj_di, state.adj_as, state.adj_os, state.adj_ir,
                             state.adj_fp})
        EXPECT_EQ(on, 1);
    for (const int16_t off : {state.power_state, state.input_source, state.output_format, state.bypass_enabled,
                              state.adj_fr, state.adj_bl})
        EXPECT_EQ(off, 0);
    const std::array video{state.video_br, state.video_co, state.video_sa,
                           state.video_sh, state.video_ti, state.video_vo};
    EXPECT_EQ(video, (std::array<int16_t, 6>{31, 58, 31, 10, 31, 31}));
}

// The design pixel of a layout position: the skin was drawn at 15 twips per
// pixel.
QPoint design_pixel(const layout::Rect& rect)
{
    return {int(std::lround(rect.left / 15.0)), int(std::lround(rect.top / 15.0))};
}

TEST_F(StartUpTest, AtTheDesignResolutionTheScaleIsOneAndEveryButtonIsWhereTheSkinHasIt)
{
    start();
    EXPECT_EQ(frm->Width(), 7050);
    EXPECT_EQ(frm->Height(), 2625);
    EXPECT_EQ(frm->group().layout_scale(), 1.0f);
    for (const layout::Element& element : layout::kMainButtons)
        EXPECT_EQ(frm->img_btn(element.index)->pos(), design_pixel(element.rect)) << element.index;
    EXPECT_EQ(frm->lab_ver()->pos(), design_pixel(layout::kMainVersionLabel));
}

class StartUpAt12TwipsTest : public StartUpTest {
protected:
    StartUpAt12TwipsTest()
    {
        platform.set_twips_per_pixel(12);
        frm = std::make_unique<FrmMain>(platform, model, SettingsFile(folder.filePath(kSettingsFileName)));
    }
};

TEST_F(StartUpAt12TwipsTest, TheScaleIsTheFittedWidthOverTheDesignWidthAndMovesThePositionsByIt)
{
    start_with("1200\r\n3000\r\n1\r\n");
    EXPECT_EQ(frm->pos(), QPoint(250, 100));
    // 7050 twips are 587.5 pixels here; the window gets 588 of them.
    EXPECT_EQ(frm->Width(), 588 * 12);
    EXPECT_FLOAT_EQ(frm->group().layout_scale(), 7056.0f / 7050.0f);
    // Each position went through whole pixels twice: placed, then rescaled.
    const double scale = double(frm->group().layout_scale());
    for (const layout::Element& element : layout::kMainButtons) {
        const SkinButton* button = frm->img_btn(element.index);
        EXPECT_NEAR(button->x(), element.rect.left * scale / 12, 1.0) << element.index;
        EXPECT_NEAR(button->y(), element.rect.top * scale / 12, 1.0) << element.index;
        // The pictures keep their pixel size whatever the resolution.
        EXPECT_EQ(button->size(), skin_picture(button->picture_name()).size()) << element.index;
    }
}

TEST_F(StartUpTest, ShutDownClosesThePortAndSavesThePlaceAndThePort)
{
    start_with("1200\r\n3000\r\n1\r\n");
    ASSERT_TRUE(serial.port_open());
    frm->set_Top(-450);
    frm->set_Left(20010);
    close_window();
    EXPECT_FALSE(serial.port_open());
    EXPECT_EQ(settings_text(), "-450\r\n20010\r\n1\r\n");
    EXPECT_TRUE(frm->is_unloaded());
}

TEST_F(StartUpTest, ShutDownSavesTheLastChosenPortEvenIfItCouldNotBeOpened)
{
    write_settings("1200\r\n3000\r\n1\r\n");
    start();
    press(20);
    ASSERT_FALSE(state.port_ok);
    close_window();
    EXPECT_EQ(settings_text(), "1200\r\n3000\r\n2\r\n");
}

TEST_F(StartUpTest, ShutDownRunsOnceHoweverOftenTheWindowIsClosed)
{
    int unloaded = 0;
    QObject::connect(frm.get(), &FrmMain::unloaded, [&unloaded] { ++unloaded; });
    start_with("1200\r\n3000\r\n1\r\n");
    close_window();
    ASSERT_EQ(settings_text(), "1200\r\n3000\r\n1\r\n");

    ASSERT_TRUE(QFile::remove(folder.filePath(kSettingsFileName)));
    frm->set_Top(15);
    close_window();
    frm->Form_Unload();
    EXPECT_FALSE(QFile::exists(folder.filePath(kSettingsFileName)));
    EXPECT_EQ(serial.open_count, 1);
    EXPECT_GE(unloaded, 1);
}

TEST_F(StartUpTest, ShutDownClosesTheCompanionsAfterSavingOnlyTheMainWindowsPlace)
{
    start_with("1200\r\n3000\r\n1\r\n");
    power_on_with_companions();
    ASSERT_TRUE(frm->frm_adj() && frm->frm_adj()->isVisible());
    ASSERT_TRUE(frm->frm_video() && frm->frm_video()->isVisible());
    close_window();
    EXPECT_EQ(settings_text(), "1200\r\n3000\r\n1\r\n");
    EXPECT_EQ(frm->frm_adj(), nullptr);
    EXPECT_EQ(frm->frm_video(), nullptr);
    EXPECT_TRUE(!frm->frm_adj() || !frm->frm_adj()->isVisible());
    EXPECT_TRUE(!frm->frm_video() || !frm->frm_video()->isVisible());
}

TEST_F(StartUpTest, ASettingsFileThatCannotBeWrittenDoesNotKeepThePanelFromEnding)
{
    int unloaded = 0;
    QObject::connect(frm.get(), &FrmMain::unloaded, [&unloaded] { ++unloaded; });
    start_with("1200\r\n3000\r\n1\r\n");
    // The folder is replaced by a plain file: nothing can be written there.
    const QString path = folder.path();
    ASSERT_TRUE(folder.remove());
    QFile blocker(path);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    close_window();
    EXPECT_EQ(unloaded, 1);
    EXPECT_FALSE(serial.port_open());
    EXPECT_FALSE(frm->isVisible());
    QFile::remove(path);
}

TEST_F(StartUpTest, ASecondCopyTouchesNothingAndEndsAtOnce)
{
    int unloaded = 0;
    QObject::connect(frm.get(), &FrmMain::unloaded, [&unloaded] { ++unloaded; });
    write_settings("1200\r\n3000\r\n1");
    frm->Form_Load(true);
    EXPECT_TRUE(frm->second_instance);
    EXPECT_TRUE(frm->is_unloaded());
    EXPECT_EQ(unloaded, 1);
    EXPECT_FALSE(frm->isVisible());
    EXPECT_EQ(serial.open_count, 0);
    close_window();
    EXPECT_EQ(settings_text(), "1200\r\n3000\r\n1");
    EXPECT_EQ(serial.open_count, 0);
}

// Sets an environment variable, or unsets it for a null value, for the
// life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value) : name_(name), old_(qgetenv(name))
    {
        value.isNull() ? qunsetenv(name) : qputenv(name, value);
    }
    ~ScopedEnv() { old_.isNull() ? qunsetenv(name_) : qputenv(name_, old_); }

private:
    const char* name_;
    QByteArray old_;
};

class SingleInstanceTest : public ::testing::Test {
protected:
    QTemporaryDir program_dir;
    QTemporaryDir runtime_dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", runtime_dir.path().toLocal8Bit()};
};

TEST_F(SingleInstanceTest, OneCopyPerProgramFolderWhateverPathLeadsThere)
{
    SingleInstance first(program_dir.path());
    ASSERT_TRUE(first.acquire());
    // The program's folder may be read-only; the lock is kept in the user's
    // runtime folder.
    EXPECT_EQ(QFileInfo(first.lock_path()).absolutePath(), runtime_dir.path());

    EXPECT_FALSE(SingleInstance(program_dir.path()).acquire());
    EXPECT_FALSE(SingleInstance(program_dir.path() + "/.").acquire());
    const QString link = program_dir.path() + "-link";
    ASSERT_TRUE(QFile::link(program_dir.path(), link));
    EXPECT_FALSE(SingleInstance(link).acquire());
    QFile::remove(link);

    QTemporaryDir other_dir;
    EXPECT_TRUE(SingleInstance(other_dir.path()).acquire());
}

TEST_F(SingleInstanceTest, AnotherUsersCopyNeverStandsInTheWay)
{
    SingleInstance other_users(program_dir.path());
    ASSERT_TRUE(other_users.acquire());
    QTemporaryDir own_runtime_dir;
    ScopedEnv own{"XDG_RUNTIME_DIR", own_runtime_dir.path().toLocal8Bit()};
    EXPECT_TRUE(SingleInstance(program_dir.path()).acquire());

    // Without a runtime folder of the user's, Qt makes a private one.
    QTemporaryDir temp_dir;
    ScopedEnv temp{"TMPDIR", temp_dir.path().toLocal8Bit()};
    ScopedEnv unset{"XDG_RUNTIME_DIR", QByteArray()};
    SingleInstance first(program_dir.path());
    ASSERT_TRUE(first.acquire());
    EXPECT_TRUE(first.lock_path().startsWith(temp_dir.path() + '/')) << first.lock_path().toStdString();
    EXPECT_FALSE(SingleInstance(program_dir.path()).acquire());
}

TEST_F(SingleInstanceTest, TheLockIsGivenBackAtExit)
{
    std::optional<SingleInstance> first(std::in_place, program_dir.path());
    ASSERT_TRUE(first->acquire());
    first.reset();
    EXPECT_TRUE(SingleInstance(program_dir.path()).acquire());
}

TEST_F(SingleInstanceTest, ALockLeftByACopyThatDiedIsTakenOver)
{
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // Ends without giving the lock back, as a crash does.
        SingleInstance crashed(program_dir.path());
        _exit(crashed.acquire() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    SingleInstance next(program_dir.path());
    ASSERT_TRUE(QFile::exists(next.lock_path()));
    EXPECT_TRUE(next.acquire());
}

}  // namespace
}  // namespace plenvo::testing
