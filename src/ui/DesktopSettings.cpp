#include "ui/DesktopSettings.h"

#include <QSettings>

namespace sonaro::ui {

namespace {
constexpr char kChinese[] = "zh";
constexpr char kEnglish[] = "en";
} // namespace

Language DesktopSettings::language() const
{
    const QSettings settings(m_path, QSettings::IniFormat);
    const QString value =
        settings
            .value(QLatin1String(kLanguageKey),
                   QLatin1String(kDefaultLanguage == Language::Chinese ? kChinese : kEnglish))
            .toString();
    if (value == QLatin1String(kEnglish)) return Language::English;
    if (value == QLatin1String(kChinese)) return Language::Chinese;
    return kDefaultLanguage;
}

bool DesktopSettings::setLanguage(Language language)
{
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(QLatin1String(kLanguageKey),
                      QLatin1String(language == Language::English ? kEnglish : kChinese));
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace sonaro::ui
