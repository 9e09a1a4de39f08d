#include "command_line.h"

#include "app/arguments.h"
#include "app/convert_job.h"
#include "app/version.h"
#include "export/file_output.h"
#include "export/text.h"

namespace ravik {

std::string versionText() {
    return RAVIK_PROGRAM_NAME " " RAVIK_VERSION;
}

WindowArguments parseWindowArguments(const std::vector<std::string>& arguments) {
    enum { Help, Version };
    const std::vector<Option> options{{{"h", "help"}}, {{"v", "version"}}};
    const ParsedArguments parsed(arguments, options, true, 0);
    WindowArguments answer;
    answer.error = parsed.error();
    if (!answer.error.empty()) {
        return answer;
    }
    if (parsed.positional().size() > 1) {
        answer.error = "只能打开一张图片";
    }
    answer.help = parsed.isSet(options[Help]);
    answer.version = parsed.isSet(options[Version]);
    answer.picture = parsed.positional().empty() ? std::string() : parsed.positional().front();
    return answer;
}

int printToStandardOutput(std::string_view text) {
    if (const auto reason = writeStandardOutput(text)) {
        printError(fillIn("无法写入标准输出：%1", {*reason}));
        return kExitFailure;
    }
    return 0;
}

} // namespace ravik
