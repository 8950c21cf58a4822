// slm7650-sim: a stand-in for the SLM-7650 modem on a pseudo-terminal.
#include "band.h"
#include "link.h"
#include "modem.h"
#include "options.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
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
    if (options->dropLockAfterS >= 0) {
        const auto start = std::chrono::steady_clock::now();
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
    if (!options->link.empty() && !PlaceLink(options->link, link.Path(), error)) {
        std::fprintf(stderr, "slm7650-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", link.Path().c_str());
    std::fflush(stdout);
    if (options->verbose)
        std::fprintf(stderr, "slm7650-sim: serving %s (seed %llu)\n", link.Path().c_str(),
                     static_cast<unsigned long long>(seed));

    int code = link.Serve(stopPipe[0]);
    if (!options->link.empty())
        RemoveLink(options->link, link.Path());
    return code;
}
