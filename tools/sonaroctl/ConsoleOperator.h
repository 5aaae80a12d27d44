#pragma once

#include "TextEscape.h"

#include "model/OperatorInterface.h"

#include <QString>
#include <QStringList>

#include <cstdio>

namespace sonaroctl {

// The core's messages go to standard error as "TITLE: text", so that standard output keeps only
// the command's own report. Questions are answered Yes only when --yes was given. While a change
// waits for the unit's confirmation, the core's reports of success ("Set ok.", "Open
// successfully") are held back: they are printed once the unit confirmed, dropped otherwise.
class ConsoleOperator : public sonaro::OperatorInterface
{
public:
    explicit ConsoleOperator(bool answerYes) : m_answerYes(answerYes) {}

    void showMessage(sonaro::Severity severity, const QString& text) override
    {
        const QString line =
            sonaro::severityTitle(severity) + QStringLiteral(": ") + escapeControls(text);
        if (m_holding && severity != sonaro::Severity::Error &&
            severity != sonaro::Severity::Warning) {
            m_held << line;
            return;
        }
        write(line);
    }
    void holdSuccessReports() { m_holding = true; }
    // Prints (confirmed) or drops what was held, and holds nothing more.
    void releaseHeld(bool confirmed)
    {
        if (confirmed)
            for (const QString& line : std::as_const(m_held))
                write(line);
        m_held.clear();
        m_holding = false;
    }
    bool confirm(sonaro::Severity severity, const QString& text) override
    {
        std::fprintf(stderr, "%s: %s %s\n", qPrintable(sonaro::severityTitle(severity)),
                     qPrintable(escapeControls(text)),
                     m_answerYes ? "yes (--yes)" : "no (give --yes to answer yes)");
        std::fflush(stderr);
        return m_answerYes;
    }

private:
    static void write(const QString& line)
    {
        std::fprintf(stderr, "%s\n", qPrintable(line));
        std::fflush(stderr);
    }

    bool m_answerYes;
    bool m_holding = false;
    QStringList m_held;
};

} // namespace sonaroctl
