#include "platform/thread_priority.h"

#ifdef __linux__

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

int NiceOffset(ThreadPriorityLevel level)
{
    switch (level) {
    case ThreadPriorityLevel::Idle: return 19;
    case ThreadPriorityLevel::Lowest: return 10;
    case ThreadPriorityLevel::Lower: return 5;
    case ThreadPriorityLevel::Normal: return 0;
    case ThreadPriorityLevel::Higher: return -5;
    case ThreadPriorityLevel::Highest: return -10;
    case ThreadPriorityLevel::TimeCritical: return -20;
    }
    return 0;
}

} // namespace

bool SetCurrentThreadPriority(ThreadPriorityLevel level)
{
    // On Linux the nice value is per thread: PRIO_PROCESS with a thread id.
    errno = 0;
    const int process = ::getpriority(PRIO_PROCESS, 0);
    if (process == -1 && errno != 0)
        return false;
    const int nice = std::clamp(process + NiceOffset(level), -20, 19);
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    return ::setpriority(PRIO_PROCESS, thread, nice) == 0;
}

#else // other POSIX systems: threads keep the process's priority

bool SetCurrentThreadPriority(ThreadPriorityLevel level) { return level == ThreadPriorityLevel::Normal; }

#endif
