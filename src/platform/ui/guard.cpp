#include "platform/ui/guard.h"

#include "platform/messages.h"

#include <exception>

namespace {

void ShowErrorSafely(const std::string& text)
{
    try {
        Messages().ShowError(text);
    } catch (...) {
        // Showing the box is the last resort; nothing is left to report to.
    }
}

} // namespace

bool RunGuarded(const std::function<void()>& handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        ShowErrorSafely(e.what());
    } catch (...) {
        ShowErrorSafely(std::string());
    }
    return false;
}
