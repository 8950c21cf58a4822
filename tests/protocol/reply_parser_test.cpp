#include "protocol/reply_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records every display update as one readable line, in call order.
class RecordingDisplay final : public ReplyDisplay {
public:
    void ShowStatusField(int k, const std::string& text) override
    {
        log.push_back("Label" + std::to_string(k) + "=" + text);
    }
    void ShowOffset(const std::string& text) override { log.push_back("Label8=" + text); }
    void ShowDecoderLock(DecoderLock lock) override
    {
        log.push_back(lock == DecoderLock::Ok ? "lock=OK" : "lock=FAULT");
    }
    void ShowScanLevel(const std::string& text) override { log.push_back("RSL=" + text); }

    std::vector<std::string> log;
};

using Log = std::vector<std::string>;

Log Fields(const std::vector<std::string>& values)
{
    Log log;
    for (std::size_t i = 0; i < values.size(); ++i)
        log.push_back("Label" + std::to_string(i + 1) + "=" + values[i]);
    return log;
}

// The state before each case: the flags set and a level on hand, so that a
// case that must leave them alone shows it.
ProgramState Primed()
{
    ProgramState s;
    s.LevelText = "-60";
    s.ScanLevelPending = true;
    s.ScanLevelRequested = true;
    return s;
}

struct ReplyCase {
    const char* name;
    std::string data;
    Log display;
    std::string levelText = "-60";
    std::string scanLevelText = "";
    bool scanLevelPending = true;
    bool scanLevelRequested = true;
};

class WorkedExamples : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(WorkedExamples, OneEvent)
{
    const ReplyCase& c = GetParam();
    ProgramState state = Primed();
    RecordingDisplay display;
    HandleReceived(state, c.data, display);
    EXPECT_EQ(display.log, c.display);
    EXPECT_EQ(state.LevelText, c.levelText);
    EXPECT_EQ(state.ScanLevelText, c.scanLevelText);
    EXPECT_EQ(state.ScanLevelPending, c.scanLevelPending);
    EXPECT_EQ(state.ScanLevelRequested, c.scanLevelRequested);
    EXPECT_EQ(state.RxLine, ""); // every case ends at a "]"
}

INSTANTIATE_TEST_SUITE_P(
    Replies, WorkedExamples,
    ::testing::Values(
        ReplyCase{"BcasEightFieldsDropsTheEighth", ">1/BCAS_a,b,c,d,e,f,g,h]",
                  Fields({"a", "b", "c", "d", "e", "f", "g"}), "a"},
        ReplyCase{"BcasRealValues", ">1/BCAS_<-60.0,1.2E-03,0.0E-09,0.0E-03,>12.5,50,0.0E-03,]",
                  Fields({"<-60.0", "1.2E-03", "0.0E-09", "0.0E-03", ">12.5", "50", "0.0E-03"}), "<-60.0"},
        ReplyCase{"BcasShortGivesEmptyFields", ">1/BCAS_a,b,c]", Fields({"a", "b", "", "", "", "", ""}), "a"},
        ReplyCase{"BcasEmpty", ">1/BCAS_]", Fields({"", "", "", "", "", "", ""}), ""},
        ReplyCase{"CsvLockOk", ">1/CSV_+1500\r>1/OK\r]", {"Label8=+1500", "lock=OK"}},
        ReplyCase{"CsvLockFault", ">1/CSV_-250\rhhhFLT\r]", {"Label8=-250", "lock=FAULT"}},
        ReplyCase{"CsvOtherLockLeavesLockDisplay", ">1/CSV_+1500\rhhhX\r]", {"Label8=+1500"}},
        ReplyCase{"CsvLockIsCaseSensitive", ">1/CSV_+1500\rhhhok\r]", {"Label8=+1500"}},
        ReplyCase{"CsvLockWithoutSecondCr", ">1/CSV_+1500\rhhhOK]", {"Label8=+1500"}},
        ReplyCase{"CsvWithoutCrEmptiesOffset", ">1/CSV_+1500]", {"Label8="}},
        ReplyCase{"RslPlain", ">1/RSL_-45.2dBm]", {"RSL=-45.2"}, "-60", "-45.2", false},
        ReplyCase{"RslBelowMark", ">1/RSL_<-60.0dBm]", {"RSL=-60.0"}, "-60", "-60.0", false},
        ReplyCase{"RslAboveMark", ">1/RSL_>-20.0dBm]", {"RSL=-20.0"}, "-60", "-20.0", false},
        ReplyCase{"RslBothMarksOneEach", ">1/RSL_<>-5dBm]", {"RSL=-5"}, "-60", "-5", false},
        ReplyCase{"RslMarksInWrongOrderOnlyFirst", ">1/RSL_><-5dBm]", {"RSL=<-5"}, "-60", "<-5", false},
        // An RSL reply with no level text: empty level, no crash.
        ReplyCase{"RslNoUnit", ">1/RSL_-45.2]", {"RSL="}, "-60", "", false},
        ReplyCase{"RslUnitAtOnce", ">1/RSL_dBm]", {"RSL="}, "-60", "", false},
        ReplyCase{"RslMarkAlone", ">1/RSL_<dBm]", {"RSL="}, "-60", "", false},
        ReplyCase{"RslHeadOnly", ">1/RSL]", {"RSL="}, "-60", "", false},
        ReplyCase{"Df", ">1/DF_137.500000]", {}, "-60", "", true, false},
        ReplyCase{"RemShownOnly", ">1/REM_OK]", {}},
        ReplyCase{"RmcShownOnly", ">1/RMC_3]", {}},
        ReplyCase{"ErrorAnswerDropped", "?1/XYZ_ERR]", {}},
        ReplyCase{"CloseAlone", "]", {}},
        ReplyCase{"HeadOfFourNotRecognised", ">12/BCAS_a,b,c,d,e,f,g,h]", {}},
        ReplyCase{"LineFeedAtHeadNotRecognised", "\n>1/BCAS_a,b,c,d,e,f,g,h]", {}},
        // Only the first occurrence counts: "BCAS" earlier in the head region.
        ReplyCase{"FirstOccurrenceMustBeAtFour", "BCAS_1/BCAS_a,]", {}},
        // Head characters are not examined.
        ReplyCase{"AnyHead", "xyzDF]", {}, "-60", "", true, false},
        // Branches see the line as the earlier ones left it: after BCAS strips
        // eight characters, the rest is tested for CSV, RSL and DF in turn.
        ReplyCase{"BranchesChain", ">1/BCAS_,,,,,,,>1/DF_]", Fields({"", "", "", "", "", "", ""}), "", "", true,
                  false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyAssembly, ReplySplitOverThreeEventsIsHandledOnlyAtTheThird)
{
    ProgramState state = Primed();
    RecordingDisplay display;
    HandleReceived(state, ">1/BC", display);
    HandleReceived(state, "AS_a,b,c,d,e,f", display);
    EXPECT_TRUE(display.log.empty());
    EXPECT_EQ(state.LevelText, "-60");
    EXPECT_EQ(state.RxLine, ">1/BCAS_a,b,c,d,e,f");
    HandleReceived(state, ",g,h]", display);
    EXPECT_EQ(display.log, Fields({"a", "b", "c", "d", "e", "f", "g"}));
    EXPECT_EQ(state.LevelText, "a");
    EXPECT_EQ(state.RxLine, "");
}

TEST(ReplyAssembly, TwoRepliesInOneEventAreHandledInOrder)
{
    ProgramState state = Primed();
    RecordingDisplay display;
    HandleReceived(state, ">1/DF_136.2]>1/RSL_-50.0dBm]", display);
    EXPECT_FALSE(state.ScanLevelRequested);
    EXPECT_FALSE(state.ScanLevelPending);
    EXPECT_EQ(state.ScanLevelText, "-50.0");
    EXPECT_EQ(display.log, (Log{"RSL=-50.0"}));
}

TEST(ReplyAssembly, StrayLineFeedSpoilsOnlyTheNextReply)
{
    ProgramState state = Primed();
    RecordingDisplay display;
    HandleReceived(state, ">1/CSV_+10\r>1/OK\r]\n>1/BCAS_a,b,c,d,e,f,g,]>1/BCAS_p,q,r,s,t,u,v,]", display);
    Log expected{"Label8=+10", "lock=OK"};
    for (const auto& line : Fields({"p", "q", "r", "s", "t", "u", "v"}))
        expected.push_back(line);
    EXPECT_EQ(display.log, expected);
    EXPECT_EQ(state.LevelText, "p");
}

TEST(ReplyAssembly, LevelOfAnRslReplyLastsOnlyUntilTheNextEvent)
{
    ProgramState state = Primed();
    RecordingDisplay display;
    HandleReceived(state, ">1/RSL_-45.2dBm]", display);
    ASSERT_EQ(state.ScanLevelText, "-45.2");
    HandleReceived(state, "\r\n", display);
    EXPECT_EQ(state.ScanLevelText, "");
    EXPECT_FALSE(state.ScanLevelPending); // only the text goes; the flag stays as the reply left it
    EXPECT_EQ(display.log, (Log{"RSL=-45.2"})); // the scanner's label keeps the last level shown
}

TEST(ReplyAssembly, FieldsStartEmptyForEachReplyOfTheSameEvent)
{
    ProgramState state = Primed();
    RecordingDisplay display;
    HandleReceived(state, ">1/BCAS_a,b,c,d,e,f,g,]>1/BCAS_x,]", display);
    Log expected = Fields({"a", "b", "c", "d", "e", "f", "g"});
    for (const auto& line : Fields({"x", "", "", "", "", "", ""}))
        expected.push_back(line);
    EXPECT_EQ(display.log, expected);
}

TEST(ReplyAssembly, LineWithoutCloseIsBoundedToItsNewestBytes)
{
    ProgramState state = Primed();
    RecordingDisplay display;
    std::string sent;
    // 1000-byte events of noise, never a "]", well past the bound.
    for (int i = 0; i < 200; ++i) {
        std::string chunk(1000, static_cast<char>('a' + i % 26));
        sent += chunk;
        HandleReceived(state, chunk, display);
        ASSERT_LE(state.RxLine.size(), kRxLineLimit);
    }
    EXPECT_EQ(state.RxLine, sent.substr(sent.size() - kRxLineLimit));

    // One event larger than the bound is cut the same way.
    std::string flood(kRxLineLimit + 5000, 'z');
    flood.replace(flood.size() - 3, 3, "END");
    HandleReceived(state, flood, display);
    EXPECT_EQ(state.RxLine.size(), kRxLineLimit);
    EXPECT_EQ(state.RxLine.substr(state.RxLine.size() - 3), "END");

    // The noise ends at the next "]"; the reply after it is read normally.
    HandleReceived(state, "]>1/RSL_-45.2dBm]", display);
    EXPECT_EQ(state.RxLine, "");
    EXPECT_EQ(state.ScanLevelText, "-45.2");
    EXPECT_EQ(display.log, (Log{"RSL=-45.2"}));
}

TEST(DecoderLockText, OnlyExactOkAndFltCount)
{
    EXPECT_EQ(DecoderLockFromText("OK"), DecoderLock::Ok);
    EXPECT_EQ(DecoderLockFromText("FLT"), DecoderLock::Fault);
    for (const char* other : {"", "ok", "OK ", " FLT", "FAULT", "X"})
        EXPECT_FALSE(DecoderLockFromText(other).has_value()) << other;
}

// Keeps the replies as parsed, after the displays were written.
class ReplyKeeper final : public ReplyDisplay {
public:
    void ShowStatusField(int, const std::string&) override { ++displays; }
    void ShowOffset(const std::string&) override { ++displays; }
    void ShowDecoderLock(DecoderLock) override { ++displays; }
    void ShowScanLevel(const std::string&) override { ++displays; }
    void Replied(const ParsedReply& reply) override
    {
        EXPECT_GT(displays, 0 + static_cast<int>(replies.size())) << "told before the displays were written";
        replies.push_back(reply);
    }
    int displays = 0;
    std::vector<ParsedReply> replies;
};

TEST(ParsedReplies, EachKnownReplyIsPassedOnWithItsTextsAsSent)
{
    ProgramState state = Primed();
    ReplyKeeper keeper;
    HandleReceived(state,
                   ">1/BCAS_-45.2,<1.0E-9,2.0E-5,0,7.5,50,1.0E-3,]"
                   ">1/CSV_+120\r>1/FLT\r]>1/RSL_<-50.5dBm]>1/DF_]>1/XYZ_]",
                   keeper);
    ASSERT_EQ(keeper.replies.size(), 4u);
    EXPECT_EQ(keeper.replies[0].kind, ReplyKind::Bcas);
    EXPECT_EQ(keeper.replies[0].fields,
              (std::array<std::string, 7>{"-45.2", "<1.0E-9", "2.0E-5", "0", "7.5", "50", "1.0E-3"}));
    EXPECT_EQ(keeper.replies[1].kind, ReplyKind::Csv);
    EXPECT_EQ(keeper.replies[1].offset, "+120");
    EXPECT_EQ(keeper.replies[1].lockText, "FLT");
    EXPECT_EQ(keeper.replies[2].kind, ReplyKind::Rsl);
    EXPECT_EQ(keeper.replies[2].level, "-50.5");
    EXPECT_EQ(keeper.replies[3].kind, ReplyKind::Df);
}

} // namespace
