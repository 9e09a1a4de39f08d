#pragma once

// The command line: `ravik-lcd [PICTURE]` opens the window, `ravik-lcd convert PICTURE …`
// converts without a window or display.

#include <QStringList>

class QCommandLineParser;

namespace ravik {

inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Why parsing failed, in Chinese.
QString parseErrorText(const QCommandLineParser& parser);

// The Chinese help text describing both modes.
QString helpText();

// Runs `convert` with the arguments after the word "convert"; gives the exit code.
int runConvert(const QStringList& arguments);

} // namespace ravik
