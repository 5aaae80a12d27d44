#pragma once

#include <QString>

#include <vector>

namespace sonaro::testing {

// The program side of every loopback test binds here; virtual units sit on kUnitAddress.
inline const QString kProgramAddress = QStringLiteral("127.0.0.1");
inline const QString kUnitAddress = QStringLiteral("127.0.0.2");

// A UDP port that is free on the program's address and on each of the others right now; 0 when
// none was found in a bounded number of tries.
quint16 freeLoopbackPort(const std::vector<QString>& others = {kUnitAddress});

} // namespace sonaro::testing
