// Batches: many inputs converted at once on every core, each written to the output folder under
// its own base name. Each input's files are written all or nothing, independently of the others,
// so the output is the same whatever the number of threads or the order they finish in.

#include "app/command_line.h"
#include "app/convert_job.h"
#include "export/c_header.h"
#include "export/file_output.h"
#include "export/text.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <thread>

#ifdef _WIN32
#include <io.h>
#define RAVIK_ISATTY _isatty
#define RAVIK_FILENO _fileno
#else
#include <unistd.h>
#define RAVIK_ISATTY isatty
#define RAVIK_FILENO fileno
#endif

namespace ravik {
namespace {

struct BatchItem {
    std::filesystem::path input;
    OutputRequest request;
};

// Each input's outputs, or the reason the batch can't start: two inputs that would write the
// same files, or an output that would overwrite an input.
struct BatchPlan {
    std::vector<BatchItem> items;
    std::string error;
    int exitCode = kExitUsage;
};

// The suffix a batch gives the output the request keeps in `path`.
std::string_view batchSuffix(std::optional<std::filesystem::path> OutputRequest::*path) {
    for (const ConvertOutput& output : convertOutputs()) {
        if (output.path == path) {
            return output.kind.batchSuffix;
        }
    }
    return {};
}

BatchPlan planBatch(const BatchOptions& batch) {
    BatchPlan plan;
    std::map<std::string, std::filesystem::path> inputByBase; // folded base name → input
    for (const std::filesystem::path& input : batch.inputs) {
        const std::string base = baseName(input);
        // Case is folded: on Windows and macOS "Logo" and "logo" are the same file.
        const std::string key = asciiLower(base);
        if (const auto earlier = inputByBase.find(key); earlier != inputByBase.end()) {
            plan.error =
                fillIn("“%1”与“%2”的基本名相同（%3），输出文件会互相覆盖；没有写入任何文件",
                       {displayPath(earlier->second), displayPath(input), base});
            return plan;
        }
        inputByBase.emplace(key, input);
        BatchItem item{input, {}};
        for (const auto& [wanted, path] : {std::pair{batch.bin, &OutputRequest::binPath},
                                           {batch.cText, &OutputRequest::cTextPath},
                                           {batch.header, &OutputRequest::headerPath},
                                           {batch.preview, &OutputRequest::previewPath},
                                           {batch.maskBin, &OutputRequest::maskPath}}) {
            if (wanted) {
                item.request.*path =
                    batch.outDir / pathFromUtf8(base + std::string(batchSuffix(path)));
            }
        }
        item.request.identifier = cIdentifierFor(base);
        item.request.attribute = batch.attribute;
        plan.items.push_back(std::move(item));
    }
    // Every input's outputs checked at once, against every input and each other.
    OutputPlan outputs;
    outputs.addInputs(batch.inputs);
    outputs.setFolder(batch.outDir);
    for (const BatchItem& item : plan.items) {
        for (const std::filesystem::path& file : item.request.files()) {
            outputs.addOutput(file);
        }
    }
    if (const OutputProblem problem = outputs.check(); !problem.ok()) {
        plan.error = problem.message;
        plan.exitCode = problem.exitCode;
    }
    return plan;
}

// "[done/total] current file" on one terminal line, rewritten as inputs finish.
class Progress {
public:
    explicit Progress(std::size_t total)
        : total_(total), shown_(RAVIK_ISATTY(RAVIK_FILENO(stderr)) != 0) {}
    void finished(const std::filesystem::path& input) {
        if (!shown_) {
            return;
        }
        const std::lock_guard lock(mutex_);
        ++done_;
        const std::string line =
            fillIn("\r\x1b[K[%1/%2] %3", {number(done_), number(total_), displayPath(input)});
        std::fputs(line.c_str(), stderr);
        std::fflush(stderr);
    }
    void end() {
        if (shown_ && done_ > 0) {
            std::fputs("\n", stderr);
        }
    }

private:
    std::mutex mutex_;
    std::size_t total_;
    std::size_t done_ = 0;
    bool shown_;
};

// Converts and writes one input; the failure, empty on success.
std::string runItem(const BatchItem& item, const BatchOptions& batch) {
    const ConvertedInput input =
        convertInput(item.input, batch.conversion, batch.allFrames, batch.shaping);
    if (!input.failure.empty()) {
        return input.failure;
    }
    if (!input.notice.empty()) {
        printError(input.notice);
    }
    OutputFiles out = outputFiles(input, item.request);
    if (!out.failure.empty()) {
        return out.failure;
    }
    return outputPlan({item.input}, item.request).write(std::move(out.files)).message;
}

// Each input spends much of its time waiting for its files to reach the disk, so by default
// a few threads per core keep every core busy.
std::size_t threadCount(const BatchOptions& batch, std::size_t items) {
    constexpr unsigned kThreadsPerCore = 4;
    const std::size_t wanted =
        batch.jobs > 0 ? std::size_t(batch.jobs)
                       : kThreadsPerCore * std::max(1u, std::thread::hardware_concurrency());
    return std::clamp<std::size_t>(wanted, 1, std::max<std::size_t>(items, 1));
}

} // namespace

int convertBatch(const BatchOptions& batch) {
    const BatchPlan plan = planBatch(batch);
    if (!plan.error.empty()) {
        printError(plan.error);
        return plan.exitCode;
    }
    // Made only once every check has passed.
    if (const auto reason = makeFolder(batch.outDir)) {
        printError(fillIn("无法创建输出文件夹“%1”：%2", {displayPath(batch.outDir), *reason}));
        return kExitFailure;
    }
    Progress progress(plan.items.size());
    std::vector<std::string> failures(plan.items.size());
    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        for (std::size_t i = next++; i < plan.items.size(); i = next++) {
            failures[i] = runItem(plan.items[i], batch);
            progress.finished(plan.items[i].input);
        }
    };
    {
        std::vector<std::jthread> threads;
        for (std::size_t t = 1; t < threadCount(batch, plan.items.size()); ++t) {
            threads.emplace_back(work);
        }
        work(); // this thread takes a share too
    }
    progress.end();
    // Reported in the inputs' order, whichever thread finished first.
    std::size_t failed = 0;
    for (const std::string& failure : failures) {
        if (!failure.empty()) {
            printError(failure);
            ++failed;
        }
    }
    if (failed > 0) {
        printError(fillIn(
            "共 %1 个输入，%2 个已转换，%3 个失败",
            {number(plan.items.size()), number(plan.items.size() - failed), number(failed)}));
        return kExitFailure;
    }
    return 0;
}

} // namespace ravik
