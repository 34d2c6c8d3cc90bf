#include "support/panel_fixture.h"

#include <QCoreApplication>
#include <QFile>

namespace plenvo::testing {

PanelTest::PanelTest()
{
    state = DeviceState{};
    shell = ShellState{};
    frm = std::make_unique<FrmMain>(platform, serial, SettingsFile(folder.filePath(kSettingsFileName)));
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

void PanelTest::report(char first, char second, uint8_t value, uint64_t settle_ms)
{
    serial.receive(protocol::Frame{uint8_t(first), uint8_t(second), value});
    platform.run_for(settle_ms);
}

void PanelTest::power_on_with_companions()
{
    if (state.power_state != 1)
        report('P', 'W', 1);
    if (!state.adj_open)
        press(15);
    if (!state.video_open)
        press(16);
}

}  // namespace plenvo::testing
