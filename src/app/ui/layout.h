#pragma once
#include "platform/ui/form_layout.h"

#include <span>

// The layouts of the main window and the Options window, as tables of the
// form machinery.

WindowLayout Form1Window();
std::span<const ControlLayout> Form1Controls();
std::span<const StatusPanelLayout> Form1StatusPanels();

WindowLayout Form2Window();
std::span<const ControlLayout> Form2Controls();
