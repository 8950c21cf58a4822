// The port list of the setup dialog: the machine's names, sorted, or the
// list left as it was when they cannot be read.
#include "serial/ui/com_select.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

TEST(EnumComPorts, ReplacesTheListOrLeavesItWhenThePortsCannotBeRead)
{
    using List = std::vector<std::string>;
    const struct {
        const char* name;
        std::optional<List> machine;
        List after; // of the list {"kept"}
    } cases[] = {
        {"ports listed", List{"COM2", "com10", "COM1"}, List{"COM1", "com10", "COM2"}},
        {"no serial ports", List{}, List{}},
        {"port registry unreadable", std::nullopt, List{"kept"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetPortEnumerator([&] { return c.machine; });
        List list{"kept"};
        EnumComPorts(list);
        EXPECT_EQ(list, c.after);
    }
    SetPortEnumerator({});
}

} // namespace
