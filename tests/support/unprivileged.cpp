#include "unprivileged.h"

#if !defined(_WIN32)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

// One record on the pipe: a failure (file, line, message) or the end mark.
enum class Record : std::uint8_t { Failure = 1, End = 2 };

bool WriteAll(int fd, const void* data, std::size_t size)
{
    const auto* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

void SendText(int fd, const std::string& text)
{
    const auto size = static_cast<std::uint32_t>(text.size());
    WriteAll(fd, &size, sizeof size);
    WriteAll(fd, text.data(), text.size());
}

void SendFailure(int fd, const std::string& file, int line, const std::string& message)
{
    const Record kind = Record::Failure;
    const auto at = static_cast<std::int32_t>(line);
    WriteAll(fd, &kind, sizeof kind);
    SendText(fd, file);
    WriteAll(fd, &at, sizeof at);
    SendText(fd, message);
}

// In the child: every failed (or skipped) assertion goes to the parent.
class Forwarder final : public ::testing::EmptyTestEventListener {
public:
    explicit Forwarder(int fd) : fd_(fd) {}
    void OnTestPartResult(const ::testing::TestPartResult& result) override
    {
        if (result.failed())
            SendFailure(fd_, result.file_name() ? result.file_name() : "", result.line_number(), result.message());
        else if (result.skipped())
            SendFailure(fd_, result.file_name() ? result.file_name() : "", result.line_number(),
                        std::string("skipped as the unprivileged user: ") + result.message());
    }

private:
    int fd_;
};

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// In the child: drops to the unprivileged user; an empty text when done.
std::string DropPrivileges(const UnprivilegedUser& user)
{
    if (::geteuid() != 0)
        return {};
    if (::setgroups(0, nullptr) != 0)
        return Errno("setgroups");
    if (::setgid(user.gid) != 0)
        return Errno("setgid");
    if (::setuid(user.uid) != 0)
        return Errno("setuid");
    if (::geteuid() == 0 || ::setuid(0) == 0)
        return "still the superuser after dropping privileges";
    return {};
}

// In the parent: reads exactly size bytes before the deadline.
bool ReadAll(int fd, void* data, std::size_t size, std::chrono::steady_clock::time_point deadline, bool& timedOut)
{
    auto* p = static_cast<char*>(data);
    while (size > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            timedOut = true;
            return false;
        }
        pollfd pfd{fd, POLLIN, 0};
        int r = ::poll(&pfd, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            continue; // the deadline check above ends it
        ssize_t n = ::read(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false; // the child ended
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadText(int fd, std::string& text, std::chrono::steady_clock::time_point deadline, bool& timedOut)
{
    std::uint32_t size = 0;
    if (!ReadAll(fd, &size, sizeof size, deadline, timedOut))
        return false;
    text.assign(size, '\0');
    return ReadAll(fd, text.data(), size, deadline, timedOut);
}

} // namespace

UnprivilegedUser UnprivilegedUserIds()
{
    if (::geteuid() != 0)
        return {::geteuid(), ::getegid()};
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr)
        return {65534, 65534}; // nobody's usual ids
    return {nobody->pw_uid, nobody->pw_gid};
}

bool GiveToUnprivilegedUser(const std::string& path)
{
    if (::geteuid() != 0)
        return true;
    const UnprivilegedUser user = UnprivilegedUserIds();
    if (::lchown(path.c_str(), user.uid, user.gid) != 0)
        return false;
    std::error_code ec;
    if (!std::filesystem::is_directory(std::filesystem::symlink_status(path, ec)))
        return true;
    for (auto it = std::filesystem::recursive_directory_iterator(path, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (::lchown(it->path().c_str(), user.uid, user.gid) != 0)
            return false;
    }
    return !ec;
}

void RunUnprivileged(const std::function<void()>& body, int timeoutMs)
{
    // Looked up before the fork: the name service may take locks another
    // thread holds, which would stay held forever in the child.
    const UnprivilegedUser user = UnprivilegedUserIds();
    int fds[2];
    ASSERT_EQ(::pipe2(fds, O_CLOEXEC), 0) << std::strerror(errno);
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0) << std::strerror(errno);
    if (pid == 0) {
        ::close(fds[0]);
        auto& listeners = ::testing::UnitTest::GetInstance()->listeners();
        delete listeners.Release(listeners.default_result_printer()); // the parent reports
        listeners.Append(new Forwarder(fds[1]));
        if (std::string error = DropPrivileges(user); !error.empty()) {
            SendFailure(fds[1], __FILE__, __LINE__, error);
            ::_exit(1);
        }
        try {
            body();
        } catch (const std::exception& e) {
            ADD_FAILURE() << "exception escaped the unprivileged body: " << e.what();
        } catch (...) {
            ADD_FAILURE() << "unknown exception escaped the unprivileged body";
        }
        const Record end = Record::End;
        WriteAll(fds[1], &end, sizeof end);
        std::fflush(stdout);
        std::fflush(stderr);
        ::_exit(0);
    }

    ::close(fds[1]);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool ended = false;
    bool timedOut = false;
    for (;;) {
        Record kind{};
        if (!ReadAll(fds[0], &kind, sizeof kind, deadline, timedOut))
            break;
        if (kind == Record::End) {
            ended = true;
            break;
        }
        std::string file, message;
        std::int32_t line = 0;
        if (!ReadText(fds[0], file, deadline, timedOut) || !ReadAll(fds[0], &line, sizeof line, deadline, timedOut) ||
            !ReadText(fds[0], message, deadline, timedOut))
            break;
        ADD_FAILURE_AT(file.c_str(), line) << message << "  [as uid " << user.uid << "]";
    }
    ::close(fds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        ADD_FAILURE() << "the unprivileged body did not end within " << timeoutMs << " ms";
    else if (WIFSIGNALED(status))
        ADD_FAILURE() << "the unprivileged body was ended by signal " << WTERMSIG(status);
    else if (!ended)
        ADD_FAILURE() << "the unprivileged child ended before its body did (exit status "
                      << WEXITSTATUS(status) << ")";
}
#endif
