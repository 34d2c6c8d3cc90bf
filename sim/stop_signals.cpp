#include "sim/stop_signals.h"

#include <fcntl.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>

namespace plenvo::sim {

namespace {

constexpr std::array kStopSignals{SIGINT, SIGTERM};

// The handler's end of the socket pair; -1 while no StopSignals exists.
volatile std::sig_atomic_t handler_fd = -1;

extern "C" void note_stop_signal(int)
{
    const int saved_errno = errno;
    const char signalled = 1;
    // A full socket already holds a stop request; losing this one is fine.
    [[maybe_unused]] const ssize_t ignored = ::write(handler_fd, &signalled, 1);
    errno = saved_errno;
}

bool set_handler(void (*handler)(int))
{
    struct sigaction action{};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (const int number : kStopSignals) {
        if (::sigaction(number, &action, nullptr) != 0)
            return false;
    }
    return true;
}

}  // namespace

std::unique_ptr<StopSignals> StopSignals::install(std::function<void()> on_stop, std::string& error)
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, ends) != 0) {
        error = std::string("socketpair: ") + std::strerror(errno);
        return nullptr;
    }
    std::unique_ptr<StopSignals> stop(
        new StopSignals(UniqueFd(ends[0]), UniqueFd(ends[1]), std::move(on_stop)));
    handler_fd = stop->handler_end_.get();
    if (!set_handler(note_stop_signal)) {
        error = std::string("sigaction: ") + std::strerror(errno);
        return nullptr;
    }
    return stop;
}

StopSignals::StopSignals(UniqueFd handler_end, UniqueFd loop_end, std::function<void()> on_stop)
    : handler_end_(std::move(handler_end)),
      loop_end_(std::move(loop_end)),
      arrived_(loop_end_.get(), QSocketNotifier::Read),
      on_stop_(std::move(on_stop))
{
    QObject::connect(&arrived_, &QSocketNotifier::activated, [this] {
        char signalled;
        while (::read(loop_end_.get(), &signalled, 1) > 0) {
        }
        on_stop_();
    });
}

StopSignals::~StopSignals()
{
    set_handler(SIG_DFL);
    handler_fd = -1;
}

}  // namespace plenvo::sim
