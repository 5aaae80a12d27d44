#include "Console.h"

#include "model/SettingCatalogue.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace sonaroctl {

QString escapeControls(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\')
            out += QStringLiteral("\\\\");
        else if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            out += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

void Console::report(const QString& text)
{
    QByteArray bytes = text.toUtf8();
    if (!bytes.endsWith('\n')) bytes += '\n';
    errno = 0;
    const std::size_t written =
        std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    const bool flushed = std::fflush(stdout) == 0;
    if ((written != static_cast<std::size_t>(bytes.size()) || !flushed) &&
        m_outputProblem.isEmpty())
        m_outputProblem = QStringLiteral("the report could not be written to standard output: %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno ? errno : EIO)));
}

void Console::error(const QString& text)
{
    writeError(QStringLiteral("sonaroctl: ") + text);
}

void Console::writeError(const QString& line)
{
    std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

int Console::conclude(int status, const QString& reason, const QString& problem)
{
    QStringList problems;
    for (const QString& text : {reason, problem, m_outputProblem})
        if (!text.isEmpty()) problems << text;
    if (status == 0 && !problems.isEmpty()) status = 1;
    if (status == 0)
        for (const QString& line : std::as_const(m_held))
            writeError(line);
    m_held.clear();
    for (const QString& text : std::as_const(problems))
        error(text);
    return status;
}

void Console::showMessage(sonaro::Severity severity, const QString& text)
{
    const QString line =
        sonaro::severityTitle(severity) + QStringLiteral(": ") + escapeControls(text);
    if (severity == sonaro::Severity::Error || severity == sonaro::Severity::Warning)
        writeError(line);
    else
        m_held << line;
}

bool Console::confirm(sonaro::Severity severity, const QString& text)
{
    writeError(QStringLiteral("%1: %2 %3")
                   .arg(sonaro::severityTitle(severity), escapeControls(text),
                        m_answerYes ? QStringLiteral("yes (--yes)")
                                    : QStringLiteral("no (give --yes to "
                                                     "answer yes)")));
    return m_answerYes;
}

void Console::chooseOfflineSettings(const QList<sonaro::ChangeId>& differences,
                                    std::function<void(sonaro::OfflineChoice)> answer)
{
    QStringList labels;
    for (const sonaro::ChangeId& id : differences)
        labels << sonaro::SettingCatalogue::label(id, sonaro::Language::English);
    error(QStringLiteral("settings changed while no unit answered were not sent; the unit's are "
                         "kept: %1")
              .arg(labels.join(QStringLiteral(", "))));
    answer(sonaro::OfflineChoice::TakeUnits);
}

} // namespace sonaroctl
