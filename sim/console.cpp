#include "sim/console.h"

#include <unistd.h>

#include <array>
#include <cerrno>

namespace plenvo::sim {

Console::Console(std::function<bool(const std::string&)> on_line, std::function<void()> on_end)
    : on_line_(std::move(on_line)), on_end_(std::move(on_end)), input_(STDIN_FILENO, QSocketNotifier::Read)
{
    QObject::connect(&input_, &QSocketNotifier::activated, [this] { read_input(); });
}

// One read a wake-up: standard input stays blocking, as the shell that
// shares it expects, and the notifier said there is something to read.
void Console::read_input()
{
    std::array<char, 1024> buffer;
    const ssize_t got = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR)
        return;
    if (got <= 0) {
        input_.setEnabled(false);
        on_end_();
        return;
    }
    pending_.append(buffer.data(), size_t(got));
    size_t end;
    while ((end = pending_.find('\n')) != std::string::npos) {
        const std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        if (!on_line_(line)) {
            input_.setEnabled(false);
            return;
        }
    }
}

}  // namespace plenvo::sim
