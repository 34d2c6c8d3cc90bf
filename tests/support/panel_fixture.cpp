#include "support/panel_fixture.h"

#include <QCoreApplication>
#include <QFile>

namespace plenvo::testing {

namespace {

// The start-up gives the unit a second to report its state.
constexpr uint64_t kStartUpMs = 1000;

}  // namespace

PanelTest::PanelTest()
{
    frm = std::make_unique<FrmMain>(platform, model, SettingsFile(folder.filePath(kSettingsFileName)));
}

PanelTest::~PanelTest()
{
    frm.reset();
    run_deferred_deletes();
}

void PanelTest::run_deferred_deletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void PanelTest::start(bool answering)
{
    if (answering)
        serial.answer_with(unit);
    frm->Form_Load(false);
    platform.run_for(kStartUpMs);
}

void PanelTest::write_settings(const QByteArray& text)
{
    QFile file(folder.filePath(kSettingsFileName));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray PanelTest::settings_text() const
{
    QFile file(folder.filePath(kSettingsFileName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void PanelTest::press(int index)
{
    click(index);
    settle();
}

void PanelTest::press_adj(int index)
{
    click_adj(index);
    settle();
}

void PanelTest::settle(uint64_t limit_ms)
{
    const uint64_t until = platform.now() + limit_ms;
    do
        platform.yield();
    while (!(model.idle() && !frm->command_waiting()) && platform.now() < until);
}

void PanelTest::report(char first, char second, uint8_t value, uint64_t settle_ms)
{
    serial.receive(protocol::Frame{uint8_t(first), uint8_t(second), value});
    platform.run_for(settle_ms);
}

void PanelTest::power_on_with_companions()
{
    if (state.power_state != 1)
        report('P', 'W', 1);
    if (!frm->frm_adj())
        press(15);
    if (!frm->frm_video())
        press(16);
}

}  // namespace plenvo::testing
