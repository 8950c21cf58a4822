#pragma once

// The program: settings file, application object, the three windows in
// order, the event loop. Returns the exit code (always 0).
int RunVarnetrixReader(char* programName);
