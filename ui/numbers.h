#pragma once

// Numbers as the window shows them: digits grouped in threes with commas, as "9,849 字节" is
// written everywhere else, whatever the system's locale.

#include <QString>

namespace ravik {

inline QString groupedNumber(long long value) {
    QString digits = QString::number(value < 0 ? -value : value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) {
        digits.insert(at, u',');
    }
    return value < 0 ? u'-' + digits : digits;
}

} // namespace ravik
