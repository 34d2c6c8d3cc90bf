// plenvo-ctl as scripts run it: a whole process each time, against
// plenvo-sim on a pseudo-terminal.
//
// BM_CtlStatus: `plenvo-ctl --port DEVICE status` on a line of its own, from
// the start of the process to its end. Goal: at most 150 ms (the state
// request and its 19 reports take about 65 ms on the line).
//
// BM_CtlSetThroughPanel: `plenvo-ctl set bright N` while the panel runs and
// owns the line, the value changing each time. line_free:0: one after the
// other, as a script does; each waits for the 0.2 s step of the one before
// to end, the protocol's own floor. Goal: at most 0.3 s. line_free:1: each
// once the line is free again, so that the figure is the unit's answer and
// the work around it. Goal: within 50 ms of the unit's answer, which the
// counter answer_ms gives as the panel's trace shows it (from the frame
// going out to the unit's report of it being applied).

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_clock.h"
#include "child_process.h"

namespace plenvo::bench {

namespace {

constexpr int kStartsWithinMs = 20000;
constexpr std::string_view kSimStarted = "plenvo-sim: unit on ";

// plenvo-sim on a pseudo-terminal reached through `link`.
class SimulatedUnit {
public:
    explicit SimulatedUnit(const QTemporaryDir& folder)
        : link_(folder.filePath(QStringLiteral("unit")).toStdString()),
          sim_({PLENVO_SIM_PROGRAM, "--link", link_}, true)
    {
        started_ = sim_.read_until(kSimStarted, kStartsWithinMs) && sim_.read_until("\n", kStartsWithinMs);
    }

    bool started() const { return started_; }
    const std::string& link() const { return link_; }

private:
    std::string link_;
    Child sim_;
    bool started_ = false;
};

// Runs a program to its end; its output, or nothing when it did not end in
// time.
std::optional<std::string> run_to_end(const std::vector<std::string>& argv, double& seconds)
{
    const Clock::time_point start = Clock::now();
    Child child(argv);
    if (!child.read_until({}, kEndsWithinMs))
        return std::nullopt;
    seconds = seconds_since(start);
    return child.output();
}

void BM_CtlStatus(benchmark::State& st)
{
    QTemporaryDir folder;
    const SimulatedUnit unit(folder);
    if (!unit.started()) {
        st.SkipWithError("plenvo-sim did not start");
        return;
    }
    for (auto _ : st) {
        double seconds = 0;
        const std::optional<std::string> output =
            run_to_end({PLENVO_CTL_PROGRAM, "--port", unit.link(), "status"}, seconds);
        if (!output || output->find("volume ") == std::string::npos) {
            st.SkipWithError(("plenvo-ctl status failed: " + output.value_or("no end")).c_str());
            return;
        }
        st.SetIterationTime(seconds);
    }
}

// The mean time, in ms, from each "tx BR N" of the panel's trace to the
// "rx BR N" that follows it.
double mean_answer_ms(const std::string& trace)
{
    std::istringstream lines(trace);
    std::string line;
    std::map<std::string, long> sent_at;
    double total = 0;
    int answers = 0;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        long ms = 0;
        std::string direction;
        std::string letters;
        std::string value;
        if (!(words >> ms >> direction >> letters >> value) || letters != "BR")
            continue;
        if (direction == "tx") {
            sent_at.emplace(value, ms);
        } else if (const auto sent = sent_at.find(value); direction == "rx" && sent != sent_at.end()) {
            total += double(ms - sent->second);
            ++answers;
            sent_at.erase(sent);
        }
    }
    return answers ? total / answers : 0;
}

void BM_CtlSetThroughPanel(benchmark::State& st)
{
    const bool line_free = st.range(0) != 0;
    // The panel and plenvo-ctl side by side in a folder of their own, as
    // installed: the control socket is named for the folder.
    QTemporaryDir folder;
    const QString panel = folder.filePath(QStringLiteral("plenvo"));
    const std::string ctl = folder.filePath(QStringLiteral("plenvo-ctl")).toStdString();
    if (!QFile::copy(QStringLiteral(PLENVO_PANEL_PROGRAM), panel) ||
        !QFile::copy(QStringLiteral(PLENVO_CTL_PROGRAM), QString::fromStdString(ctl))) {
        st.SkipWithError("the programs could not be copied to a folder of their own");
        return;
    }
    const SimulatedUnit unit(folder);
    Child running({panel.toStdString(), "--trace", "--com1", unit.link()});
    double seconds = 0;
    // The first answer comes once the panel's start-up has the unit's state.
    if (!unit.started() || !running.read_until(" rx VO ", kStartsWithinMs) ||
        run_to_end({ctl, "status"}, seconds).value_or("").find("volume ") == std::string::npos) {
        st.SkipWithError("the panel did not start serving");
        return;
    }
    int value = 20;
    for (auto _ : st) {
        // Not counted: the time is set by hand below.
        if (line_free)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const std::optional<std::string> output = run_to_end({ctl, "set", "bright", std::to_string(value)}, seconds);
        if (!output || !output->empty()) {
            st.SkipWithError(("plenvo-ctl set failed: " + output.value_or("no end")).c_str());
            return;
        }
        st.SetIterationTime(seconds);
        value = value == 20 ? 21 : 20;
    }
    // Whatever the panel has traced by now.
    running.read_until("\n(never printed)", 300);
    st.counters["answer_ms"] = mean_answer_ms(running.output());
}

}  // namespace

BENCHMARK(BM_CtlStatus)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CtlSetThroughPanel)
    ->ArgName("line_free")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond);

}  // namespace plenvo::bench
