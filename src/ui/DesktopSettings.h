#pragma once

#include "model/UnitTable.h"

#include <QString>

namespace sonaro::ui {

// What the desktop program remembers of the operator's choices, in desktop.ini in the data
// directory (the unit's own settings stay in data.ini). Written at once, so that a crash keeps
// the choice too.
class DesktopSettings
{
public:
    static constexpr char kFileName[] = "desktop.ini";
    // "zh" or "en"; without it the program starts in Chinese.
    static constexpr char kLanguageKey[] = "language";
    static constexpr Language kDefaultLanguage = Language::Chinese;

    explicit DesktopSettings(const QString& path) : m_path(path) {}

    Language language() const;
    // False when the file could not be written.
    bool setLanguage(Language language);

private:
    QString m_path;
};

} // namespace sonaro::ui
