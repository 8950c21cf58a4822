#include "app/ui/clock_text.h"

#include <QLocale>
#include <QTime>

#include <vector>

namespace {

bool Joining(QChar c) { return c.isSpace() || c == QLatin1Char(',') || c == QLatin1Char(';'); }

// Which characters of the format are quoted text (the quotes included).
std::vector<bool> QuotedCharacters(const QString& format)
{
    std::vector<bool> quoted(static_cast<std::size_t>(format.size()), false);
    bool inside = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] == QLatin1Char('\'')) {
            quoted[static_cast<std::size_t>(i)] = true;
            inside = !inside;  // "''" inside quotes closes and opens again: still quoted
            continue;
        }
        quoted[static_cast<std::size_t>(i)] = inside;
    }
    return quoted;
}

} // namespace

QString WithoutTimeZone(const QString& format)
{
    QString f = format;
    for (;;) {
        const std::vector<bool> quoted = QuotedCharacters(f);
        auto plain = [&](qsizetype i) { return i >= 0 && i < f.size() && !quoted[static_cast<std::size_t>(i)]; };
        qsizetype begin = 0;
        while (begin < f.size() && !(plain(begin) && f[begin] == QLatin1Char('t')))
            ++begin;
        if (begin == f.size())
            return f.trimmed();
        qsizetype end = begin;
        while (plain(end) && f[end] == QLatin1Char('t'))
            ++end;

        // Its own brackets, with any blanks inside them.
        qsizetype open = begin - 1, close = end;
        while (plain(open) && f[open].isSpace())
            --open;
        while (plain(close) && f[close].isSpace())
            ++close;
        if (plain(open) && plain(close) &&
            ((f[open] == QLatin1Char('(') && f[close] == QLatin1Char(')')) ||
             (f[open] == QLatin1Char('[') && f[close] == QLatin1Char(']')))) {
            begin = open;
            end = close + 1;
        }

        // The separator that joins it to what comes before, or, at the
        // start, to what follows.
        qsizetype before = begin;
        while (plain(before - 1) && Joining(f[before - 1]))
            --before;
        if (before > 0) {
            begin = before;
        } else {
            begin = 0;
            while (plain(end) && Joining(f[end]))
                ++end;
        }
        f.remove(begin, end - begin);
    }
}

QString LongTimeText(const QLocale& locale, const QTime& time)
{
    return locale.toString(time, WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)));
}
