// The integer grammar of ReadIntValue: any text converts or is refused; a
// converted value written in decimal (as WriteIntValue does) reads back the
// same, and in "$" hexadecimal too.
#include "fuzz_support.h"
#include "platform/ini_file.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::int32_t v = 0;
    if (!TryStrToInt(text, v))
        return 0;
    std::int32_t back = 0;
    FUZZ_CHECK(TryStrToInt(std::to_string(v), back) && back == v);
    char hex[16];
    std::snprintf(hex, sizeof hex, "$%X", static_cast<unsigned>(v));
    FUZZ_CHECK(TryStrToInt(hex, back) && back == v);
    return 0;
}
