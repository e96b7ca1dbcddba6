// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/AtomicFile.h"

#include <algorithm>
#include <fstream>

namespace ia {

ReplacingFile::ReplacingFile(const std::string& target, const std::string& tempTag)
    : file_(std::make_unique<OutputFile>(target, tempTag)) {}

ReplacingFile::~ReplacingFile() = default;

void ReplacingFile::commit(bool writerFinished,
                           const std::function<bool(const std::string&)>& complete) {
    file_->commit(writerFinished, [&](int) { return complete(file_->descriptorPath()); });
}

bool PdfFileIsComplete(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    char head[5] = {};
    if (!in.read(head, 5) || std::string(head, 5) != "%PDF-") return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    const std::streamoff tailSize = std::min<std::streamoff>(size, 64);
    std::string tail(static_cast<size_t>(tailSize), '\0');
    in.seekg(size - tailSize);
    if (!in.read(tail.data(), tailSize)) return false;
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' '))
        tail.pop_back();
    return tail.size() >= 5 && tail.compare(tail.size() - 5, 5, "%%EOF") == 0;
}

std::string PdfWriteFailedMessage(const std::string& path, const std::string& reason) {
    return "บันทึกไฟล์ PDF ไม่ได้ : " + path + " (" + reason + ")";
}

void WritePdfReplacing(const std::string& target,
                       const std::function<bool(const std::string&)>& write) {
    try {
        ReplacingFile file(target, "pdf");
        const bool finished = write(file.tempPath());
        file.commit(finished, PdfFileIsComplete);
    } catch (const ReplaceFileError& e) {
        throw ReplaceFileError(PdfWriteFailedMessage(target, e.what()), e.errnoValue());
    }
}

} // namespace ia
