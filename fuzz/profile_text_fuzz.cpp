// The INI text grammar: any text, section, key and value. Reading never
// fails; a value that may be written reads back as written (blanks around
// it aside), other sections keep their values, and a second write of the same
// value changes nothing.
#include "fuzz_support.h"
#include "platform/profile_text.h"

namespace {

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> p = SplitInput(data, size, 4);
    const std::string &text = p[0], &section = p[1], &key = p[2], &value = p[3];

    (void)ProfileFindValue(text, section, key);
    if (!ProfileEntryWritable(section, key, value))
        return 0;

    const std::string once = ProfileSetValue(text, section, key, value);
    FUZZ_CHECK(ProfileFindValue(once, section, key) == std::string(TrimBlanks(value)));
    FUZZ_CHECK(ProfileSetValue(once, section, key, value) == once);
    // A different section is untouched by the write.
    const std::string other = section + "x";
    if (ProfileEntryWritable(other, key, value))
        FUZZ_CHECK(ProfileFindValue(once, other, key) == ProfileFindValue(text, other, key));
    return 0;
}
