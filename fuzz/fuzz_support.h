#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

// Helpers shared by the fuzz targets.

// A property that must hold for every input; a violation aborts so that the
// fuzzer (or the corpus replay test) reports the input.
#define FUZZ_CHECK(cond)                                                                \
    do {                                                                                \
        if (!(cond)) {                                                                  \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #cond); \
            std::abort();                                                               \
        }                                                                               \
    } while (0)

// Splits the input at 0xFF bytes into at most `count` parts (missing parts
// are empty), so one input can carry a text and the names applied to it.
inline std::vector<std::string> SplitInput(const std::uint8_t* data, std::size_t size, std::size_t count)
{
    std::vector<std::string> parts(count);
    std::size_t part = 0;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && part + 1 < count) {
            ++part;
            continue;
        }
        parts[part] += static_cast<char>(data[i]);
    }
    return parts;
}
