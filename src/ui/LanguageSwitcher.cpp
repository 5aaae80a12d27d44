#include "ui/LanguageSwitcher.h"

#include "ui/DesktopSettings.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace sonaro::ui {

LanguageSwitcher::LanguageSwitcher(UnitTable& table, QObject* parent)
    : QObject(parent), m_table(table)
{
}

bool LanguageSwitcher::load()
{
    // Qt's own strings (standard buttons, file dialogs) are optional; ours are compiled in.
    (void)m_qt.load(QStringLiteral("qtbase_zh_CN"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    return m_program.load(QStringLiteral(":/i18n/sonaro_zh_CN.qm"));
}

void LanguageSwitcher::setLanguage(Language language)
{
    const bool changed = m_table.language() != language;
    m_table.setLanguage(language);
    const bool chinese = language == Language::Chinese;
    if (chinese && !m_installed) {
        QCoreApplication::installTranslator(&m_qt);
        QCoreApplication::installTranslator(&m_program);
        m_installed = true;
    } else if (!chinese && m_installed) {
        QCoreApplication::removeTranslator(&m_program);
        QCoreApplication::removeTranslator(&m_qt);
        m_installed = false;
    }
    if (changed && !m_settingsPath.isEmpty()) DesktopSettings(m_settingsPath).setLanguage(language);
    if (changed) emit languageChanged(language);
}

void LanguageSwitcher::toggle()
{
    setLanguage(m_table.english() ? Language::Chinese : Language::English);
}

void LanguageSwitcher::rememberIn(const QString& settingsPath)
{
    m_settingsPath.clear(); // reading the choice is no choice
    setLanguage(DesktopSettings(settingsPath).language());
    m_settingsPath = settingsPath;
}

} // namespace sonaro::ui
