#pragma once

#include <QString>

namespace sonaro {

// How much a message to the operator weighs. The desktop program draws its badge from it and
// both programs take the title from it, so that nobody has to read a title back.
enum class Severity
{
    Error,       // titled "ERROR"
    Information, // titled "INFO": the outcome of an operator action or of the link
    Notice,      // titled "Info": a setting's confirmation and the factory restore's question
    Warning      // titled "Warming", as the units have always spelt it
};

// The title a message box or a console line carries for this severity.
QString severityTitle(Severity severity);

} // namespace sonaro
