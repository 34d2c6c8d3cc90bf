// Process start to main window shown, for the panel and for a bare
// borderless window of its size, both on the offscreen platform, with the
// resident memory of each at that moment. Goals: the panel takes at most
// 1.5 times the bare window's time and 1.3 times its memory. A bare window
// with one label is measured too: it shows what of the difference is the
// font system's start-up, which no window with text avoids.
//
// "Shown" is what each program says on its own, once its window has been
// painted: the bare window prints a line after show() and the events that
// follow; the panel, given --trace, traces its first paint. The panel's
// state request, which it sends right after show() to the port that opened
// (a pseudo-terminal here), is timed as well: up to this release that was
// the point measured.
//
// BM_StartUpSilentNetwork starts the panel with both ports on network
// devices that never answer (loopback listeners whose queue of connections
// is full, so that a connection attempt hears nothing); the goal is the
// window within 0.5 s, not after the connections' time-outs. Its state
// request then waits for the connection, which the trace says as "held".

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench_clock.h"
#include "child_process.h"
#include "sim/unique_fd.h"

namespace plenvo::bench {

namespace {


constexpr int kShownWithinMs = 20000;
constexpr std::string_view kBareShown = "shown\n";
constexpr std::string_view kPanelShown = " painted \n";
constexpr std::string_view kPanelAsked = " tx AL 0\n";
constexpr std::string_view kPanelShownConnecting = " held AL 0\n";

long rss_kib(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:"))
            return std::stol(line.substr(6));
    return 0;
}

bool close_on_exec(int fd)
{
    return ::fcntl(fd, F_SETFD, FD_CLOEXEC) == 0;
}

// A pseudo-terminal for the panel's port, so that it opens and the panel
// sends its state request.
struct Pty {
    UniqueFd master;
    UniqueFd slave;
    std::string device;

    static std::optional<Pty> open()
    {
        int master = -1;
        int slave = -1;
        std::array<char, 128> name{};
        if (::openpty(&master, &slave, name.data(), nullptr, nullptr) != 0)
            return std::nullopt;
        Pty pty{UniqueFd(master), UniqueFd(slave), name.data()};
        if (!close_on_exec(master) || !close_on_exec(slave))
            return std::nullopt;
        return pty;
    }
};

// A loopback listener that never takes a connection: its queue holds one,
// made here, so that a further attempt gets no answer at all.
struct SilentListener {
    UniqueFd listener;
    UniqueFd queued;
    std::string device;

    static std::optional<SilentListener> open()
    {
        SilentListener silent{UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)),
                              UniqueFd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)), {}};
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        auto* any = reinterpret_cast<sockaddr*>(&address);
        if (silent.listener.get() < 0 || silent.queued.get() < 0 || ::bind(silent.listener.get(), any, size) != 0 ||
            ::listen(silent.listener.get(), 0) != 0 || ::getsockname(silent.listener.get(), any, &size) != 0 ||
            ::connect(silent.queued.get(), any, size) != 0)
            return std::nullopt;
        silent.device = "socket://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
        return silent;
    }
};

struct Shown {
    double seconds = 0;
    long rss_kib = 0;
    double earlier_seconds = 0;  // when `earlier_line` came
};

std::optional<Shown> start_until_shown(const std::vector<std::string>& argv, std::string_view shown_line,
                                       std::string_view earlier_line = {})
{
    const Clock::time_point start = Clock::now();
    Child child(argv);
    Shown shown;
    if (!earlier_line.empty()) {
        if (!child.read_until(earlier_line, kShownWithinMs))
            return std::nullopt;
        shown.earlier_seconds = seconds_since(start);
    }
    if (!child.read_until(shown_line, kShownWithinMs))
        return std::nullopt;
    shown.seconds = seconds_since(start);
    shown.rss_kib = rss_kib(child.pid());
    return shown;
}

void BM_StartUp(benchmark::State& st)
{
    // A folder of its own for the panel's settings file and single-instance lock.
    QTemporaryDir folder;
    const QString panel = folder.filePath(QStringLiteral("plenvo"));
    if (!QFile::copy(QStringLiteral(PLENVO_PANEL_PROGRAM), panel)) {
        st.SkipWithError("the panel could not be copied to a folder of its own");
        return;
    }

    const QString unit = folder.filePath(QStringLiteral("unit"));
    Shown bare_total;
    Shown labelled_total;
    Shown panel_total;
    for (auto _ : st) {
        // Each start's pseudo-terminal behind one name, as a user's adapter
        // is: the devices file holds it after the first start.
        const std::optional<Pty> pty = Pty::open();
        QFile::remove(unit);
        if (!pty || !QFile::link(QString::fromStdString(pty->device), unit)) {
            st.SkipWithError("no pseudo-terminal");
            return;
        }
        const std::optional<Shown> bare = start_until_shown({PLENVO_BARE_WINDOW_PROGRAM}, kBareShown);
        const std::optional<Shown> labelled =
            start_until_shown({PLENVO_BARE_WINDOW_PROGRAM, "--label"}, kBareShown);
        const std::optional<Shown> shown =
            start_until_shown({panel.toStdString(), "--trace", "--com1", unit.toStdString()}, kPanelShown, kPanelAsked);
        if (!bare || !labelled || !shown) {
            st.SkipWithError("a program did not show its window in time");
            return;
        }
        st.SetIterationTime(shown->seconds);
        bare_total.seconds += bare->seconds;
        bare_total.rss_kib += bare->rss_kib;
        labelled_total.seconds += labelled->seconds;
        panel_total.seconds += shown->seconds;
        panel_total.earlier_seconds += shown->earlier_seconds;
        panel_total.rss_kib += shown->rss_kib;
    }

    const double runs = double(st.iterations());
    st.counters["bare_ms"] = 1000 * bare_total.seconds / runs;
    st.counters["panel_ms"] = 1000 * panel_total.seconds / runs;
    st.counters["panel_asked_ms"] = 1000 * panel_total.earlier_seconds / runs;
    st.counters["time_ratio"] = panel_total.seconds / bare_total.seconds;
    st.counters["labelled_ms"] = 1000 * labelled_total.seconds / runs;
    st.counters["time_ratio_labelled"] = panel_total.seconds / labelled_total.seconds;
    st.counters["bare_rss_kib"] = double(bare_total.rss_kib) / runs;
    st.counters["panel_rss_kib"] = double(panel_total.rss_kib) / runs;
    st.counters["rss_ratio"] = double(panel_total.rss_kib) / double(bare_total.rss_kib);
}

void BM_StartUpSilentNetwork(benchmark::State& st)
{
    QTemporaryDir folder;
    const QString panel = folder.filePath(QStringLiteral("plenvo"));
    if (!QFile::copy(QStringLiteral(PLENVO_PANEL_PROGRAM), panel)) {
        st.SkipWithError("the panel could not be copied to a folder of its own");
        return;
    }
    const std::optional<SilentListener> com1 = SilentListener::open();
    const std::optional<SilentListener> com2 = SilentListener::open();
    if (!com1 || !com2) {
        st.SkipWithError("no silent loopback listener");
        return;
    }

    double total = 0;
    double slowest = 0;
    for (auto _ : st) {
        const std::optional<Shown> shown = start_until_shown(
            {panel.toStdString(), "--trace", "--com1", com1->device, "--com2", com2->device}, kPanelShownConnecting);
        if (!shown) {
            st.SkipWithError("the panel did not show its window in time");
            return;
        }
        st.SetIterationTime(shown->seconds);
        total += shown->seconds;
        slowest = std::max(slowest, shown->seconds);
    }
    st.counters["panel_ms"] = 1000 * total / double(st.iterations());
    st.counters["slowest_ms"] = 1000 * slowest;
    st.counters["goal_ms"] = 500;
}

}  // namespace

BENCHMARK(BM_StartUp)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StartUpSilentNetwork)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace plenvo::bench
