#pragma once

#include "model/UnitTable.h"

#include <QObject>
#include <QTranslator>

namespace sonaro::ui {

// Installs the Chinese translation of the program (and Qt's own) or removes it. Every window
// retranslates itself on QEvent::LanguageChange, so a switch reaches every visible label at once.
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

private:
    UnitTable& m_table;
    QTranslator m_program;
    QTranslator m_qt;
    bool m_installed = false;
};

} // namespace sonaro::ui
