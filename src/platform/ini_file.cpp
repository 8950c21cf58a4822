#include "platform/ini_file.h"
#include "platform/profile.h"
#include "platform/profile_text.h"

#include <cstdint>
#include <string>

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Hexadecimal digits to the end of the text, at least one, fitting in 32 bits.
bool ParseHex(const std::string& text, std::size_t pos, std::int32_t& value)
{
    if (pos >= text.size())
        return false;
    std::uint64_t v = 0;
    for (; pos < text.size(); ++pos) {
        int d = HexDigit(text[pos]);
        if (d < 0)
            return false;
        v = v * 16 + static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFu)
            return false;
    }
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(v)); // 80000000 and up are negative
    return true;
}

// Optional sign, then decimal digits to the end, within the 32-bit signed range.
bool ParseDecimal(const std::string& text, std::size_t pos, std::int32_t& value)
{
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos >= text.size())
        return false;
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    std::uint64_t v = 0;
    for (; pos < text.size(); ++pos) {
        char c = text[pos];
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v > limit)
            return false;
    }
    value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v))
                     : static_cast<std::int32_t>(v);
    return true;
}

} // namespace

bool TryStrToInt(const std::string& text, std::int32_t& value)
{
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    if (pos < text.size() && (text[pos] == '$' || text[pos] == 'x' || text[pos] == 'X'))
        return ParseHex(text, pos + 1, value);
    if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X'))
        return ParseHex(text, pos + 2, value);
    return ParseDecimal(text, pos, value);
}

std::int32_t TCustomIniFile::ReadIntValue(const std::string& section, const std::string& key,
                                          std::int32_t def)
{
    std::int32_t value = 0;
    return TryStrToInt(ReadValue(section, key, ""), value) ? value : def;
}

void TCustomIniFile::WriteIntValue(const std::string& section, const std::string& key,
                                   std::int32_t value)
{
    WriteValue(section, key, std::to_string(value));
}

TIniFile::~TIniFile() { ProfileFlush(FileName()); }

std::string TIniFile::ReadValue(const std::string& section, const std::string& key,
                                const std::string& def)
{
    return ProfileReadString(section, key, def, FileName());
}

void TIniFile::WriteValue(const std::string& section, const std::string& key,
                          const std::string& value)
{
    // Refused here, before either system's profile functions see it: Windows
    // would write a line break or a bracket into the file as it stands and
    // turn the rest of the value into lines and sections of their own.
    if (!ProfileEntryWritable(section, key, value) || !ProfileWriteString(section, key, value, FileName()))
        throw EIniFileException("Unable to write to " + FileName());
}
