// The profile functions on POSIX: the file is read whole (bounded by
// kProfileMaxFileBytes), edited as text and written back through a temporary
// file in the same directory that is synced and renamed over the old one, so
// the file is at every moment either the old one or the new one.
#include "platform/profile.h"
#include "platform/profile_text.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<ProfileWriteHook> writeHook{nullptr};

bool HookAllows(ProfileWriteStep step)
{
    ProfileWriteHook hook = writeHook.load();
    return hook == nullptr || hook(step);
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Close(); }
    int Get() const { return fd_; }
    bool Close()
    {
        if (fd_ < 0)
            return true;
        int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0;
    }

private:
    int fd_;
};

enum class ReadResult { Ok, Missing, Refused };

// Reads a regular file whole. O_NONBLOCK keeps a FIFO or a device at that
// path from blocking the open; anything but a regular file is refused.
ReadResult ReadWhole(const std::string& path, std::string& text, struct stat* info)
{
    text.clear();
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (fd.Get() < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Refused;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > kProfileMaxFileBytes)
        return ReadResult::Refused;
    if (info)
        *info = st;
    text.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ReadResult::Refused;
        }
        if (n == 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<long long>(text.size()) > kProfileMaxFileBytes)
            return ReadResult::Refused; // grew while being read
    }
    return ReadResult::Ok;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// Where the new file has to go: the path itself, or the file a symlink at
// the path points to (the link stays a link). A dangling link is refused
// rather than creating a file wherever it points.
std::optional<std::string> WriteTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return errno == ENOENT ? std::optional<std::string>(path) : std::nullopt;
    if (!S_ISLNK(st.st_mode))
        return path;
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr)
        return std::nullopt;
    std::string target(resolved);
    std::free(resolved);
    return target;
}

std::string DirectoryOf(const std::string& path)
{
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

void SyncDirectory(const std::string& dir)
{
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.Get() >= 0)
        ::fsync(fd.Get()); // best effort: the rename itself has already happened
}

bool ReplaceFile(const std::string& target, const std::string& text, const struct stat* old)
{
    const std::string dir = DirectoryOf(target);
    const std::string base = target.substr(target.rfind('/') + 1);
    std::string temp = (dir == "/" ? std::string() : dir) + "/." + base + ".XXXXXX";
    Fd fd(::mkstemp(temp.data()));
    if (fd.Get() < 0)
        return false;

    bool ok = true;
    if (old) {
        // Keep the old file's mode, and its owner where we may (root rewriting a user's file).
        ok = ::fchmod(fd.Get(), old->st_mode & 07777) == 0;
        if (ok && (old->st_uid != ::geteuid() || old->st_gid != ::getegid()))
            (void)!::fchown(fd.Get(), old->st_uid, old->st_gid);
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        ok = ::fchmod(fd.Get(), 0666 & ~mask) == 0;
    }
    const std::size_t half = text.size() / 2;
    ok = ok && WriteAll(fd.Get(), text.data(), half) && HookAllows(ProfileWriteStep::Writing) &&
         WriteAll(fd.Get(), text.data() + half, text.size() - half) && ::fsync(fd.Get()) == 0;
    ok = fd.Close() && ok;
    ok = ok && HookAllows(ProfileWriteStep::BeforeRename) && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectory(dir);
    return true;
}

} // namespace

void SetProfileWriteHook(ProfileWriteHook hook) { writeHook.store(hook); }

std::string ProfileReadString(const std::string& section, const std::string& key,
                              const std::string& def, const std::string& path)
{
    std::string text;
    std::optional<std::string> value;
    if (ReadWhole(path, text, nullptr) == ReadResult::Ok)
        value = ProfileFindValue(text, section, key);
    std::string result = value ? std::move(*value) : def;
    if (result.size() > kProfileMaxValue)
        result.resize(kProfileMaxValue);
    return result;
}

bool ProfileWriteString(const std::string& section, const std::string& key,
                        const std::string& value, const std::string& path)
{
    if (path.empty() || !ProfileEntryWritable(section, key, value))
        return false;
    std::optional<std::string> target = WriteTarget(path);
    if (!target)
        return false;

    std::string text;
    struct stat old {};
    switch (ReadWhole(*target, text, &old)) {
    case ReadResult::Refused:
        return false;
    case ReadResult::Missing:
        return ReplaceFile(*target, ProfileSetValue("", section, key, value), nullptr);
    case ReadResult::Ok:
        break;
    }
    // The rename only needs the directory writable, so a read-only file is refused here: when
    // we may not write it, and also when no one may (no write bit at all), which even the
    // superuser is held to, as the read-only attribute holds everyone on Windows.
    if ((old.st_mode & 0222) == 0 || ::access(target->c_str(), W_OK) != 0)
        return false;
    return ReplaceFile(*target, ProfileSetValue(text, section, key, value), &old);
}

void ProfileFlush(const std::string&)
{
    // Every write is synced and renamed into place before it returns: nothing is cached.
}
