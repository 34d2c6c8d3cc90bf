// The web page's live socket on the running panel: a press on the page (its
// WebSocket message) until the frame is handed to the port, goal 50 ms; and
// a report of the unit until every one of 50 open pages has it, goal
// 100 ms, counted from the moment the model applied it (the line's own
// time aside). The pages are WebSockets in this process, on loopback.

#include <QTemporaryDir>
#include <QWebSocket>

#include <benchmark/benchmark.h>

#include <memory>
#include <optional>
#include <vector>

#include "devices/access_token.h"
#include "doors/door_keys.h"
#include "doors/web_door.h"
#include "running_panel.h"
#include "sim/unit.h"

namespace plenvo::bench {

namespace {

struct PagesOnPanel {
    explicit PagesOnPanel(int count)
        : keys(AccessToken(folder.filePath(QStringLiteral("token")))), door(panel.model(), keys)
    {
        listening = door.listen(QStringLiteral("127.0.0.1"), 0).isEmpty();
        for (int i = 0; i < count && listening; ++i) {
            auto page = std::make_unique<QWebSocket>(QStringLiteral("http://127.0.0.1:%1").arg(door.port()));
            QObject::connect(page.get(), &QWebSocket::textMessageReceived, page.get(),
                             [this, i](const QString& text) { received(i, text); });
            page->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/live").arg(door.port())));
            pages.push_back(std::move(page));
        }
        heard.assign(pages.size(), 0);
        // Each page's first message is the whole state.
        listening = listening && RunningPanel::run_until([this] { return std::ranges::count(heard, 0) == 0; }, 10.0);
    }

    void received(int page, const QString& text)
    {
        ++heard[size_t(page)];
        if (text.contains(QLatin1String("\"changed\"")) && ++changed_pages == int(pages.size()))
            all_changed = seconds_since(reported);
    }

    RunningPanel panel;
    QTemporaryDir folder;
    DoorKeys keys;
    WebDoor door;
    std::vector<std::unique_ptr<QWebSocket>> pages;
    std::vector<int> heard;
    bool listening = false;
    Clock::time_point reported;
    int changed_pages = 0;
    std::optional<double> all_changed;
};

void BM_WebPressToWire(benchmark::State& st)
{
    PagesOnPanel rig(1);
    if (!rig.panel.ready_for(st) || !rig.listening) {
        st.SkipWithError("the page did not connect");
        return;
    }
    sim::Unit unit;
    Clock::time_point pressed;
    std::optional<double> handed_over;
    rig.panel.serial().on_frame = [&](const protocol::Frame& command) {
        if (!handed_over)
            handed_over = seconds_since(pressed);
        for (const protocol::Frame& reply : unit.answer(command))
            rig.panel.serial().receive(reply);
    };
    bool vga = false;
    int id = 0;
    for (auto _ : st) {
        handed_over.reset();
        vga = !vga;
        pressed = Clock::now();
        rig.pages[0]->sendTextMessage(
            QStringLiteral(R"({"id": %1, "set": {"output": "%2"}})").arg(++id).arg(vga ? "vga" : "720p"));
        RunningPanel::run_until([&] { return handed_over.has_value(); }, 2.0);
        if (!handed_over) {
            st.SkipWithError("the press sent no frame");
            return;
        }
        st.SetIterationTime(*handed_over);
        if (!rig.panel.run_until_idle()) {
            st.SkipWithError("the command did not end");
            return;
        }
    }
}

void BM_WebReportToFiftyPages(benchmark::State& st)
{
    PagesOnPanel rig(50);
    if (!rig.panel.ready_for(st) || !rig.listening) {
        st.SkipWithError("the pages did not connect");
        return;
    }
    QObject::connect(&rig.panel.model(), &UnitModel::frame_applied, &rig.door,
                     [&rig] { rig.reported = Clock::now(); });
    uint8_t value = 10;
    for (auto _ : st) {
        rig.changed_pages = 0;
        rig.all_changed.reset();
        value = value == 10 ? 20 : 10;
        rig.panel.serial().receive(protocol::Frame{'B', 'R', value});
        RunningPanel::run_until([&rig] { return rig.all_changed.has_value(); }, 3.0);
        if (!rig.all_changed) {
            st.SkipWithError("not every page heard the report");
            return;
        }
        st.SetIterationTime(*rig.all_changed);
    }
}

}  // namespace

BENCHMARK(BM_WebPressToWire)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WebReportToFiftyPages)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

}  // namespace plenvo::bench
