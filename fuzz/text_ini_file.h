#pragma once
#include "platform/ini_file.h"
#include "platform/profile_text.h"

#include <string>

// A TCustomIniFile over an INI text in memory, using the same text grammar
// as the POSIX profile functions, so that loading and storing port settings
// can be fuzzed without a disk.
class TextIniFile final : public TCustomIniFile {
public:
    explicit TextIniFile(std::string text) : TCustomIniFile("memory.ini"), text_(std::move(text)) {}

    std::string ReadValue(const std::string& section, const std::string& key, const std::string& def) override
    {
        std::string value = ProfileFindValue(text_, section, key).value_or(def);
        if (value.size() > kProfileMaxValue)
            value.resize(kProfileMaxValue);
        return value;
    }
    void WriteValue(const std::string& section, const std::string& key, const std::string& value) override
    {
        if (!ProfileEntryWritable(section, key, value))
            throw EIniFileException("Unable to write to " + FileName());
        text_ = ProfileSetValue(text_, section, key, value);
    }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};
