#pragma once

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "windows/frm_adj.h"
#include "windows/frm_main.h"
#include "sim/unit.h"
#include "support/fake_serial.h"
#include "support/sim_platform.h"
#include "windows/frm_video.h"

namespace plenvo::testing {

// A main window on the simulated clock, over a scripted line with a
// simulated unit behind port 1, and its settings file in a fresh folder.
class PanelTest : public ::testing::Test {
protected:
    PanelTest();
    ~PanelTest() override;

    // Runs start-up; with `answering` the unit replies to every command.
    void start(bool answering = true);
    // Writes the settings file start-up will read.
    void write_settings(const QByteArray& text);
    QByteArray settings_text() const;

    // Presses a main panel element the way the user does.
    void press(int index) { frm->img_btn(index)->on_press(index); }
    void press_adj(int index) { frm->frm_adj()->img_btn(index)->on_press(index); }
    // A report from the unit, then enough time for the poll to apply it.
    void report(char first, char second, uint8_t value, uint64_t settle_ms = 150);
    // Opens ADJ and VIDEO (when closed) with the unit on.
    void power_on_with_companions();
    // Carries out the destruction of windows closed meanwhile.
    static void run_deferred_deletes();
    // Starts counting sent frames from here.
    void forget_sent() { serial.sent.clear(); }

    const QByteArray& picture(int index) const { return frm->img_btn(index)->picture_name(); }
    const QByteArray& adj_picture(int index) const { return frm->frm_adj()->img_btn(index)->picture_name(); }

    QTemporaryDir folder;
    SimPlatform platform;
    FakeSerial serial{platform};
    sim::Unit unit;
    std::unique_ptr<FrmMain> frm;
};

}  // namespace plenvo::testing
