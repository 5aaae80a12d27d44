#pragma once

#include <QString>

namespace sonaroctl {

// Text from the network or from a file as a terminal may show it: control characters (C0, DEL,
// C1) become "\xNN", a backslash becomes "\\", so nothing received can move the cursor, recolour
// the terminal or fake a line of output.
inline QString escapeControls(const QString& text)
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

} // namespace sonaroctl
