#pragma once
#include <string>

// The working directory as the operating system reports it, without a
// trailing separator except at a root.
std::string GetWorkingDirectory();

// The native path separator: '\\' on Windows, '/' elsewhere.
char PathSeparator();

// The settings file path: working directory, separator, "varnetrixreader.ini",
// formed anew at every call.
std::string SettingsFilePath();
