#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

// Raised when a write to the settings file is refused.
class EIniFileException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// An INI file reached through the profile functions. The object holds only
// the path: it caches nothing, every read goes to the file and every write
// reaches it before returning.
class TCustomIniFile {
public:
    explicit TCustomIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
    virtual ~TCustomIniFile() = default;

    const std::string& FileName() const { return fileName_; }

    // The key's value (empty when present but empty), else def; at most 2047 characters.
    virtual std::string ReadValue(const std::string& section, const std::string& key,
                                  const std::string& def) = 0;
    // Raises EIniFileException "Unable to write to <path>" when refused.
    virtual void WriteValue(const std::string& section, const std::string& key,
                            const std::string& value) = 0;

    // ReadValue with an empty default, converted by the integer grammar
    // (decimal with optional sign, or "$", "x", "X", "0x", "0X" hexadecimal);
    // def for a missing key or any text that does not convert.
    std::int32_t ReadIntValue(const std::string& section, const std::string& key, std::int32_t def);
    void WriteIntValue(const std::string& section, const std::string& key, std::int32_t value);

private:
    std::string fileName_;
};

class TIniFile : public TCustomIniFile {
public:
    using TCustomIniFile::TCustomIniFile;
    // Flushes the operating system's cached writes for the path.
    ~TIniFile() override;

    std::string ReadValue(const std::string& section, const std::string& key,
                          const std::string& def) override;
    void WriteValue(const std::string& section, const std::string& key,
                    const std::string& value) override;
};

// The integer grammar of ReadIntValue; false when text does not convert.
bool TryStrToInt(const std::string& text, std::int32_t& value);
