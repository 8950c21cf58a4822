#include "protocol/numbers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>

namespace {

struct FormatCase {
    double value;
    TFloatFormat format;
    int precision, digits;
    const char* expected;
};

const FormatCase kFormats[] = {
    // F9.6: the offset correction's frequency.
    {137.0985, ffFixed, 9, 6, "137.098500"},
    {137.1 - 1500 / 1e6, ffFixed, 9, 6, "137.098500"}, // as computed, not as typed
    {137.10025, ffFixed, 9, 6, "137.100250"},
    {137.098500000000001, ffFixed, 9, 6, "137.098500"},
    {137.0985005, ffFixed, 9, 6, "137.098501"},        // stored as 137.09850050000000001...
    // Rounded as the value is stored, not as its shortest text reads.
    {137.1 + 0.0029975, ffFixed, 9, 6, "137.102997"},  // 137.10299749999998653...
    {137.1029975, ffFixed, 9, 6, "137.102997"},        // the same double
    {137.1 - 0.0029975, ffFixed, 9, 6, "137.097003"},  // 137.09700250000000369...
    {0.15, ffFixed, 5, 1, "0.1"},                      // 0.14999999999999999445...
    {1.0000000000000002, ffFixed, 9, 6, "1.000000"},
    {2.5, ffFixed, 9, 0, "3"},                         // a true half: away from zero
    {-2.5, ffFixed, 9, 0, "-3"},
    {0.125, ffFixed, 9, 2, "0.13"},
    {-0.0015, ffFixed, 9, 6, "-0.001500"},
    {147.8, ffFixed, 9, 6, "147.800000"},
    {0, ffFixed, 9, 6, "0.000000"},
    {-0.0, ffFixed, 9, 6, "0.000000"},
    {-0.0000001, ffFixed, 9, 6, "0.000000"},           // no "-" on a value that rounds to zero
    {0.0000005, ffFixed, 9, 6, "0.000000"},            // 4.99999999999999977e-7
    {0.0000005000001, ffFixed, 9, 6, "0.000001"},
    {999.9999996, ffFixed, 9, 6, "1000.000000"},       // digits past the precision are zeros
    {1234.5678949, ffFixed, 9, 6, "1234.567890"},
    {12345.678951, ffFixed, 9, 6, "12345.679000"},
    {1234567890.5, ffFixed, 9, 6, "1.23456789E9"},     // more integer digits than the precision
    // F5.1: the scanner's frequency.
    {154.99999999999892, ffFixed, 5, 1, "155.0"},
    {136.2, ffFixed, 5, 1, "136.2"},
    {136.0, ffFixed, 5, 1, "136.0"},
    {136.25, ffFixed, 5, 1, "136.3"},
    {0.05, ffFixed, 5, 1, "0.1"},
    {-0.04, ffFixed, 5, 1, "0.0"},
    // General.
    {137.0, ffGeneral, 15, 0, "137"},
    {0.0, ffGeneral, 15, 0, "0"},
    {-0.0, ffGeneral, 15, 0, "0"},
    {137.0985, ffGeneral, 15, 0, "137.0985"},
    {147.8, ffGeneral, 15, 0, "147.8"},
    {-147.8, ffGeneral, 15, 0, "-147.8"},
    {0.1 + 0.2, ffGeneral, 15, 0, "0.3"},              // 15 digits hide the binary tail
    {154.99999999999892, ffGeneral, 15, 0, "154.999999999999"},
    {1.000000000000145, ffGeneral, 15, 0, "1.00000000000014"}, // 1.00000000000014499...
    {1.000000000000155, ffGeneral, 15, 0, "1.00000000000015"}, // 1.00000000000015498...
    {0.00001, ffGeneral, 15, 0, "0.00001"},
    {0.0000099, ffGeneral, 15, 0, "9.9E-6"},
    {0.000001, ffGeneral, 15, 0, "1E-6"},
    {-1.5e-300, ffGeneral, 15, 0, "-1.5E-300"},
    {999999999999999.0, ffGeneral, 15, 0, "999999999999999"},
    {1e15, ffGeneral, 15, 0, "1E15"},
    {123456789012345678.0, ffGeneral, 15, 0, "1.23456789012346E17"},
    {std::numeric_limits<double>::infinity(), ffGeneral, 15, 0, "INF"},
    {-std::numeric_limits<double>::infinity(), ffFixed, 9, 6, "-INF"},
    {std::numeric_limits<double>::quiet_NaN(), ffFixed, 9, 6, "NAN"},
};

struct ParseCase {
    const char* text;
    bool valid;
    double value;
};

const ParseCase kParses[] = {
    {"147.8", true, 147.8},    {"  147.8\t ", true, 147.8}, {"+1500", true, 1500},
    {"-1500", true, -1500},    {".5", true, 0.5},           {"5.", true, 5},
    {"1e3", true, 1000},       {"1E+3", true, 1000},        {"-2.5e-3", true, -0.0025},
    {"0", true, 0},            {"137.098500", true, 137.0985},
    {"1e-400", true, 0},       {"0.0e99999999999999999999", true, 0},
    {"147,8", false, 0},       {"147.8 MHz", false, 0},     {"Hz", false, 0},
    {"", false, 0},            {"   ", false, 0},          {"+", false, 0},
    {"-", false, 0},           {".", false, 0},             {"1e", false, 0},
    {"1e+", false, 0},         {"e5", false, 0},            {"1.2.3", false, 0},
    {"+-1", false, 0},         {"1 2", false, 0},           {"inf", false, 0},
    {"nan", false, 0},         {"0x10", false, 0},          {"1e400", false, 0},
    {"- 1", false, 0},
};

void CheckAll()
{
    for (const FormatCase& c : kFormats) {
        const std::string got = c.format == ffGeneral && c.precision == 15 ? FloatToStr(c.value)
                                                                            : FloatToStrF(c.value, c.format, c.precision, c.digits);
        EXPECT_EQ(got, c.expected) << "value " << c.value << " precision " << c.precision << " digits " << c.digits;
    }
    for (const ParseCase& c : kParses) {
        double value = -123;
        EXPECT_EQ(TryStrToFloat(c.text, value), c.valid) << '"' << c.text << '"';
        if (c.valid) {
            EXPECT_EQ(value, c.value) << '"' << c.text << '"';
            EXPECT_EQ(StrToFloat(c.text), c.value);
        } else {
            try {
                StrToFloat(c.text);
                ADD_FAILURE() << '"' << c.text << "\" converted";
            } catch (const EConvertError& e) {
                EXPECT_EQ(std::string(e.what()), "'" + std::string(c.text) + "' is not a valid floating point value");
            }
        }
    }
}

TEST(Numbers, FormatsAndParsesInTheCLocale)
{
    CheckAll();
}

TEST(Numbers, SameResultsUnderACommaLocale)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    // The same German locale by its POSIX name and by its Windows name.
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr && std::setlocale(LC_ALL, "German_Germany.1252") == nullptr)
        GTEST_SKIP() << "locale de_DE.UTF-8 is not installed (scripts/deps generates it)";
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ","); // the locale really is in force
    CheckAll();
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(Numbers, FormattedValuesParseBack)
{
    // The scanner and the offset correction write what the parser later reads.
    for (double v = 136.0; v <= 155.0; v += 0.1) {
        const std::string text = FloatToStrF(v, ffFixed, 5, 1);
        EXPECT_NEAR(StrToFloat(text), v, 0.05 + 1e-9) << text;
        EXPECT_NEAR(StrToFloat(FloatToStr(v)), v, 1e-12) << FloatToStr(v);
    }
}

} // namespace
