#pragma once

// Scheduling priority of a thread, from lowest to highest.
enum class ThreadPriorityLevel { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

// Sets the calling thread's priority. Windows: SetThreadPriority with the
// level of that name. Linux: the thread's nice value, moved from the one it
// started with by Idle +19, Lowest +10, Lower +5, Normal 0, Higher -5,
// Highest -10, TimeCritical -20 (within -20 ... 19); raising it needs rights
// a normal user lacks. False when the system refused: the thread keeps its
// priority then.
bool SetCurrentThreadPriority(ThreadPriorityLevel level);
