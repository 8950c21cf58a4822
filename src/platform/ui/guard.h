#pragma once
#include <functional>
#include <utility>

// Every connection from a Qt signal to one of our handlers goes through here:
// an error escaping the handler ends it and is shown in the standard error
// box (its message; an empty message for an error that carries none), and the
// program goes on. No exception ever crosses a Qt frame.

// Runs handler; returns false when it raised (the error has been shown).
bool RunGuarded(const std::function<void()>& handler);

// A slot for QObject::connect running f through RunGuarded. It takes no
// arguments, so it fits any signal; handlers read the state they need from
// their controls.
template <class F>
auto Guard(F f)
{
    return [f = std::move(f)]() { RunGuarded(f); };
}
