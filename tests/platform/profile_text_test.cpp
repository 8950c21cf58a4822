#include "platform/profile_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace {

// A hand-edited file: comments, blanks, odd letter case, a repeated key and
// a repeated section, an entry before any section, a line without "=".
const std::string kHandEdited =
    "; settings of the station\r\n"
    "stray=before any section\r\n"
    "[comport]\r\n"
    "  PORT  =  COM3  \r\n"
    "port=COM9\r\n"
    "not an entry\r\n"
    "Empty=\r\n"
    ";Parity=Odd\r\n"
    "\r\n"
    "[Frequency]\r\n"
    "MetopA=137.1\r\n"
    "[ComPort]\r\n"
    "BaudRate=4800\r\n";

struct FindCase {
    const char* section;
    const char* key;
    std::optional<std::string> expected;
};

void PrintTo(const FindCase& c, std::ostream* os) { *os << "[" << c.section << "] " << c.key; }

class ProfileFind : public testing::TestWithParam<FindCase> {};

TEST_P(ProfileFind, ReadsTheFormatAsDocumented)
{
    const FindCase& c = GetParam();
    EXPECT_EQ(ProfileFindValue(kHandEdited, c.section, c.key), c.expected)
        << "[" << c.section << "] " << c.key;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileFind,
    testing::Values(FindCase{"ComPort", "Port", "COM3"},      // blanks trimmed, first key wins
                    FindCase{"COMPORT", "port", "COM3"},      // case ignored both ways
                    FindCase{"ComPort", "Empty", ""},         // present but empty
                    FindCase{"ComPort", "Parity", std::nullopt},   // commented out
                    FindCase{"ComPort", "not an entry", std::nullopt},
                    FindCase{"ComPort", "BaudRate", std::nullopt}, // only in the repeated section
                    FindCase{"ComPort", "stray", std::nullopt},    // before any section
                    FindCase{"Frequency", "metopa", "137.1"},
                    FindCase{"Missing", "Port", std::nullopt}));

TEST(ProfileFindValue, ValueEndsAtNulAndSectionWithoutBracket)
{
    const std::string text = std::string("[A\nk=ab\0cd\n", 11);
    EXPECT_EQ(ProfileFindValue(text, "A", "k"), "ab");
    EXPECT_EQ(ProfileFindValue("[A]\nk=v", "A", "k"), "v"); // last line without an ending
}

struct SetCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

void PrintTo(const SetCase& c, std::ostream* os) { *os << c.name; }

class ProfileSet : public testing::TestWithParam<SetCase> {};

TEST_P(ProfileSet, ChangesOnlyWhatItMust)
{
    const SetCase& c = GetParam();
    EXPECT_EQ(ProfileSetValue(c.before, c.section, c.key, c.value), c.after);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileSet,
    testing::Values(
        SetCase{"EmptyText", "", "ComPort", "Port", "COM1", "[ComPort]\nPort=COM1\n"},
        SetCase{"ReplaceKeepsSpellingAndEnding", "[comport]\r\n  PORT  =  COM3  \r\nx=1\r\n",
                "ComPort", "Port", "COM1", "[comport]\r\n  PORT  =  COM1\r\nx=1\r\n"},
        SetCase{"ReplaceFirstOfRepeated", "[A]\nk=1\nk=2\n", "A", "K", "9", "[A]\nk=9\nk=2\n"},
        SetCase{"BlanksAroundValueNotWritten", "[A]\nk = 1\n", "A", "k", " 2\t", "[A]\nk = 2\n"},
        SetCase{"ReplaceEmptyValue", "[A]\nk=\n", "A", "k", "v", "[A]\nk=v\n"},
        SetCase{"AppendAfterLastEntryNotAfterComments",
                "[A]\na=1\n; about B\n\n[B]\nb=2\n", "a", "c", "3",
                "[A]\na=1\nc=3\n; about B\n\n[B]\nb=2\n"},
        SetCase{"AppendInEmptySection", "[A]\n[B]\n", "A", "k", "v", "[A]\nk=v\n[B]\n"},
        SetCase{"AppendInFirstOfRepeatedSection", "[A]\na=1\n[A]\nb=2\n", "A", "c", "3",
                "[A]\na=1\nc=3\n[A]\nb=2\n"},
        SetCase{"AppendToLastLineWithoutEnding", "[A]\r\na=1", "A", "b", "2",
                "[A]\r\na=1\r\nb=2\r\n"},
        SetCase{"NewSectionUsesCrlfOfFile", "; c\r\n[A]\r\na=1\r\n", "B", "k", "v",
                "; c\r\n[A]\r\na=1\r\n[B]\r\nk=v\r\n"},
        SetCase{"NewSectionAfterTextWithoutEnding", "[A]\na=1", "B", "k", "v",
                "[A]\na=1\n[B]\nk=v\n"},
        SetCase{"CommentedKeyIsNotReplaced", "[A]\n;k=1\n", "A", "k", "2", "[A]\nk=2\n;k=1\n"}),
    [](const testing::TestParamInfo<SetCase>& info) { return std::string(info.param.name); });

TEST(ProfileEntryWritable, RefusesWhatWouldChangeTheFileStructure)
{
    EXPECT_TRUE(ProfileEntryWritable("ComPort", "Port", "/dev/ttyUSB0 = x ; y [z]"));
    EXPECT_TRUE(ProfileEntryWritable("ComPort", "Port", ""));
    const struct {
        std::string section, key, value;
    } refused[] = {
        {"ComPort", "Port", "COM1\n[Other]"}, {"ComPort", "Port", "a\rb"},
        {"ComPort", "Port", std::string("a\0b", 3)}, {"Com]Port", "Port", "v"},
        {"", "Port", "v"}, {"ComPort", "", "v"}, {"ComPort", "  ", "v"},
        {"ComPort", "Po=rt", "v"}, {"ComPort", "[Port", "v"}, {"ComPort", ";Port", "v"},
        {"Com\nPort", "Port", "v"},
    };
    for (const auto& r : refused)
        EXPECT_FALSE(ProfileEntryWritable(r.section, r.key, r.value))
            << "[" << r.section << "] " << r.key << "=" << r.value;
}

// A CR that does not end a line (a file cut after its last CR, a doubled CR)
// is a blank to the reader and the writer alike: a write after such a line
// reads back, and the entries already there keep their values.
TEST(ProfileText, StrayCarriageReturnsAreBlanksToReaderAndWriterAlike)
{
    const struct {
        const char* name;
        std::string text;
        std::string section, key;
        std::optional<std::string> value; // of key before the write
    } cases[] = {
        {"section line cut after its CR", "\r\n\n\n\n[[\r", "[", "\x80", std::nullopt},
        {"entry cut after its CR", "[A]\r\nk=v\r", "A", "k", "v"},
        {"doubled CRs", "[A]\r\r\nk=v\r\r\n", "A", "k", "v"},
        {"CRs around a name", "[\rA\r]\n\rk\r=v\n", "A", "k", "v"},
        {"lone CRs for line breaks", "[A]\rk=v\r", "A", "k", std::nullopt}, // one line: a section named "A"
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProfileFindValue(c.text, c.section, c.key), c.value);
        const std::string once = ProfileSetValue(c.text, c.section, "added", "1");
        EXPECT_EQ(ProfileFindValue(once, c.section, "added"), "1");
        EXPECT_EQ(ProfileFindValue(once, c.section, c.key), c.value);
        EXPECT_EQ(ProfileSetValue(once, c.section, "added", "1"), once);
        const std::string replaced = ProfileSetValue(once, c.section, c.key, "w");
        EXPECT_EQ(ProfileFindValue(replaced, c.section, c.key), "w");
        EXPECT_EQ(ProfileFindValue(replaced, c.section, "added"), "1");
    }
}

TEST(ProfileSetValue, WrittenValueReadsBack)
{
    std::string text = kHandEdited;
    text = ProfileSetValue(text, "ComPort", "Parity", "Even");
    text = ProfileSetValue(text, "Recall", "Recall1", "MetOp");
    text = ProfileSetValue(text, "comport", "port", "/dev/ttyUSB0");
    EXPECT_EQ(ProfileFindValue(text, "ComPort", "Parity"), "Even");
    EXPECT_EQ(ProfileFindValue(text, "Recall", "Recall1"), "MetOp");
    EXPECT_EQ(ProfileFindValue(text, "ComPort", "Port"), "/dev/ttyUSB0");
    EXPECT_EQ(ProfileFindValue(text, "Frequency", "MetopA"), "137.1");
}

} // namespace
