// The clock's time format: the locale's long time format without the time
// zone, and without the brackets and separator that belonged to it.
#include "app/ui/clock_text.h"

#include <QCoreApplication>
#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <string>

namespace {

struct FormatCase {
    const char* locale;
    const char* format;  // the cleaned long time format
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.locale; }

class LocaleClock : public ::testing::TestWithParam<FormatCase> {};

TEST_P(LocaleClock, DropsTheTimeZoneWithItsBracketsAndSeparator)
{
    const FormatCase& c = GetParam();
    const QLocale locale(QString::fromLatin1(c.locale));
    ASSERT_EQ(locale.name(), QString::fromLatin1(c.locale)) << "the locale is known to Qt";
    EXPECT_EQ(WithoutTimeZone(locale.timeFormat(QLocale::LongFormat)).toStdString(), c.format)
        << "from " << locale.timeFormat(QLocale::LongFormat).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LocaleClock,
    ::testing::Values(FormatCase{"C", "HH:mm:ss"},                    // HH:mm:ss t
                      FormatCase{"en_US", "h:mm:ss AP"},              // h:mm:ss AP t
                      FormatCase{"de_DE", "HH:mm:ss"},
                      FormatCase{"ca_ES", "H:mm:ss"},                 // H:mm:ss (t)
                      FormatCase{"eu_ES", "HH:mm:ss"},                // HH:mm:ss (t)
                      FormatCase{"zh_TW", "Bh:mm:ss"},                // Bh:mm:ss [t]
                      FormatCase{"yue_HK", "APh:mm:ss"},              // APh:mm:ss [t]
                      FormatCase{"be_BY", "HH:mm:ss"},                // HH:mm:ss, t
                      FormatCase{"sq_AL", "h:mm:ss AP"},              // h:mm:ss AP, t
                      FormatCase{"zh_HK", "APh:mm:ss"},               // t APh:mm:ss
                      FormatCase{"my_MM", "HH:mm:ss"},                // t HH:mm:ss
                      FormatCase{"bg_BG", "H:mm:ss '\xd1\x87'."},     // the hour's abbreviation keeps its point
                      FormatCase{"fr_CH", "HH.mm:ss 'h'"},            // HH.mm:ss 'h' t
                      FormatCase{"nds_DE", "'Klock' H.mm:ss"}),       // 'Klock' H.mm:ss (t)
    [](const auto& info) { return std::string(info.param.locale); });

TEST(Clock, QuotedTextAndTheRestStayAsTheyAre)
{
    struct Case {
        const char* format;
        const char* expected;
    };
    const Case cases[] = {
        {"HH:mm:ss 'at' t", "HH:mm:ss 'at'"},           // a "t" in quotes is text
        {"HH:mm:ss 'it''s' (t)", "HH:mm:ss 'it''s'"},   // a quote inside quotes
        {"HH:mm:ss", "HH:mm:ss"},                       // nothing to remove
        {"HH:mm:ss [ t ]", "HH:mm:ss"},
        {"t", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(WithoutTimeZone(QString::fromUtf8(c.format)).toStdString(), c.expected) << c.format;
}

// Whatever the locale, no zone, no empty brackets and no dangling separator.
TEST(Clock, NoLocaleKeepsAZoneOrWhatSurroundedIt)
{
    const QRegularExpression leftover(QStringLiteral(R"(\(\s*\)|\[\s*\]|^[\s,;]|[\s,;]$)"));
    const QRegularExpression quoted(QStringLiteral("'[^']*'"));
    int seen = 0;
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        const QString format = WithoutTimeZone(locale.timeFormat(QLocale::LongFormat));
        SCOPED_TRACE(locale.name().toStdString() + ": " + format.toStdString());
        EXPECT_FALSE(leftover.match(format).hasMatch());
        QString unquoted = format;
        unquoted.remove(quoted);
        EXPECT_FALSE(unquoted.contains(QLatin1Char('t')));
        EXPECT_TRUE(unquoted.contains(QLatin1Char('m')) && unquoted.contains(QLatin1Char('s')));
        ++seen;
    }
    EXPECT_GT(seen, 100);
}

} // namespace
