#include "station/listen_settings.h"

ListenSettings ReadListenSettings(TCustomIniFile& settings, const std::string& section, std::uint16_t defaultPort)
{
    ListenSettings s;
    s.port = defaultPort;
    const std::string enabled = settings.ReadValue(section, "Enabled", "0");
    std::int32_t on = 0;
    if (!TryStrToInt(enabled, on))
        s.problem = "Enabled=" + enabled + " is not 0 or 1";
    s.enabled = on != 0;
    const std::string address = settings.ReadValue(section, "Address", "");
    if (!address.empty())
        s.address = address;
    const std::string port = settings.ReadValue(section, "Port", "");
    std::int32_t n = 0;
    if (!port.empty()) {
        if (TryStrToInt(port, n) && n > 0 && n <= 65535)
            s.port = static_cast<std::uint16_t>(n);
        else
            s.problem = "Port=" + port + " is not a port number";
    }
    return s;
}

std::string ListenEndpoint(const ListenSettings& settings)
{
    const bool v6 = settings.address.find(':') != std::string::npos;
    return (v6 ? "[" + settings.address + "]" : settings.address) + ":" + std::to_string(settings.port);
}
