// Runs a piece of a test in a forked child under conditions the test process must not take on
// itself: a file-size limit (a full disk) or an unprivileged user (tests often run as root, and
// root ignores permission bits). The child hands back a text; the parent asserts on it.
#pragma once

#include <functional>
#include <optional>
#include <string>

#ifndef _WIN32
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#endif

namespace retracer::testing_child {

enum class ChildCondition {
    kFileSizeLimit,  // writes beyond kFileSizeLimitBytes fail with EFBIG, as on a full disk
    kUnprivileged,   // permission bits apply (root drops to the user "nobody")
};
inline constexpr unsigned long kFileSizeLimitBytes = 64;

// The text `body` returned in the child, or nothing when the condition cannot be set up here
// (the caller skips). A child that dies gives "child died".
inline std::optional<std::string> RunInChild(ChildCondition condition,
                                             const std::function<std::string()>& body) {
#ifdef _WIN32
    (void)condition;
    (void)body;
    return std::nullopt;
#else
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0) return std::nullopt;
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::string reply;
        bool ready = true;
        if (condition == ChildCondition::kFileSizeLimit) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(kFileSizeLimitBytes),
                               static_cast<rlim_t>(kFileSizeLimitBytes)};
            ready = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        } else if (::geteuid() == 0) {
            constexpr uid_t kNobody = 65534;
            ready = ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 &&
                    ::setuid(kNobody) == 0 && ::geteuid() == kNobody;
        }
        reply = ready ? "R" + body() : "S";
        std::size_t done = 0;
        while (done < reply.size()) {
            const ssize_t n = ::write(pipeEnds[1], reply.data() + done, reply.size() - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    std::string reply;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        reply.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || reply.empty()) return "child died";
    if (reply == "S") return std::nullopt;
    return reply.substr(1);
#endif
}

}  // namespace retracer::testing_child
