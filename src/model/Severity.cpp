#include "model/Severity.h"

namespace sonaro {

QString severityTitle(Severity severity)
{
    switch (severity) {
    case Severity::Error:
        return QStringLiteral("ERROR");
    case Severity::Information:
        return QStringLiteral("INFO");
    case Severity::Notice:
        return QStringLiteral("Info");
    case Severity::Warning:
        return QStringLiteral("Warming");
    }
    return QStringLiteral("INFO");
}

} // namespace sonaro
