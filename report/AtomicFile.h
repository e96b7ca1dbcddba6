// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Output files that are either whole or not there: every report and PDF is
// written into a temporary file beside its target and renamed over it only
// once it is complete, so that a full disk, a vanished folder or a kill
// never leaves a cut-off file where the previous good one was.

#include <functional>
#include <stdexcept>
#include <string>

namespace ia {

// The failure of one replacing write: the Thai reason, and the errno it
// came from (0 when the writer gave none).
class ReplaceFileError : public std::runtime_error {
  public:
    ReplaceFileError(const std::string& reason, int errnoValue)
        : std::runtime_error(reason), errno_(errnoValue) {}
    int errnoValue() const { return errno_; }

  private:
    int errno_;
};

// One replacing write of target: the constructor creates an empty
// temporary file in target's folder named "." + tempTag + "-<pid>-<n>.tmp",
// tempTag "report" or "pdf" (after removing the ones a killed run left, see
// RemoveStaleTemporaries),
// a writer fills tempPath(), and commit() renames it over target once the
// writer finished and `complete` accepts its bytes. Until then target keeps
// what it held; a write never committed removes its temporary. Failures
// throw ReplaceFileError with the Thai reason.
class ReplacingFile {
  public:
    ReplacingFile(const std::string& target, const std::string& tempTag);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    const std::string& tempPath() const { return tmp_; }
    const std::string& target() const { return target_; }
    void commit(bool writerFinished, const std::function<bool(const std::string&)>& complete);

  private:
    [[noreturn]] void fail(int errnoValue);
    std::string target_;
    std::string tmp_;
    bool done_ = false;
};

// ReplacingFile in one call: `write` fills the path it is given and returns
// whether it finished.
void ReplaceFileAtomically(const std::string& target, const std::string& tempTag,
                           const std::function<bool(const std::string& tempPath)>& write,
                           const std::function<bool(const std::string& tempPath)>& complete);

// Removes, in folder, the files named like this program's temporaries
// (".report-<pid>-<n>.tmp", ".pdf-<pid>-<n>.tmp") that are older than the
// running process and whose writing process is gone: what a run killed
// between writing and renaming left. Nothing else is touched.
void RemoveStaleTemporaries(const std::string& folder);

// The reason, in Thai, why a writer that gave none failed to write target
// (its disk full, or else an unfinished write).
std::string WriteFailureReasonFor(const std::string& target);

// Whether the file at path is a whole PDF: it starts as one and its last
// bytes, trailing line ends aside, are the end-of-file marker.
bool PdfFileIsComplete(const std::string& path);

// The message for a PDF that could not be written: the fixed sentence, the
// path and the reason.
std::string PdfWriteFailedMessage(const std::string& path, const std::string& reason);

// Writes a PDF at target with `write`, which prints into the path it is
// given and returns whether its writer finished. Throws ReplaceFileError
// whose text is PdfWriteFailedMessage; the previous PDF then stays.
void WritePdfReplacing(const std::string& target,
                       const std::function<bool(const std::string& tempPath)>& write);

} // namespace ia
