#include "station/listen_settings.h"

#include "memory_ini_file.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> keys;  // of section Remote
    bool enabled;
    const char* address;
    int port;
    const char* problem;
};

TEST(ListenSettings, DefaultsStandForWhatIsMissingOrUnusable)
{
    const Case cases[] = {
        {"no section", {}, false, "127.0.0.1", 4532, ""},
        {"on", {{"Enabled", "1"}}, true, "127.0.0.1", 4532, ""},
        {"all given", {{"Enabled", "1"}, {"Address", "0.0.0.0"}, {"Port", "4600"}}, true, "0.0.0.0", 4600, ""},
        {"off", {{"enabled", "0"}, {"port", "4600"}}, false, "127.0.0.1", 4600, ""},
        {"bad enabled", {{"Enabled", "yes"}}, false, "127.0.0.1", 4532, "Enabled=yes"},
        {"bad port", {{"Enabled", "1"}, {"Port", "abc"}}, true, "127.0.0.1", 4532, "Port=abc"},
        {"port zero", {{"Enabled", "1"}, {"Port", "0"}}, true, "127.0.0.1", 4532, "Port=0"},
        {"port too big", {{"Enabled", "1"}, {"Port", "70000"}}, true, "127.0.0.1", 4532, "Port=70000"},
        {"empty address", {{"Enabled", "1"}, {"Address", ""}}, true, "127.0.0.1", 4532, ""},
    };
    for (const Case& c : cases) {
        MemoryIniFile ini;
        for (const auto& [key, value] : c.keys)
            ini.Set("Remote", key, value);
        const ListenSettings s = ReadListenSettings(ini, "Remote", 4532);
        EXPECT_EQ(s.enabled, c.enabled) << c.name;
        EXPECT_EQ(s.address, c.address) << c.name;
        EXPECT_EQ(s.port, c.port) << c.name;
        EXPECT_NE(s.problem.find(c.problem), std::string::npos) << c.name << ": " << s.problem;
        EXPECT_EQ(s.problem.empty(), std::string(c.problem).empty()) << c.name;
    }
}

TEST(ListenSettings, EndpointPutsAnIpv6AddressInBrackets)
{
    ListenSettings s;
    s.port = 4532;
    EXPECT_EQ(ListenEndpoint(s), "127.0.0.1:4532");
    s.address = "::1";
    EXPECT_EQ(ListenEndpoint(s), "[::1]:4532");
}

} // namespace
