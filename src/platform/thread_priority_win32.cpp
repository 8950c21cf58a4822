#include "platform/thread_priority.h"

#include <windows.h>

bool SetCurrentThreadPriority(ThreadPriorityLevel level) {
    int priority = THREAD_PRIORITY_NORMAL;
    switch (level) {
    case ThreadPriorityLevel::Idle: priority = THREAD_PRIORITY_IDLE; break;
    case ThreadPriorityLevel::Lowest: priority = THREAD_PRIORITY_LOWEST; break;
    case ThreadPriorityLevel::Lower: priority = THREAD_PRIORITY_BELOW_NORMAL; break;
    case ThreadPriorityLevel::Normal: priority = THREAD_PRIORITY_NORMAL; break;
    case ThreadPriorityLevel::Higher: priority = THREAD_PRIORITY_ABOVE_NORMAL; break;
    case ThreadPriorityLevel::Highest: priority = THREAD_PRIORITY_HIGHEST; break;
    case ThreadPriorityLevel::TimeCritical: priority = THREAD_PRIORITY_TIME_CRITICAL; break;
    }
    return SetThreadPriority(GetCurrentThread(), priority) != FALSE;
}
