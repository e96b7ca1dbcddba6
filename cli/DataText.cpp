// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/DataText.h"

#include "cli/Progress.h"
#include "examfile/OutputFile.h"
#include "exchange/TextTable.h"

#include <sys/stat.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

namespace ia::cli {

std::string Number(double x) {
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x);
    return std::string(buf, r.ptr);
}

std::string JsonNumber(const std::optional<double>& x) {
    return x && std::isfinite(*x) ? Number(*x) : "null";
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string CsvNumber(const std::optional<double>& x) {
    return x && std::isfinite(*x) ? Number(*x) : "";
}

std::string CsvRow(const std::vector<std::string>& cells) {
    std::string row;
    for (size_t i = 0; i < cells.size(); ++i)
        row += (i ? "," : "") + CsvText(cells[i]);
    return row + "\r\n";
}

OutputFolder::OutputFolder(const std::string& dir) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (fs::path p = fs::path(dir).lexically_normal(); !p.empty() && !fs::exists(p, ec);
         p = p.parent_path()) {
        made_.push_back(p);
        if (p == p.parent_path()) break;
    }
    fs::create_directories(dir, ec);
    ready_ = fs::is_directory(dir, ec);
}

OutputFolder::~OutputFolder() {
    if (kept_) return;
    std::error_code ec;
    for (const auto& p : made_)
        if (std::filesystem::is_empty(p, ec) && !ec) std::filesystem::remove(p, ec);
}

std::string WriteCsvFiles(const std::string& dir,
                          const std::vector<std::pair<std::string, const std::string*>>& files) {
    namespace fs = std::filesystem;
    OutputFolder folder(dir);
    if (!folder.ready()) return "สร้างโฟลเดอร์ไม่ได้ : " + dir;
    struct Staged {
        std::unique_ptr<OutputFile> file;
        std::string path;
        size_t size = 0;
        bool written = false;
    };
    std::vector<Staged> staged;
    // A refusal that names the files says itself; any other failure the
    // one sentence about the file.
    auto failed = [](const std::string& path, const std::string& why) {
        return IsRefusedTargetMessage(why) || IsChangedTemporaryMessage(why)
                   ? why
                   : "เขียนไฟล์ไม่ได้ : " + path;
    };
    for (const auto& [name, body] : files) {
        const std::string path = (fs::path(dir) / name).string();
        try {
            Staged s{std::make_unique<OutputFile>(path, "csv"), path};
            const std::string bytes = "\xEF\xBB\xBF" + *body;
            s.size = bytes.size();
            s.written = s.file->write(bytes);
            staged.push_back(std::move(s));
        } catch (const ReplaceFileError& e) {
            return failed(path, e.what());
        }
    }
    // Heard now, before any file is put in place.
    Progress& progress = JobProgress();
    progress.step(progress.done());
    for (Staged& s : staged) {
        try {
            s.file->commit(s.written, [&s](int fd) {
                struct stat st {};
                return ::fstat(fd, &st) == 0 && static_cast<size_t>(st.st_size) == s.size;
            });
        } catch (const ReplaceFileError& e) {
            return failed(s.path, e.what());
        }
    }
    folder.keep();
    return "";
}

} // namespace ia::cli
