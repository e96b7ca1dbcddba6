// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PDFs that are either whole or not there, for the writers that print into
// a path (cairo): an OutputFile's temporary is handed over as a path and
// renamed over the target only once it holds a complete PDF, so that a full
// disk, a vanished folder or a kill never leaves a cut-off file where the
// previous good one was.

#include "examfile/OutputFile.h"

#include <functional>
#include <memory>
#include <string>

namespace ia {

// One replacing write of target through an OutputFile (tag "pdf"): a
// writer fills tempPath(), the temporary's descriptor as a path,
// and commit() renames it over target once the writer finished and
// `complete` accepts its bytes. Until then target keeps what it held; a
// write never committed removes its temporary. Failures throw
// ReplaceFileError with the Thai reason.
class ReplacingFile {
  public:
    ReplacingFile(const std::string& target, const std::string& tempTag);
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    const std::string& tempPath() const { return file_->descriptorPath(); }
    const std::string& target() const { return file_->target(); }
    void commit(bool writerFinished, const std::function<bool(const std::string&)>& complete);

  private:
    std::unique_ptr<OutputFile> file_;
};

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
