// Number formats on std::to_chars/std::from_chars, which never look at the
// locale. Rounding works on the value itself, the exact decimal expansion of
// the binary fraction, half away from zero: 137.1 + 0.0029975 is
// 137.1029974999999865... and rounds to 137.102997, although the shortest
// text that reads back as it, "137.1029975", would round up.
#include "protocol/numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <system_error>

namespace {

// A finite value as sign, significant digits and the position of the point:
// value = 0.digits * 10^point. Zero has no digits.
struct Decimal {
    bool negative = false;
    std::string digits;
    int point = 0;
};

// Every finite double is a binary fraction with at most 767 significant
// decimal digits; asked for that many, to_chars writes the value exactly.
constexpr int kExactDigits = 767;
// Enough to decide the rounding at the at most 18 digits kept in all but the
// rare case where the digits after them read as an exact half (below).
constexpr int kGuardedDigits = 41;

// The value to `significant` digits, correctly rounded from the exact value.
Decimal Digits(double value, int significant)
{
    Decimal d;
    d.negative = std::signbit(value);
    if (value == 0)
        return d;
    char buf[kExactDigits + 16];
    auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::scientific,
                             significant - 1);
    std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf)); // "d.dddde+XX"
    std::size_t e = text.find('e');
    for (char c : text.substr(0, e))
        if (c != '.')
            d.digits += c;
    int exponent = 0;
    std::string_view exp = text.substr(e + 1);
    if (!exp.empty() && exp.front() == '+')
        exp.remove_prefix(1);
    std::from_chars(exp.data(), exp.data() + exp.size(), exponent);
    d.point = exponent + 1;
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
    return d;
}

// True when the digits after the first `keep` read as exactly one half.
bool HalfAfter(const Decimal& d, int keep)
{
    return keep >= 0 && static_cast<int>(d.digits.size()) == keep + 1 &&
           d.digits[static_cast<std::size_t>(keep)] == '5';
}

// The value's digits for rounding to `keep(point)` significant digits. The
// guarded digits differ from the exact value by less than half a unit of
// their last digit, so unless they read as an exact half after the kept
// digits, they fall on the same side of the half as the value does.
template <typename Keep>
Decimal ForRounding(double value, Keep keep)
{
    Decimal d = Digits(value, kGuardedDigits);
    if (HalfAfter(d, keep(d.point)))
        d = Digits(value, kExactDigits);
    return d;
}

// Keeps the first `keep` significant digits (none or fewer when keep <= 0),
// rounding half away from zero.
void RoundTo(Decimal& d, int keep)
{
    if (keep >= static_cast<int>(d.digits.size()))
        return;
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
    d.digits.resize(static_cast<std::size_t>(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') {
            d.digits[static_cast<std::size_t>(i)] = '0';
            --i;
        }
        if (i >= 0) {
            ++d.digits[static_cast<std::size_t>(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.point;
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0')
        d.digits.pop_back();
}

char DigitAt(const Decimal& d, int index) // index 0 is the first significant digit
{
    return index >= 0 && index < static_cast<int>(d.digits.size())
               ? d.digits[static_cast<std::size_t>(index)]
               : '0';
}

// "d.dddE-6" / "1E20": the mantissa without trailing zeros, the exponent
// without "+" or leading zeros.
std::string Scientific(const Decimal& d)
{
    std::string out = d.negative ? "-" : "";
    out += d.digits.front();
    if (d.digits.size() > 1)
        out.append(".").append(d.digits, 1);
    out += 'E';
    out += std::to_string(d.point - 1);
    return out;
}

std::string NonFinite(double value)
{
    if (std::isnan(value))
        return "NAN";
    return value < 0 ? "-INF" : "INF";
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

} // namespace

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits)
{
    if (!std::isfinite(value))
        return NonFinite(value);
    precision = std::clamp(precision, 1, 18);
    digits = std::clamp(digits, 0, 18);
    auto keep = [&](int point) { return format == ffFixed ? std::min(precision, point + digits) : precision; };
    Decimal d = ForRounding(value, keep);
    if (format == ffFixed) {
        RoundTo(d, keep(d.point));
        if (d.digits.empty())
            d.negative = false; // a value that rounds to zero is written "0.000000"
        if (d.digits.empty() || d.point <= precision) {
            std::string out = d.negative ? "-" : "";
            if (d.digits.empty() || d.point <= 0)
                out += '0';
            for (int i = 0; i < d.point && !d.digits.empty(); ++i)
                out += DigitAt(d, i);
            if (digits > 0) {
                out += '.';
                for (int i = 0; i < digits; ++i)
                    out += d.digits.empty() ? '0' : DigitAt(d, d.point + i);
            }
            return out;
        }
        // More integer digits than the precision holds: scientific, as the toolkit does.
        return Scientific(d);
    }
    RoundTo(d, keep(d.point));
    if (d.digits.empty())
        return "0";
    if (format == ffExponent || d.point > precision || d.point < -4)
        return Scientific(d);
    std::string out = d.negative ? "-" : "";
    if (d.point <= 0) {
        out += "0.";
        out.append(static_cast<std::size_t>(-d.point), '0');
        out += d.digits;
        return out;
    }
    for (int i = 0; i < d.point; ++i)
        out += DigitAt(d, i);
    if (static_cast<int>(d.digits.size()) > d.point)
        out.append(".").append(d.digits, static_cast<std::size_t>(d.point));
    return out;
}

std::string FloatToStr(double value) { return FloatToStrF(value, ffGeneral, 15, 0); }

bool TryStrToFloat(const std::string& text, double& value)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;

    // Check the grammar ourselves and hand from_chars a normal form, so that
    // what it would accept beyond ours ("inf", "nan", hex) never gets through.
    std::size_t pos = begin;
    std::string normal;
    if (pos < end && (text[pos] == '+' || text[pos] == '-')) {
        if (text[pos] == '-')
            normal += '-';
        ++pos;
    }
    std::size_t intBegin = pos;
    while (pos < end && IsDigit(text[pos]))
        ++pos;
    std::size_t intDigits = pos - intBegin;
    normal.append(text, intBegin, intDigits);
    std::size_t fracDigits = 0;
    if (pos < end && text[pos] == '.') {
        ++pos;
        std::size_t fracBegin = pos;
        while (pos < end && IsDigit(text[pos]))
            ++pos;
        fracDigits = pos - fracBegin;
        if (intDigits == 0)
            normal += '0';
        normal += '.';
        normal.append(text, fracBegin, fracDigits);
        if (fracDigits == 0)
            normal += '0';
    }
    if (intDigits + fracDigits == 0)
        return false;
    long long exponent = 0;
    if (pos < end && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        normal += 'e';
        bool negativeExp = false;
        if (pos < end && (text[pos] == '+' || text[pos] == '-')) {
            negativeExp = text[pos] == '-';
            if (negativeExp)
                normal += '-';
            ++pos;
        }
        std::size_t expBegin = pos;
        for (; pos < end && IsDigit(text[pos]); ++pos)
            exponent = std::min(exponent * 10 + (text[pos] - '0'), 1000000000LL); // saturates
        if (pos == expBegin)
            return false;
        normal.append(text, expBegin, pos - expBegin);
        if (negativeExp)
            exponent = -exponent;
    }
    if (pos != end)
        return false;

    double result = 0;
    auto res = std::from_chars(normal.data(), normal.data() + normal.size(), result);
    if (res.ec == std::errc::result_out_of_range) {
        // Beyond the double range: too small reads as zero, too large is refused.
        // The magnitude is where the first significant digit stands, plus the exponent.
        std::string mantissa = text.substr(intBegin, intDigits);
        if (fracDigits > 0)
            mantissa.append(text, intBegin + intDigits + 1, fracDigits);
        std::size_t first = mantissa.find_first_not_of('0');
        long long magnitude = static_cast<long long>(intDigits) - static_cast<long long>(first) + exponent;
        if (first == std::string::npos || magnitude <= 0) {
            value = normal.front() == '-' ? -0.0 : 0.0;
            return true;
        }
        return false;
    }
    if (res.ec != std::errc() || res.ptr != normal.data() + normal.size())
        return false;
    value = result;
    return true;
}

double StrToFloat(const std::string& text)
{
    double value = 0;
    if (!TryStrToFloat(text, value))
        throw EConvertError("'" + text + "' is not a valid floating point value");
    return value;
}
