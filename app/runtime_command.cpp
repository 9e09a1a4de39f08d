// `ravik-lcd runtime DIR`: writes the firmware runtime (ravik_lcd.h and ravik_lcd.c) into a
// firmware project's folder, exactly as the package installs it. Files already there with the
// same bytes are left alone; one whose bytes differ (edited, or from another version) is replaced
// only with --force.

#include "runtime_command.h"

#include "app/arguments.h"
#include "app/command_line.h"
#include "app/convert_job.h"
#include "app/output_plan.h"
#include "export/text.h"
#include "runtime/runtime_text.h"

namespace ravik {

std::string runtimeHelp() {
    return fillIn(
        "用法：\n"
        "  ravik-lcd runtime 文件夹 [--force]\n"
        "      把固件用的 C99 绘图例程 ravik_lcd.h 和 ravik_lcd.c 写入文件夹（不存在时创建），"
        "全部成功才写入；ravik_lcd_draw 把本程序生成的任意尺寸图片（可带遮罩）画进帧的任意位置。\n"
        "      内容相同的文件不重写；内容不同（例如改过）的文件只在给出 --force 时替换。\n"
        "\n"
        "退出码：0 成功；%1 文件无法写入；%2 用法错误。\n",
        {number(kExitFailure), number(kExitUsage)});
}

int runRuntime(const std::vector<std::string>& arguments) {
    const std::vector<Option> options{{{"force"}}};
    const ParsedArguments parsed(arguments, options, false);
    if (const std::string error = parsed.error(); !error.empty()) {
        printError(withHelpHint("runtime", error));
        return kExitUsage;
    }
    if (parsed.positional().size() != 1) {
        printError(withHelpHint("runtime", "runtime 需要且只需要一个输出文件夹"));
        return kExitUsage;
    }
    const std::filesystem::path folder = pathFromUtf8(parsed.positional().front());
    OutputPlan plan(parsed.isSet(options[0]) ? ExistingFile::replace
                                             : ExistingFile::refuseDifferent);
    plan.setFolder(folder);
    std::vector<FileOutput> files;
    for (const RuntimeFile& file : runtimeFiles()) {
        files.push_back({folder / file.name, std::string(file.text)});
        plan.addOutput(files.back().path, {file.name, "", false});
    }
    if (const OutputProblem problem = plan.write(std::move(files)); !problem.ok()) {
        printError(problem.message);
        return problem.exitCode;
    }
    return 0;
}

} // namespace ravik
