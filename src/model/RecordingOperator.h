#pragma once

#include "model/OperatorInterface.h"

#include <QStringList>

#include <vector>

namespace sonaro {

// Keeps every message and answers questions with a fixed answer. For tests and headless use.
class RecordingOperator : public OperatorInterface
{
public:
    struct Entry
    {
        Severity severity;
        QString text;
        QString title; // what the desktop shows as the box's title
    };

    void showMessage(Severity severity, const QString& text) override
    {
        messages.push_back({severity, text, severityTitle(severity)});
    }
    bool confirm(Severity severity, const QString& text) override
    {
        questions.push_back({severity, text, severityTitle(severity)});
        return answer;
    }
    // Records the differences and answers with offlineChoice at once.
    void chooseOfflineSettings(const QList<ChangeId>& differences,
                               std::function<void(OfflineChoice)> answerWith) override
    {
        offlineQuestions.push_back(differences);
        answerWith(offlineChoice);
    }
    QStringList texts() const
    {
        QStringList list;
        for (const Entry& e : messages)
            list << e.text;
        return list;
    }

    std::vector<Entry> messages;
    std::vector<Entry> questions;
    std::vector<QList<ChangeId>> offlineQuestions;
    bool answer = true;
    OfflineChoice offlineChoice = OfflineChoice::SendMine;
};

} // namespace sonaro
