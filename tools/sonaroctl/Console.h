#pragma once

#include "model/OperatorInterface.h"

#include <QString>
#include <QStringList>

namespace sonaroctl {

// Text from the network or from a file as a terminal may show it: control characters (C0, DEL,
// C1) become "\xNN", a backslash becomes "\\", so nothing received can move the cursor, recolour
// the terminal or fake a line of output.
QString escapeControls(const QString& text);

// Where a run's words go. The report goes to standard output, everything else to standard error
// as "sonaroctl: ..." or "TITLE: text". A report that cannot be written (a full disk, a closed
// pipe) is remembered: the run then fails, whatever the unit said.
//
// As the core's operator: questions are answered Yes only with --yes; messages of success ("Set
// ok.", "Open successfully", "Changing IP address successful") are held until the run's status
// is known and printed only beside a status of 0.
class Console : public sonaro::OperatorInterface
{
public:
    explicit Console(bool answerYes) : m_answerYes(answerYes) {}

    // One line (or block) of the report; a line end is added when missing.
    void report(const QString& text);
    void error(const QString& text);
    void note(const QString& text) { error(text); }
    // Why the report could not be written; empty while it could.
    QString outputProblem() const { return m_outputProblem; }
    // The run ends with status and reason: a report or log that could not be written (problem)
    // makes it a failure. Held messages are printed when the status stays 0, dropped otherwise.
    // Returns the final status.
    int conclude(int status, const QString& reason, const QString& problem = {});

    void showMessage(sonaro::Severity severity, const QString& text) override;
    bool confirm(sonaro::Severity severity, const QString& text) override;
    void chooseOfflineSettings(const QList<sonaro::ChangeId>& differences,
                               std::function<void(sonaro::OfflineChoice)> answer) override;

private:
    static void writeError(const QString& line);

    bool m_answerYes;
    QStringList m_held;
    QString m_outputProblem;
};

} // namespace sonaroctl
