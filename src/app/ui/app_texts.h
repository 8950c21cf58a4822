#pragma once

// Texts of the program itself.
inline constexpr const char* kApplicationTitle = "Varnetrix Reader v. 0.4.3";  // caption of every message box
inline constexpr const char* kMainWindowCaption = "Varnetrix Reader v. 0.4.3  21 Jul 2019";
inline constexpr const char* kAboutText = "Varnetrix Reader v.0.4.3 Jul 2019";
inline constexpr const char* kClockPrefix = "Local Time  ";
inline constexpr const char* kOpenPortCaption = "Open Port";
inline constexpr const char* kClosePortCaption = "Close Port";

// Refusals and notices of robustness checks (the modem never sees these).
inline constexpr const char* kLineLostText =
    "The serial line on %1 was lost (the device went away or hung up). The port has been closed.";
inline constexpr const char* kUnsendableCharsText =
    "The request contains characters that cannot be sent over the serial line: ";
inline constexpr const char* kRequestTooLongText =
    "The request is too long to send (%1 characters; at most %2).";
// Requests are a few dozen characters; the driver's output queue holds 1024
// bytes. A longer text would hold the window in the write for minutes.
inline constexpr int kMaxRequestLength = 1024;
