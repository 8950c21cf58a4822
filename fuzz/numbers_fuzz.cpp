// Number parsing and formatting: any text parses or is refused without
// crashing; a parsed finite value written in the general format reads back
// to 15 significant digits, and the fixed format reads back to its decimals.
#include "fuzz_support.h"
#include "protocol/numbers.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace {

void CheckFormats(double v)
{
    const std::string general = FloatToStr(v);
    if (!std::isfinite(v)) {
        double ignored = 0;
        FUZZ_CHECK(!TryStrToFloat(general, ignored));
        return;
    }
    double back = 0;
    if (std::fabs(v) > 1e308)
        return; // 15 digits may round past the largest double, which then does not read back
    FUZZ_CHECK(TryStrToFloat(general, back));
    FUZZ_CHECK(std::fabs(back - v) <= std::fabs(v) * 1e-14 + std::numeric_limits<double>::denorm_min());
    if (std::fabs(v) < 1e8) {
        const std::string fixed = FloatToStrF(v, ffFixed, 9, 6);
        FUZZ_CHECK(TryStrToFloat(fixed, back));
        // Nine significant digits or six decimals, whichever is coarser, with rounding slack.
        const double step = std::fmax(1e-6, std::pow(10.0, std::floor(std::log10(std::fabs(v) + 1e-300)) - 8));
        FUZZ_CHECK(std::fabs(back - v) <= step * 0.5000001 + std::fabs(v) * 1e-15);
        FUZZ_CHECK(fixed.size() > 7 && fixed[fixed.size() - 7] == '.');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    double v = 0;
    if (TryStrToFloat(text, v))
        CheckFormats(v);
    else {
        bool raised = false;
        try {
            (void)StrToFloat(text);
        } catch (const EConvertError& e) {
            raised = std::strcmp(e.what(), ("'" + text + "' is not a valid floating point value").c_str()) == 0;
        }
        FUZZ_CHECK(raised);
    }
    if (size == sizeof(double)) { // the raw bytes as a double: every bit pattern formats
        double raw = 0;
        std::memcpy(&raw, data, sizeof raw);
        CheckFormats(raw);
        (void)FloatToStrF(raw, ffFixed, 5, 1);
    }
    return 0;
}
