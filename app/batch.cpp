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
};

BatchPlan planBatch(const BatchOptions& batch) {
    BatchPlan plan;
    std::map<std::string, std::filesystem::path> inputByBase; // folded base name → input
    std::map<std::string, std::filesystem::path> inputByName; // header's array name → input
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
        const auto target = [&](const char* suffix) {
            return std::optional(batch.outDir / pathFromUtf8(base + suffix));
        };
        if (batch.bin) {
            item.request.binPath = target(".bin");
        }
        if (batch.cText) {
            item.request.cTextPath = target(".txt");
        }
        if (batch.header) {
            item.request.headerPath = target(".h");
        }
        if (batch.preview) {
            item.request.previewPath = target(".png");
        }
        if (batch.maskBin) {
            item.request.maskPath = target(".mask");
        }
        item.request.identifier = cIdentifierFor(base);
        // Two headers defining one array (and one include guard) can't be included together.
        const auto [named, fresh] = inputByName.emplace(item.request.identifier, input);
        if (batch.header && !fresh) {
            plan.error =
                fillIn("“%1”与“%2”生成的头文件使用同一个 C 名称“%3”，不能一起包含；"
                       "没有写入任何文件",
                       {displayPath(named->second), displayPath(input), item.request.identifier});
            return plan;
        }
        item.request.attribute = batch.attribute;
        plan.items.push_back(std::move(item));
    }
    std::vector<std::filesystem::path> outputs;
    for (const BatchItem& item : plan.items) {
        const auto files = item.request.files();
        outputs.insert(outputs.end(), files.begin(), files.end());
    }
    plan.error = overwriteProblem(batch.inputs, outputs);
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
    return writeOutputs(std::move(out.files));
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
        return kExitUsage;
    }
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
