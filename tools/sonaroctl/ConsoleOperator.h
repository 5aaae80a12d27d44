#pragma once

#include "model/OperatorInterface.h"

#include <QString>

#include <cstdio>

namespace sonaroctl {

// The core's messages go to standard error as "TITLE: text", so that standard output keeps only
// the command's own report. Questions are answered Yes only when --yes was given.
class ConsoleOperator : public sonaro::OperatorInterface
{
public:
    explicit ConsoleOperator(bool answerYes) : m_answerYes(answerYes) {}

    void showMessage(sonaro::Severity severity, const QString& text) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(sonaro::severityTitle(severity)),
                     qPrintable(text));
        std::fflush(stderr);
    }
    bool confirm(sonaro::Severity severity, const QString& text) override
    {
        std::fprintf(stderr, "%s: %s %s\n", qPrintable(sonaro::severityTitle(severity)),
                     qPrintable(text),
                     m_answerYes ? "yes (--yes)" : "no (give --yes to answer yes)");
        std::fflush(stderr);
        return m_answerYes;
    }

private:
    bool m_answerYes;
};

} // namespace sonaroctl
