#pragma once
#include <stdexcept>
#include <string>

// Numbers are written and read with "." as the decimal separator whatever
// the locale: these functions never consult the C library's locale.

// Raised when a text is not a number: "'<text>' is not a valid floating point value".
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TFloatFormat { ffGeneral, ffExponent, ffFixed };

// Fixed format: rounded to at most precision significant digits and exactly
// digits decimals, "-" when negative, at least one digit before ".".
// Scientific notation when there are more digits before "." than precision.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);

// General format: 15 significant digits, no trailing zeros or ".",
// scientific below 0.00001 (zero aside) or above 15 integer digits.
std::string FloatToStr(double value);

// Blanks around, optional sign, digits with optional "." and fraction,
// optional exponent. Raises EConvertError otherwise.
double StrToFloat(const std::string& text);
bool TryStrToFloat(const std::string& text, double& value);
