#pragma once
// Runs a piece of a test as an unprivileged user, for tests whose point is a
// permission: root ignores permissions, and CI runs as root. POSIX only.
#include <functional>
#include <string>

#include <pwd.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace unprivileged {

// The user the body runs as when the test runs as root.
inline const passwd* Nobody() { return ::getpwnam("nobody"); }

// Hands path to the unprivileged user (as root), so that the body may change
// its permissions; a no-op for an ordinary user, who owns it already.
inline bool GiveToNobody(const std::string& path)
{
    if (::geteuid() != 0)
        return true;
    const passwd* nobody = Nobody();
    return nobody && ::chown(path.c_str(), nobody->pw_uid, nobody->pw_gid) == 0;
}

// Runs body in a forked child that, when the test runs as root, first drops
// to the user "nobody". The body returns what it found wrong (empty: all
// well); the result is that text, or why the child could not run it.
// Fork only while the test process has no other threads.
inline std::string Run(const std::function<std::string()>& body)
{
    int out[2];
    if (::pipe(out) != 0)
        return "pipe failed";
    const pid_t pid = ::fork();
    if (pid < 0)
        return "fork failed";
    if (pid == 0) {
        ::close(out[0]);
        std::string report;
        if (::geteuid() == 0) {
            const passwd* nobody = Nobody();
            if (!nobody || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
                ::setuid(nobody->pw_uid) != 0)
                report = "cannot become nobody";
            else if (::setuid(0) == 0)
                report = "still able to become root";
        }
        if (report.empty())
            report = body();
        if (report.empty())
            report = "ok";
        std::size_t at = 0;
        while (at < report.size()) {
            const ssize_t n = ::write(out[1], report.data() + at, report.size() - at);
            if (n <= 0)
                break;
            at += static_cast<std::size_t>(n);
        }
        ::_exit(0);
    }
    ::close(out[1]);
    std::string report;
    char buf[512];
    for (ssize_t n; (n = ::read(out[0], buf, sizeof buf)) > 0;)
        report.append(buf, static_cast<std::size_t>(n));
    ::close(out[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the child ended abnormally: " + report;
    return report == "ok" ? std::string() : report;
}

} // namespace unprivileged
