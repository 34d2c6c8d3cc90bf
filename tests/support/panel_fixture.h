#pragma once

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

#include "windows/frm_adj.h"
#include "windows/frm_main.h"
#include "windows/frm_video.h"
#include "sim/unit.h"
#include "support/fake_serial.h"
#include "support/sim_platform.h"
#include "unit/unit_model.h"

namespace plenvo::testing {

// The windows on a unit model on the simulated clock, over a scripted line
// with a simulated unit behind port 1, and the settings file in a fresh
// folder. A press or a report is followed by running the clock until the
// panel is done with it.
class PanelTest : public ::testing::Test {
protected:
    PanelTest();
    ~PanelTest() override;

    // Runs start-up and the second the unit takes to report its state; with
    // `answering` the unit replies to every command.
    void start(bool answering = true);
    // Writes the settings file start-up will read.
    void write_settings(const QByteArray& text);
    QByteArray settings_text() const;

    // Presses a main panel or adjustment element the way the user does,
    // then runs the clock until the command it started is done.
    void press(int index);
    void press_adj(int index);
    // The same press without running the clock, for presses scheduled on it.
    void click(int index) { frm->img_btn(index)->on_press(index); }
    void click_adj(int index) { frm->frm_adj()->img_btn(index)->on_press(index); }
    // Runs the clock until the line is idle and no press waits (at most
    // `limit_ms`), and at least one millisecond.
    void settle(uint64_t limit_ms = 3000);
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
    UnitModel model{platform, serial};
    // What the windows show: the model's state, read-only.
    const DeviceState& state = model.state();
    std::unique_ptr<FrmMain> frm;
};

}  // namespace plenvo::testing
