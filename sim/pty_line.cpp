#include "sim/pty_line.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace plenvo::sim {

namespace {

std::string failure(const char* what)
{
    return std::string(what) + ": " + std::strerror(errno);
}

bool make_raw_9600(int fd)
{
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    return ::cfsetispeed(&settings, B9600) == 0 && ::cfsetospeed(&settings, B9600) == 0 &&
           ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

UniqueFd open_master(std::string& error)
{
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.valid()) {
        error = failure("posix_openpt");
        return {};
    }
    if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        error = failure("grantpt/unlockpt");
        return {};
    }
    if (::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK) != 0) {
        error = failure("fcntl");
        return {};
    }
    return master;
}

std::string device_of(int master, std::string& error)
{
    std::array<char, PATH_MAX> name{};
    if (::ptsname_r(master, name.data(), name.size()) != 0) {
        error = failure("ptsname");
        return {};
    }
    return name.data();
}

UniqueFd open_device_end(const std::string& device, std::string& error)
{
    UniqueFd end(::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!end.valid()) {
        error = failure(device.c_str());
        return {};
    }
    if (!make_raw_9600(end.get())) {
        error = failure("termios");
        return {};
    }
    return end;
}

UniqueFd watch_closes(const std::string& device, std::string& error)
{
    UniqueFd watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (!watch.valid() ||
        ::inotify_add_watch(watch.get(), device.c_str(), IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        error = failure("inotify");
        return {};
    }
    return watch;
}

// Reads until the descriptor has nothing more; it must be non-blocking.
template <typename Handle>
void drain(int fd, Handle handle)
{
    std::array<uint8_t, 256> buffer;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got > 0)
            handle(std::span<const uint8_t>(buffer.data(), size_t(got)));
        else if (got == 0 || errno != EINTR)
            return;
    }
}

}  // namespace

std::unique_ptr<PtyLine> PtyLine::open(std::string& error)
{
    UniqueFd master = open_master(error);
    if (!master.valid())
        return nullptr;
    std::string device = device_of(master.get(), error);
    if (device.empty())
        return nullptr;
    UniqueFd device_end = open_device_end(device, error);
    if (!device_end.valid())
        return nullptr;
    UniqueFd close_watch = watch_closes(device, error);
    if (!close_watch.valid())
        return nullptr;
    return std::unique_ptr<PtyLine>(new PtyLine(std::move(master), std::move(device_end),
                                                std::move(close_watch), std::move(device)));
}

PtyLine::PtyLine(UniqueFd master, UniqueFd device_end, UniqueFd close_watch, std::string device)
    : master_(std::move(master)),
      device_end_(std::move(device_end)),
      close_watch_(std::move(close_watch)),
      device_(std::move(device)),
      from_panel_(master_.get(), QSocketNotifier::Read),
      device_closed_(close_watch_.get(), QSocketNotifier::Read)
{
    QObject::connect(&from_panel_, &QSocketNotifier::activated, [this] { read_from_panel(); });
    QObject::connect(&device_closed_, &QSocketNotifier::activated, [this] { lift_exclusive_use(); });
}

void PtyLine::write(std::span<const uint8_t> bytes)
{
    if (write_all(bytes))
        return;
    // The device's input queue is full, so no panel has read it for many
    // seconds. Like a line with nobody at the other end, lose what waits,
    // all of it, so that the next panel to open the device starts on a frame
    // boundary and not inside the frame that did not fit.
    ::tcflush(device_end_.get(), TCIFLUSH);
    write_all(bytes);
}

bool PtyLine::write_all(std::span<const uint8_t> bytes) const
{
    while (!bytes.empty()) {
        const ssize_t written = ::write(master_.get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        bytes = bytes.subspan(size_t(written));
    }
    return true;
}

void PtyLine::read_from_panel()
{
    drain(master_.get(), [this](std::span<const uint8_t> bytes) { deliver(bytes); });
}

// A panel that dies with the port open leaves the device marked for its
// exclusive use: the serial library asks for that on open and gives it up
// only on a proper close. Because the unit keeps the device open, the mark
// would outlive the panel and every later open by an ordinary user would
// fail as busy. So whenever somebody closes the device the mark is lifted; a
// panel still holding the port loses only its guard against a second opener.
void PtyLine::lift_exclusive_use()
{
    drain(close_watch_.get(), [](std::span<const uint8_t>) {});
    ::ioctl(device_end_.get(), TIOCNXCL);
}

}  // namespace plenvo::sim
