#pragma once

// The one way every command writes its files. A command names what it reads and what it will
// write before it makes anything; the plan refuses an output over an input, two outputs on one
// file, a generated file that is a link leading out of its folder and a path the system can't
// hold, all by file identity, so "./a.png", a link to it and a hard link count alike. Only then
// are folders made and the files written, all or nothing, standard output last.

#include "export/file_output.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ravik {

// One kind of output a command can write: the option that names it (or its role, for a file
// named after the input), the suffix a batch gives it, and whether "-" may send it to standard
// output. Each command keeps a table of these beside the function that makes the bytes.
struct OutputKind {
    std::string_view option;
    std::string_view batchSuffix;
    bool standardOutput = false;
};

// What happens to an output that already holds other bytes, and to one that holds these.
enum class ExistingFile {
    replace,        // written whatever it holds
    keepSame,       // left alone when its bytes would not change, so nothing recompiles
    refuseDifferent // left alone when the same; refused, naming it, when it differs
};

// Why the plan won't write, in Chinese, with the exit code; empty when it will.
struct OutputProblem {
    int exitCode = 0;
    std::string message;

    bool ok() const { return message.empty(); }
};

class OutputPlan {
public:
    explicit OutputPlan(ExistingFile existing = ExistingFile::replace) : existing_(existing) {}

    // A file the command reads: no output may be it.
    void addInput(const std::filesystem::path& path);
    void addInputs(const std::vector<std::filesystem::path>& paths);

    // The folder generated files go into: made only when writing, and none of its files may be
    // a link leading out of it.
    void setFolder(const std::filesystem::path& folder);

    // Makes the folder of every output when it is missing, not only the plan's folder.
    void makeMissingFolders() { makeParents_ = true; }

    // A file the command will write, of the kind its table gives ("-": standard output, which
    // only a kind that allows it may name, and only one output at a time).
    void addOutput(const std::filesystem::path& path, const OutputKind& kind);

    // Why the outputs can't be written as named; touches nothing. Every command asks before it
    // reads or converts anything.
    OutputProblem check() const;

    // Checks again, then makes the folders and writes the files (each one added before) all or
    // nothing, standard output last. `written` lists the files whose bytes changed.
    OutputProblem write(std::vector<FileOutput> files,
                        std::vector<std::filesystem::path>* written = nullptr) const;

private:
    std::vector<std::filesystem::path> inputs_;
    std::vector<std::filesystem::path> outputs_;
    std::vector<OutputKind> kinds_;
    std::filesystem::path folder_;
    ExistingFile existing_;
    bool makeParents_ = false;
};

// Why the path can't be used at all: a part longer than a file name may be, or the whole longer
// than the system takes ("路径太长"); empty when it can.
std::string pathLengthProblem(const std::filesystem::path& path);

} // namespace ravik
