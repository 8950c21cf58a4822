#include "platform/ini_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace {

struct IntCase {
    const char* text;
    std::int32_t expected; // with the default -7
};

void PrintTo(const IntCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ReadIntValue : public testing::TestWithParam<IntCase> {};

TEST_P(ReadIntValue, ConvertsByTheIntegerGrammarOrGivesTheDefault)
{
    TempDir dir;
    TIniFile ini(dir.File("t.ini"));
    ini.WriteValue("S", "k", GetParam().text);
    EXPECT_EQ(ini.ReadIntValue("S", "k", -7), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Grammar, ReadIntValue,
    testing::Values(IntCase{"9600", 9600}, IntCase{"+12", 12}, IntCase{"-12", -12},
                    IntCase{"0", 0}, IntCase{"007", 7},
                    IntCase{"2147483647", 2147483647}, IntCase{"-2147483648", INT32_MIN},
                    IntCase{"2147483648", -7}, IntCase{"-2147483649", -7},
                    IntCase{"99999999999999999999", -7},
                    IntCase{"$1F", 31}, IntCase{"0x1f", 31}, IntCase{"0X1F", 31}, IntCase{"x1F", 31},
                    IntCase{"X1f", 31}, IntCase{"$7FFFFFFF", 2147483647},
                    IntCase{"$80000000", INT32_MIN}, IntCase{"0xFFFFFFFF", -1},
                    IntCase{"$100000000", -7}, IntCase{"$0000000001", 1},
                    IntCase{"$", -7}, IntCase{"0x", -7}, IntCase{"$1G", -7}, IntCase{"-$1F", -7},
                    IntCase{"", -7}, IntCase{"+", -7}, IntCase{"-", -7}, IntCase{"12a", -7},
                    IntCase{"1.5", -7}, IntCase{"1 2", -7}, IntCase{"++1", -7}, IntCase{"abc", -7},
                    IntCase{"1e3", -7}));

TEST(TryStrToInt, BlanksOnlyBeforeTheNumber)
{
    // The file class trims values, so the blanks are seen only by direct callers.
    std::int32_t v = 0;
    EXPECT_TRUE(TryStrToInt("  \t-42", v));
    EXPECT_EQ(v, -42);
    EXPECT_TRUE(TryStrToInt(" $ff", v));
    EXPECT_EQ(v, 255);
    v = 5;
    EXPECT_FALSE(TryStrToInt("42 ", v));
    EXPECT_FALSE(TryStrToInt("   ", v));
    EXPECT_EQ(v, 5); // untouched on failure
}

TEST(TIniFile, MissingKeyAndFileGiveDefaults)
{
    TempDir dir;
    TIniFile ini(dir.File("none.ini"));
    EXPECT_EQ(ini.ReadValue("S", "k", "def"), "def");
    EXPECT_EQ(ini.ReadIntValue("S", "k", 9600), 9600);
    EXPECT_FALSE(std::filesystem::exists(ini.FileName()));
}

TEST(TIniFile, WriteIntValueWritesDecimal)
{
    TempDir dir;
    TIniFile ini(dir.File("t.ini"));
    ini.WriteIntValue("S", "a", -2147483647 - 1);
    ini.WriteIntValue("S", "b", 1024);
    EXPECT_EQ(ini.ReadValue("S", "a", ""), "-2147483648");
    EXPECT_EQ(ini.ReadValue("S", "b", ""), "1024");
    EXPECT_EQ(ini.ReadIntValue("S", "a", 0), INT32_MIN);
}

TEST(TIniFile, RefusedWriteRaisesWithThePath)
{
    TempDir dir;
    const std::string path = dir.File("is-a-directory");
    std::filesystem::create_directory(path);
    TIniFile ini(path);
    try {
        ini.WriteValue("S", "k", "v");
        FAIL() << "no exception";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_THROW(ini.WriteIntValue("S", "k", 1), EIniFileException);
}

TEST(TIniFile, WritesThatWouldChangeTheFileStructureAreRefusedAndLeaveTheFile)
{
    // The same refusals on every system: a line break or a bracket in the
    // wrong place would otherwise become lines and sections of their own.
    TempDir dir;
    TIniFile ini(dir.File("t.ini"));
    ini.WriteValue("ComPort", "Port", "COM1");
    const std::string before = ReadFileBytes(ini.FileName());
    const struct {
        std::string section, key, value;
    } refused[] = {
        {"ComPort", "Port", "COM2\r\n[Recall]\r\nRecall1=x"}, {"ComPort", "Port", "COM2\nBaudRate=1"},
        {"ComPort", "Port", "COM2\rx"},   {"ComPort", "Port", std::string("COM2\0x", 6)},
        {"Com]Port", "Port", "COM2"},     {"ComPort", "Po=rt", "COM2"},
        {"ComPort", "[Port", "COM2"},     {"ComPort", ";Port", "COM2"},
        {"ComPort", "", "COM2"},          {"", "Port", "COM2"},
        {"Com\nPort", "Port", "COM2"},    {"ComPort", "Po\rrt", "COM2"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE("[" + r.section + "] " + r.key + "=" + r.value);
        try {
            ini.WriteValue(r.section, r.key, r.value);
            ADD_FAILURE() << "written";
        } catch (const EIniFileException& e) {
            EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.FileName());
        }
        EXPECT_EQ(ReadFileBytes(ini.FileName()), before);
    }
    EXPECT_EQ(ini.ReadValue("ComPort", "Port", ""), "COM1");
    EXPECT_EQ(ini.ReadValue("Recall", "Recall1", "none"), "none");
    // Brackets, "=" and ";" inside a value are plain text.
    ini.WriteValue("ComPort", "Port", "a=b ; [c]");
    EXPECT_EQ(ini.ReadValue("ComPort", "Port", ""), "a=b ; [c]");
}

} // namespace
