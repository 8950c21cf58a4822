#pragma once
#include "platform/clock.h"
#include "platform/ini_file.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

// A settings file held in memory. Names are found without regard to case,
// like the profile functions; every read and write is logged with the time
// of the installed clock, so a test can tell when a value was read.
class MemoryIniFile final : public TCustomIniFile {
public:
    struct Access {
        std::int64_t atMs;
        std::string section;
        std::string key;
        std::string value; // the value read (or written)
        bool operator==(const Access&) const = default;
    };

    MemoryIniFile() : TCustomIniFile("memory.ini") {}

    void Set(const std::string& section, const std::string& key, const std::string& value)
    {
        values_[{Lower(section), Lower(key)}] = value;
    }
    bool Has(const std::string& section, const std::string& key) const
    {
        return values_.count({Lower(section), Lower(key)}) != 0;
    }
    std::string Get(const std::string& section, const std::string& key) const
    {
        auto it = values_.find({Lower(section), Lower(key)});
        return it == values_.end() ? std::string() : it->second;
    }

    std::string ReadValue(const std::string& section, const std::string& key,
                          const std::string& def) override
    {
        auto it = values_.find({Lower(section), Lower(key)});
        std::string value = it == values_.end() ? def : it->second;
        reads.push_back({CurrentClock().NowMs(), section, key, value});
        return value;
    }

    void WriteValue(const std::string& section, const std::string& key,
                    const std::string& value) override
    {
        if (failWritesFrom >= 0 && static_cast<int>(writes.size()) >= failWritesFrom)
            throw EIniFileException("Unable to write to " + FileName());
        writes.push_back({CurrentClock().NowMs(), section, key, value});
        Set(section, key, value);
    }

    // The n-th and later writes (counting from 0) are refused.
    int failWritesFrom = -1;
    std::vector<Access> reads;
    std::vector<Access> writes;

private:
    static std::string Lower(std::string s)
    {
        std::transform(s.begin(), s.end(), s.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return s;
    }
    std::map<std::pair<std::string, std::string>, std::string> values_;
};
