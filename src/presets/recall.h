#pragma once
#include "platform/ini_file.h"
#include "protocol/sender.h"

#include <array>
#include <string>
#include <string_view>

// The five recall buttons Button1config..Button5config.
struct RecallButton {
    int number;                     // configuration number sent with RMC, 1..5
    std::string_view hint;          // tooltip, fixed
    std::string_view key;           // key in section "Recall"
    std::string_view defaultCaption;
};

inline constexpr std::string_view kRecallSection = "Recall";

inline constexpr std::array<RecallButton, 5> kRecallButtons{{
    {1, "Recall preset 1", "Recall1", "MetOp"},
    {2, "Recall preset 2", "Recall2", "FY3A"},
    {3, "Recall preset 3", "Recall3", "FY3B"},
    {4, "Recall preset 4", "Recall4", "LRIT"},
    {5, "Recall preset 5", "Recall5", "Conf.5"},
}};

using RecallCaptions = std::array<std::string, 5>;

// Button<n>configClick: guard; REM; 400 ms; "<1/RMC_" + n.
// n outside 1..5 raises std::invalid_argument before anything is sent.
void Recall(SenderContext ctx, int n);

// The captions from section "Recall", keys Recall1..Recall5 read in that
// order, each with its default (FormCreate).
RecallCaptions ReadRecallCaptions(TCustomIniFile& settings);

// Writes the captions in key order 1..5 (FormClose); a refused write raises
// and the later keys are not written.
void WriteRecallCaptions(TCustomIniFile& settings, const RecallCaptions& captions);
