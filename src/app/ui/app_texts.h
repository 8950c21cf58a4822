#pragma once

// Texts of the program itself.
inline constexpr const char* kApplicationTitle = "Varnetrix Reader v. 0.4.3";  // caption of every message box
inline constexpr const char* kMainWindowCaption = "Varnetrix Reader v. 0.4.3  21 Jul 2019";
inline constexpr const char* kAboutText = "Varnetrix Reader v.0.4.3 Jul 2019";
inline constexpr const char* kClockPrefix = "Local Time  ";
inline constexpr const char* kOpenPortCaption = "Open Port";
inline constexpr const char* kClosePortCaption = "Close Port";
