#include "serial/com_text.h"
#include "serial/ecomport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ErrorCase {
    int number;
    int systemError;
    const char* message;
    int storedSystemError;
};

TEST(EComPortTest, MessageCarriesTheOsCodeOnlyWhenAboveZero)
{
    const ErrorCase cases[] = {
        {1, 2, "Unable to open com port (Error: 2)", 2},
        {2, 5, "WriteFile function failed (Error: 5)", 5},
        {7, 22, "SetCommState function failed (Error: 22)", 22},
        {14, -1, "Cannot set property while connected", -1},
        {17, 0, "Failed to load settings", -1},
        {24, -1, "Port Not Open", -1},
    };
    for (const auto& c : cases) {
        EComPort e(c.number, c.systemError);
        EXPECT_STREQ(e.what(), c.message) << c.number;
        EXPECT_EQ(e.ErrorNumber(), c.number);
        EXPECT_EQ(e.SystemError(), c.storedSystemError) << c.number;
    }
}

TEST(EComPortTest, NamedConstantsCountFromZeroAndNumbersFromOne)
{
    EXPECT_EQ(EComPort(CE_OpenFailed).ErrorNumber(), 1);
    EXPECT_EQ(EComPort(CE_ClearComFailed).ErrorNumber(), 10);
    EXPECT_STREQ(EComPort(CE_ConnChangeProp).what(), "Cannot set property while connected");
    EXPECT_STREQ(EComPort(CEPortNotOpen).what(), "Port Not Open");
    EXPECT_EQ(ComErrorMessage(0), "");
    EXPECT_EQ(ComErrorMessage(25), "");
}

TEST(ComTextTest, EveryMemberRoundTripsThroughItsText)
{
    for (int i = brCustom; i <= br256000; ++i)
        EXPECT_EQ(StrToBaudRate(BaudRateToStr(static_cast<TBaudRate>(i))), i);
    for (int i = sbOneStopBit; i <= sbTwoStopBits; ++i)
        EXPECT_EQ(StrToStopBits(StopBitsToStr(static_cast<TStopBits>(i))), i);
    for (int i = dbFive; i <= dbEight; ++i)
        EXPECT_EQ(StrToDataBits(DataBitsToStr(static_cast<TDataBits>(i))), i);
    for (int i = prNone; i <= prSpace; ++i)
        EXPECT_EQ(StrToParity(ParityToStr(static_cast<TParityBits>(i))), i);
    for (int i = fcHardware; i <= fcCustom; ++i)
        EXPECT_EQ(StrToFlowControl(FlowControlToStr(static_cast<TFlowControl>(i))), i);
    for (int i = rtsDisable; i <= rtsToggle; ++i)
        EXPECT_EQ(StrToRTS(RTSToStr(static_cast<TRTSFlowControl>(i))), i);
    for (int i = dtrDisable; i <= dtrHandshake; ++i)
        EXPECT_EQ(StrToDTR(DTRToStr(static_cast<TDTRFlowControl>(i))), i);
}

TEST(ComTextTest, TextsAreTheListedOnes)
{
    EXPECT_EQ(BaudRateToStr(brCustom), "Custom");
    EXPECT_EQ(BaudRateToStr(br9600), "9600");
    EXPECT_EQ(BaudRateToStr(br256000), "256000");
    EXPECT_EQ(StopBitsToStr(sbOne5StopBits), "1.5");
    EXPECT_EQ(DataBitsToStr(dbFive), "5");
    EXPECT_EQ(ParityToStr(prSpace), "Space");
    EXPECT_EQ(FlowControlToStr(fcSoftware), "Software");
    EXPECT_EQ(RTSToStr(rtsToggle), "Toggle");
    EXPECT_EQ(DTRToStr(dtrHandshake), "Handshake");
    EXPECT_EQ(BaudRateToInt(br56000), 56000);
}

TEST(ComTextTest, TextIsComparedIgnoringCaseWithFallbacksForUnknownText)
{
    EXPECT_EQ(StrToParity("even"), prEven);
    EXPECT_EQ(StrToFlowControl("HARDWARE"), fcHardware);
    EXPECT_EQ(StrToBaudRate("custom"), brCustom);
    EXPECT_EQ(StrToRTS("toggle"), rtsToggle);

    EXPECT_EQ(StrToBaudRate("9601"), br9600);
    EXPECT_EQ(StrToBaudRate(""), br9600);
    EXPECT_EQ(StrToStopBits("3"), sbOneStopBit);
    EXPECT_EQ(StrToDataBits("9"), dbEight);
    EXPECT_EQ(StrToParity("Evens"), prNone);
    EXPECT_EQ(StrToFlowControl("Xon"), fcCustom);
    EXPECT_EQ(StrToRTS("On"), rtsDisable);
    EXPECT_EQ(StrToDTR("Toggle"), dtrDisable); // DTR has no toggle
}

} // namespace
