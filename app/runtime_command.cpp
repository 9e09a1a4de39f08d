// `ravik-lcd runtime DIR`: writes the firmware runtime (ravik_lcd.h and ravik_lcd.c) into a
// firmware project's folder, exactly as the package installs it. Files already there with the
// same bytes are left alone; one whose bytes differ (edited, or from another version) is replaced
// only with --force.

#include "app/command_line.h"
#include "app/convert_job.h"
#include "app/output_plan.h"
#include "export/text.h"
#include "runtime/runtime_text.h"

namespace ravik {

int runRuntime(const std::vector<std::string>& arguments) {
    std::vector<std::string> folders;
    bool optionsEnded = false;
    bool force = false;
    for (const std::string& argument : arguments) {
        if (!optionsEnded && (argument == "-h" || argument == "--help")) {
            return printToStandardOutput(helpText());
        }
        if (!optionsEnded && argument == "--force") {
            force = true;
        } else if (!optionsEnded && argument == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && argument.size() > 1 && argument.front() == '-') {
            printError(fillIn("命令行有误：未知选项“%1”（用 --help 查看用法）", {argument}));
            return kExitUsage;
        } else {
            folders.push_back(argument);
        }
    }
    if (folders.size() != 1) {
        printError("命令行有误：runtime 需要且只需要一个输出文件夹（用 --help 查看用法）");
        return kExitUsage;
    }
    const std::filesystem::path folder = pathFromUtf8(folders.front());
    OutputPlan plan(force ? ExistingFile::replace : ExistingFile::refuseDifferent);
    plan.setFolder(folder);
    std::vector<FileOutput> files;
    for (const RuntimeFile& file : runtimeFiles()) {
        files.push_back({folder / file.name, std::string(file.text)});
        plan.addOutput(files.back().path);
    }
    if (const OutputProblem problem = plan.write(std::move(files)); !problem.ok()) {
        printError(problem.message);
        return problem.exitCode;
    }
    return 0;
}

} // namespace ravik
