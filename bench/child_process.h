#pragma once

// A program the benchmarks start and watch: its output read with bounded
// waits, its end waited for.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "bench_clock.h"
#include "sim/unique_fd.h"

extern char** environ;

namespace plenvo::bench {

using sim::UniqueFd;

inline constexpr int kEndsWithinMs = 5000;

// A program started with its standard output and error on a pipe to us.
// Asked to end (SIGTERM) and waited for when it goes out of scope.
class Child {
public:
    // With `hold_input` its standard input is a pipe held open here (the
    // simulated unit ends when its input does).
    explicit Child(const std::vector<std::string>& argv, bool hold_input = false)
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return;
        output_ = UniqueFd(ends[0]);
        const UniqueFd write_end(ends[1]);
        UniqueFd read_input;
        if (hold_input) {
            if (::pipe2(ends, O_CLOEXEC) != 0)
                return;
            read_input = UniqueFd(ends[0]);
            input_ = UniqueFd(ends[1]);
        }

        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, write_end.get(), STDERR_FILENO);
        if (hold_input)
            posix_spawn_file_actions_adddup2(&actions, read_input.get(), STDIN_FILENO);
        if (::posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }

    ~Child()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        if (!read_until({}, kEndsWithinMs))
            ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }

    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }

    // Reads the output until it holds `text`; false when the program ended
    // or the time ran out first. Empty `text`: reads to the end.
    bool read_until(std::string_view text, int within_ms)
    {
        if (pid_ <= 0)
            return false;
        const Clock::time_point start = Clock::now();
        std::array<char, 4096> chunk;
        while (text.empty() || received_.find(text) == std::string::npos) {
            const int left_ms = within_ms - int(seconds_since(start) * 1000);
            pollfd ready{output_.get(), POLLIN, 0};
            if (left_ms <= 0 || ::poll(&ready, 1, left_ms) <= 0)
                return false;
            const ssize_t got = ::read(output_.get(), chunk.data(), chunk.size());
            if (got <= 0)
                return text.empty();
            received_.append(chunk.data(), size_t(got));
        }
        return true;
    }

    // Everything it printed so far.
    const std::string& output() const { return received_; }

private:
    pid_t pid_ = -1;
    UniqueFd input_;
    UniqueFd output_;
    std::string received_;
};

}  // namespace plenvo::bench
