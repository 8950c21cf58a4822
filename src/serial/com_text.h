#pragma once
#include "serial/com_types.h"

#include <string>

// Text forms of the line-setting enumerations, as the settings file and the
// setup dialog show them. Text to value compares ignoring case, takes the
// first member whose text matches, and gives the fallback when none does.

std::string BaudRateToStr(TBaudRate value);   // "Custom", "110" ... "256000"
TBaudRate StrToBaudRate(const std::string& text);      // fallback br9600
std::string StopBitsToStr(TStopBits value);   // "1", "1.5", "2"
TStopBits StrToStopBits(const std::string& text);      // fallback sbOneStopBit
std::string DataBitsToStr(TDataBits value);   // "5" ... "8"
TDataBits StrToDataBits(const std::string& text);      // fallback dbEight
std::string ParityToStr(TParityBits value);   // "None", "Odd", "Even", "Mark", "Space"
TParityBits StrToParity(const std::string& text);      // fallback prNone
std::string FlowControlToStr(TFlowControl value); // "Hardware", "Software", "None", "Custom"
TFlowControl StrToFlowControl(const std::string& text); // fallback fcCustom
std::string RTSToStr(TRTSFlowControl value);  // "Disable", "Enable", "Handshake", "Toggle"
TRTSFlowControl StrToRTS(const std::string& text);     // fallback rtsDisable
std::string DTRToStr(TDTRFlowControl value);  // "Disable", "Enable", "Handshake"
TDTRFlowControl StrToDTR(const std::string& text);     // fallback dtrDisable

// The bit rate a member names (0 for brCustom).
int BaudRateToInt(TBaudRate value);
