#pragma once

#include "model/UnitTable.h"

#include <QObject>
#include <QString>
#include <QTranslator>

namespace sonaro::ui {

// Installs the Chinese translation of the program (and Qt's own) or removes it. Every window
// retranslates itself on QEvent::LanguageChange, so a switch reaches every visible label at once.
// Once told where, it remembers the operator's choice for the next start.
class LanguageSwitcher : public QObject
{
    Q_OBJECT

public:
    explicit LanguageSwitcher(UnitTable& table, QObject* parent = nullptr);

    Language language() const { return m_table.language(); }
    // Loads the translations; false when the program's own translation is missing.
    bool load();
    void setLanguage(Language language);
    void toggle();
    // Switches to the language kept in the desktop settings file at path (the program's first
    // language when it keeps none) and keeps every later switch there.
    void rememberIn(const QString& settingsPath);

signals:
    void languageChanged(sonaro::Language language);

private:
    UnitTable& m_table;
    QTranslator m_program;
    QTranslator m_qt;
    QString m_settingsPath;
    bool m_installed = false;
};

} // namespace sonaro::ui
