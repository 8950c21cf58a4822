// slm7650-sim: a stand-in for the SLM-7650 modem on a pseudo-terminal.
#include "band.h"
#include "link.h"
#include "modem.h"
#include "options.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int g_stopWrite = -1;

void OnSignal(int)
{
    char c = 's';
    [[maybe_unused]] ssize_t n = write(g_stopWrite, &c, 1);
}

bool PlaceLink(const std::string& link, const std::string& target, std::string& error)
{
    struct stat st {};
    if (lstat(link.c_str(), &st) == 0) {
        if (!S_ISLNK(st.st_mode)) {
            error = link + " exists and is not a symbolic link; not replacing it";
            return false;
        }
        unlink(link.c_str());
    }
    if (symlink(target.c_str(), link.c_str()) != 0) {
        error = "cannot create the link " + link + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void RemoveLink(const std::string& link, const std::string& target)
{
    char buf[4096];
    ssize_t n = readlink(link.c_str(), buf, sizeof buf - 1);
    if (n >= 0 && std::string(buf, static_cast<std::size_t>(n)) == target)
        unlink(link.c_str()); // only our own link: another run may have replaced it
}

// Sleeps the given seconds unless a signal arrives first; false when one did.
bool SleepUnlessStopped(int stopFd, double seconds)
{
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()).count();
        if (left <= 0)
            return true;
        pollfd p{stopFd, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(std::min<long long>(left, 3600 * 1000)));
        if (r > 0)
            return false;
        if (r < 0 && errno != EINTR)
            return true;
    }
}

// Places the link (when asked for) and prints the path to open.
bool Announce(const sim::Options& options, const std::string& path, std::string& error)
{
    if (!options.link.empty() && !PlaceLink(options.link, path, error))
        return false;
    std::printf("%s\n", path.c_str());
    std::fflush(stdout);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string error;
    auto options = sim::ParseOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "slm7650-sim: %s\n", error.c_str());
        return 2;
    }
    if (options->help) {
        std::fputs(sim::HelpText().c_str(), stdout);
        return 0;
    }

    int stopPipe[2];
    if (pipe(stopPipe) != 0) {
        std::perror("slm7650-sim: pipe");
        return 1;
    }
    for (int fd : stopPipe) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    g_stopWrite = stopPipe[1];
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP})
        sigaction(sig, &sa, nullptr);
    signal(SIGPIPE, SIG_IGN);

    std::uint64_t seed = options->seedGiven ? options->seed : std::random_device{}();
    // Separate streams: faults on or off never change the levels a seed gives.
    std::mt19937_64 bandRng(seed);
    std::mt19937_64 faultRng(seed ^ 0x9e3779b97f4a7c15ULL);
    sim::Band band(options->offsetHz);
    sim::Modem modem(band, bandRng);
    const auto start = std::chrono::steady_clock::now();
    if (options->dropLockAfterS >= 0) {
        const double from = options->dropLockAfterS, to = options->dropLockAfterS + options->dropLockForS;
        modem.SetLockFault([start, from, to] {
            const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            return s >= from && s < to;
        });
    }
    sim::Link link(*options, modem, faultRng);
    if (!link.Open(error)) {
        std::fprintf(stderr, "slm7650-sim: %s\n", error.c_str());
        return 1;
    }
    if (!Announce(*options, link.Path(), error)) {
        std::fprintf(stderr, "slm7650-sim: %s\n", error.c_str());
        return 1;
    }
    if (options->verbose)
        std::fprintf(stderr, "slm7650-sim: serving %s (seed %llu)\n", link.Path().c_str(),
                     static_cast<unsigned long long>(seed));

    std::optional<std::chrono::steady_clock::time_point> unplugAt;
    if (options->unplugAfterS >= 0)
        unplugAt = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                               std::chrono::duration<double>(options->unplugAfterS));
    sim::Link::End end = link.Serve(stopPipe[0], unplugAt);
    if (end == sim::Link::End::Until) {
        // Pulled out: the line goes, and with it the stable name udev gave it
        // (gone first, so that whoever sees the hang-up finds no link either).
        std::fprintf(stderr, "slm7650-sim: unplugged %s\n", link.Path().c_str());
        RemoveLink(options->link, link.Path());
        link.Close();
        if (!SleepUnlessStopped(stopPipe[0], options->unplugForS))
            return 0;
        if (!link.Open(error) || !Announce(*options, link.Path(), error)) {
            std::fprintf(stderr, "slm7650-sim: %s\n", error.c_str());
            return 1;
        }
        std::fprintf(stderr, "slm7650-sim: plugged in again as %s\n", link.Path().c_str());
        end = link.Serve(stopPipe[0]);
    }
    if (!options->link.empty())
        RemoveLink(options->link, link.Path());
    return end == sim::Link::End::Failed ? 1 : 0;
}
