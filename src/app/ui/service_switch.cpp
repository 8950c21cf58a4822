#include "app/ui/service_switch.h"

#include "app/ui/form1.h"
#include "platform/ini_file.h"
#include "platform/ui/guard.h"

#include <QAction>
#include <QMenu>

QAction* AddServiceSwitch(TForm1& form, const QString& text, const QString& objectName, bool enabled,
                          TCustomIniFile& settings, std::string section, std::uint16_t defaultPort,
                          std::function<void(const ListenSettings&)> apply)
{
    QAction* action = form.StationMenu()->addAction(text);
    action->setObjectName(objectName);
    action->setCheckable(true);
    action->setChecked(enabled);
    QObject::connect(action, &QAction::triggered, action,
                     Guard([action, &settings, section = std::move(section), defaultPort, apply = std::move(apply)] {
                         const bool on = action->isChecked();
                         try {
                             settings.WriteValue(section, "Enabled", on ? "1" : "0");
                         } catch (...) {
                             action->setChecked(!on);  // nothing changed; the guard shows why
                             throw;
                         }
                         apply(ReadListenSettings(settings, section, defaultPort));
                     }));
    return action;
}
