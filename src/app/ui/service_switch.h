#pragma once
#include "station/listen_settings.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class QAction;
class TCustomIniFile;
class TForm1;

// The "Station" menu's switch of a network service: a checkable entry,
// ticked as the section's Enabled said at start. Switching it writes Enabled
// (and nothing else), reads the section afresh and hands it to apply. A
// refused write unticks the entry again and raises, for the handler guard to
// show. The entry belongs to the menu: delete it before what apply calls into.
QAction* AddServiceSwitch(TForm1& form, const QString& text, const QString& objectName, bool enabled,
                          TCustomIniFile& settings, std::string section, std::uint16_t defaultPort,
                          std::function<void(const ListenSettings&)> apply);
