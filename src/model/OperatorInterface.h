#pragma once

#include "model/SettingCatalogue.h"
#include "model/Severity.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace sonaro {

// Whose settings stay when a unit is connected after changes made offline.
enum class OfflineChoice
{
    SendMine, // the settings changed offline go to the unit
    TakeUnits // the record takes the unit's settings; nothing is sent
};

// How the core speaks to the operator. The desktop program shows message boxes, sonaroctl prints,
// tests record. The core never opens a window itself.
class OperatorInterface
{
public:
    virtual ~OperatorInterface() = default;
    // A message. It never waits for the operator: frame handlers and timers raise messages too.
    virtual void showMessage(Severity severity, const QString& text) = 0;
    // A Yes/No question; true for Yes. Asked only from an operator action, never from a frame
    // handler or a timer.
    virtual bool confirm(Severity severity, const QString& text) = 0;
    // A unit was connected and settings changed offline differ from the unit's (the catalogue
    // names them in the operator's language). Asked once per connection, from a frame handler,
    // so it never waits: answer is called when the operator has chosen, at once or later.
    // Without a way to ask, nothing is sent that the operator did not choose: the unit's
    // settings are taken.
    virtual void chooseOfflineSettings(const QList<ChangeId>& differences,
                                       std::function<void(OfflineChoice)> answer)
    {
        Q_UNUSED(differences);
        answer(OfflineChoice::TakeUnits);
    }
};

} // namespace sonaro
