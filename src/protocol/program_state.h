#pragma once
#include <string>

// The program-wide state, one instance for the whole run, owned by the main
// window and handed by reference to those who read or write it. Texts are
// 8-bit byte strings.
struct ProgramState {
    std::string RxLine;             // characters of the reply being received
    std::string LastCommand;        // request most recently sent by the main window
    std::string LevelText = "-60";  // signal level text of the last BCAS reply
    std::string ScanLevelText;      // level text of an RSL reply in the current receive event
    double ChannelFrequency = 0.0;  // MHz of the satellite channel chosen last
    bool ScanLevelPending = false;  // the scanner waits for an RSL reply
    bool ScanLevelRequested = false;// the scanner has asked for the level (cleared by DF replies)
};
