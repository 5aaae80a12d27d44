#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace sonaro {

// How the core speaks to the operator. The desktop program shows message boxes, sonaroctl prints,
// tests record. The core never opens a window itself.
class OperatorInterface
{
public:
    virtual ~OperatorInterface() = default;
    // A message with its title ("ERROR", "INFO", "Info", "Warming").
    virtual void showMessage(const QString& text, const QString& title) = 0;
    // A Yes/No question; true for Yes.
    virtual bool confirm(const QString& text, const QString& title) = 0;
};

// Keeps every message and answers questions with a fixed answer. For tests and headless use.
class RecordingOperator : public OperatorInterface
{
public:
    struct Entry
    {
        QString text;
        QString title;
    };

    void showMessage(const QString& text, const QString& title) override
    {
        messages.push_back({text, title});
    }
    bool confirm(const QString& text, const QString& title) override
    {
        questions.push_back({text, title});
        return answer;
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
    bool answer = true;
};

} // namespace sonaro
