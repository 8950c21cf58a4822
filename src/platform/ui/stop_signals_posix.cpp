#include "platform/ui/stop_signals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
int g_writeEnd = -1;

void OnSignal(int sig)
{
    // Only async-signal-safe calls here: the signal's number goes down the
    // pipe, and the handler steps aside so that a second one ends the process.
    const unsigned char number = static_cast<unsigned char>(sig);
    [[maybe_unused]] const ssize_t n = write(g_writeEnd, &number, 1);
    signal(sig, SIG_DFL);
}

} // namespace

struct StopSignals::Impl {
    int fds[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> notifier;
    struct sigaction old[std::size(kSignals)] = {};
};

StopSignals::StopSignals(std::function<void(int)> onStop) : impl_(std::make_unique<Impl>())
{
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, impl_->fds) != 0)
        return;  // no pipe, no handler: the signals keep their default effect
    for (const int fd : impl_->fds) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    g_writeEnd = impl_->fds[1];
    impl_->notifier = std::make_unique<QSocketNotifier>(impl_->fds[0], QSocketNotifier::Read);
    QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, impl_->notifier.get(),
                     [fd = impl_->fds[0], onStop = std::move(onStop)] {
                         unsigned char number = 0;
                         while (read(fd, &number, 1) == 1)
                             onStop(number);
                     });
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &sa, &impl_->old[i]);
}

StopSignals::~StopSignals()
{
    if (impl_->fds[0] < 0)
        return;
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
        sigaction(kSignals[i], &impl_->old[i], nullptr);
    g_writeEnd = -1;
    impl_->notifier.reset();
    close(impl_->fds[0]);
    close(impl_->fds[1]);
}
