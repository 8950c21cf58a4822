#pragma once
#include <QString>

class QLocale;
class QTime;

// The system's long time format without its time zone, which the status-bar
// clock does not show: the zone token goes with its own brackets ("(t)",
// "[t]") and with the blanks and comma that join it to the rest, so no
// "()", "[]" or trailing "," is left. Quoted text stays as it is.
QString WithoutTimeZone(const QString& format);

// The time of day in the locale's long time format, without the time zone.
QString LongTimeText(const QLocale& locale, const QTime& time);
