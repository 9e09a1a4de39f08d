// Runs a fuzz target's code over every file in the folders or files given, without libFuzzer:
// the fuzz_regressions tests, so that faults once found stay fixed in every build. A folder
// that does not exist yet (a target with no finding kept) holds nothing.

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool replay(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout); // the last name printed is the one that crashed
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                           std::size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    LLVMFuzzerInitialize(&argc, &argv);
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const QString given = QString::fromLocal8Bit(argv[i]);
        if (!QFileInfo::exists(given)) {
            std::printf("%s: nothing kept yet\n", qPrintable(given));
            continue;
        }
        QDirIterator files(given, QDir::Files, QDirIterator::Subdirectories);
        if (!files.hasNext()) {
            if (!replay(given)) {
                return 1;
            }
            ++replayed;
        }
        while (files.hasNext()) {
            if (!replay(files.next())) {
                return 1;
            }
            ++replayed;
        }
    }
    std::printf("%d inputs replayed\n", replayed);
    return replayed > 0 ? 0 : 1;
}
