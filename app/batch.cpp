// Batches: many inputs converted at once on every core, each written to the output folder under
// its own base name. Each input's files are written all or nothing, independently of the others,
// so the output is the same whatever the number of threads or the order they finish in.

#include "app/command_line.h"
#include "app/convert_job.h"
#include "export/c_header.h"
#include "export/file_output.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <atomic>
#include <cstdio>

#ifdef Q_OS_WIN
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
    QString input;
    OutputRequest request;
};

// Each input's outputs, or the reason the batch can't start: two inputs that would write the
// same files, or an output that would overwrite an input.
struct BatchPlan {
    QList<BatchItem> items;
    QString error;
};

BatchPlan planBatch(const BatchOptions& batch) {
    BatchPlan plan;
    const QDir dir(batch.outDir);
    QHash<QString, QString> inputByBase; // folded base name → input, for the clash check
    for (const QString& input : batch.inputs) {
        const QString base = QFileInfo(input).completeBaseName();
        // Case is folded: on Windows and macOS "Logo" and "logo" are the same file.
        const QString key = base.toCaseFolded();
        if (const auto earlier = inputByBase.constFind(key); earlier != inputByBase.cend()) {
            plan.error = QStringLiteral(u"“%1”与“%2”的基本名相同（%3），输出文件会互相覆盖；"
                                        u"没有写入任何文件")
                             .arg(nativePath(*earlier), nativePath(input), base);
            return plan;
        }
        inputByBase.insert(key, input);
        BatchItem item{input, {}};
        const auto target = [&dir, &base](const char* suffix) {
            return std::optional(dir.filePath(base + QLatin1String(suffix)));
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
        item.request.identifier = cIdentifierFor(base);
        item.request.attribute = batch.attribute.toStdString();
        plan.items.append(item);
    }
    QStringList outputs;
    for (const BatchItem& item : plan.items) {
        outputs += item.request.files();
    }
    plan.error = overwriteProblem(batch.inputs, outputs);
    return plan;
}

// "[done/total] current file" on one terminal line, rewritten as inputs finish.
class Progress {
public:
    explicit Progress(qsizetype total)
        : total_(total), shown_(RAVIK_ISATTY(RAVIK_FILENO(stderr)) != 0) {}
    void finished(const QString& input) {
        if (!shown_) {
            return;
        }
        const QMutexLocker lock(&mutex_);
        ++done_;
        std::fputs(
            qPrintable(
                QStringLiteral("\r\x1b[K[%1/%2] %3").arg(done_).arg(total_).arg(nativePath(input))),
            stderr);
        std::fflush(stderr);
    }
    void end() {
        if (shown_ && done_ > 0) {
            std::fputs("\n", stderr);
        }
    }

private:
    QMutex mutex_;
    qsizetype total_;
    qsizetype done_ = 0;
    bool shown_;
};

// Converts and writes one input; the failure, empty on success.
QString runItem(const BatchItem& item, const BatchOptions& batch) {
    const ConvertedInput input = convertInput(item.input, batch.conversion, batch.allFrames);
    if (!input.failure.isEmpty()) {
        return input.failure;
    }
    const OutputFiles out = outputFiles(input, item.request);
    if (!out.failure.isEmpty()) {
        return out.failure;
    }
    return writeOutputs(out.files);
}

} // namespace

int convertBatch(const BatchOptions& batch) {
    const BatchPlan plan = planBatch(batch);
    if (!plan.error.isEmpty()) {
        printError(plan.error);
        return kExitUsage;
    }
    if (const auto reason = makeFolder(batch.outDir)) {
        printError(
            QStringLiteral(u"无法创建输出文件夹“%1”：%2").arg(nativePath(batch.outDir), *reason));
        return kExitFailure;
    }
    // Each input spends much of its time waiting for its files to reach the disk, so by default
    // a few threads per core keep every core busy.
    constexpr int kThreadsPerCore = 4;
    QThreadPool pool;
    pool.setMaxThreadCount(batch.jobs > 0 ? batch.jobs
                                          : kThreadsPerCore * QThread::idealThreadCount());
    Progress progress(plan.items.size());
    const QList<QString> failures =
        QtConcurrent::blockingMapped(&pool, plan.items, [&](const BatchItem& item) {
            const QString failure = runItem(item, batch);
            progress.finished(item.input);
            return failure;
        });
    progress.end();
    // Reported in the inputs' order, whichever thread finished first.
    int failed = 0;
    for (const QString& failure : failures) {
        if (!failure.isEmpty()) {
            printError(failure);
            ++failed;
        }
    }
    if (failed > 0) {
        printError(QStringLiteral(u"共 %1 个输入，%2 个已转换，%3 个失败")
                       .arg(plan.items.size())
                       .arg(plan.items.size() - failed)
                       .arg(failed));
        return kExitFailure;
    }
    return 0;
}

} // namespace ravik
