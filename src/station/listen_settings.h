#pragma once
#include "platform/ini_file.h"

#include <cstdint>
#include <string>

// Where a network service of the program listens, from its settings section:
//   [<section>]
//   Enabled=1          ; default 0: nothing listens
//   Address=127.0.0.1  ; default 127.0.0.1, loopback only
//   Port=<n>           ; default the service's own
// Read with these defaults at start; nothing is written here.
struct ListenSettings {
    bool enabled = false;
    std::string address = "127.0.0.1";
    std::uint16_t port = 0;
    // Set when a value could not be used (the default stands instead), for
    // the status bar: "Port=abc is not a port number".
    std::string problem;
};

ListenSettings ReadListenSettings(TCustomIniFile& settings, const std::string& section, std::uint16_t defaultPort);

// Where the service listens, for the status bar: "address:port", an IPv6
// address in brackets.
std::string ListenEndpoint(const ListenSettings& settings);
