// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Small fixtures shared by the tests: temporary folders and exam files made
// in the test.
#include "examfile/ExamState.h"
#include "examfile/Progress.h"

#include <filesystem>
#include <string>
#include <vector>

namespace iatest {

// A fresh folder under the system temp folder, removed at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

// A tmpfs of the given size mounted on a fresh folder, for a disk that
// really fills up or takes no writes. mounted() is false where the system
// allows no mount; the caller then skips.
class TinyDisk {
  public:
    explicit TinyDisk(int kilobytes);
    ~TinyDisk();
    bool mounted() const { return mounted_; }
    std::string file(const std::string& name) const { return dir_.file(name); }
    // Remounts it read-only, as a write-protected stick.
    bool makeReadOnly();

  private:
    TempDir dir_;
    std::string size_;
    bool mounted_ = false;
};

ia::TestHeader MakeHeader(int nItem, int nChoice);

// Creates an exam file with the key (one text per item, "" for empty) and
// sheets (code followed by one answer text per item; "\x01" stands for NULL).
void MakeExamFile(const std::string& path, const ia::TestHeader& h,
                  const std::vector<std::string>& key,
                  const std::vector<std::vector<std::string>>& sheets);

// One sheet row for MakeExamFile: the code, then one answer per character of
// `answers`, "." standing for an empty answer.
std::vector<std::string> Sheet(const std::string& code, const std::string& answers);

// Writes text to path as it is (no line-end translation).
void WriteText(const std::string& path, const std::string& text);

// A count field (nCase, H, L) as new files declare it (32-bit) and as files
// made before the 32-bit fields declared it (16-bit).
std::string WideColumn(const std::string& name);
std::string NarrowColumn(const std::string& name);
// Turns the count fields of a new file back into the 16-bit fields of an
// older one.
void MakeOldCountFields(const std::string& path);

// How many answer sheets the exam file holds.
int SheetCount(const std::string& exam);

// Every table of the file, every row with its rowid, every value quoted as
// SQLite quotes it (so that 4 and '4' differ): two dumps are equal when the
// files hold the same data.
std::string TableDump(const std::string& path);

// The whole content of a file, byte for byte (empty when it cannot be read).
std::string FileBytes(const std::string& path);

// The names in folder, sorted: what a writer left there.
std::vector<std::string> FolderEntries(const std::filesystem::path& folder);

// The text of every page of a PDF file as pdftotext reads it in layout mode,
// one string per page; empty when the file cannot be read.
std::vector<std::string> PdfPageTexts(const std::string& path);

// The lines of a text with all whitespace taken out, empty lines dropped.
std::vector<std::string> SqueezedLines(const std::string& text);

std::string SourceDir();
std::string BinDir();

} // namespace iatest

namespace iatest {

// While an object of this class lives, every write of the database engine to
// a file (exam file or its journal) fails as on a full disk. The engine's
// default file layer is wrapped once, before any file is opened, so that
// connections opened earlier in a test are affected too.
class DiskFull {
  public:
    DiskFull();
    ~DiskFull();
    DiskFull(const DiskFull&) = delete;
    DiskFull& operator=(const DiskFull&) = delete;
    // Installs the wrapper without making the disk full (call before opening).
    static void Install();
};

} // namespace iatest

namespace iatest {

// A progress that stops its job at a chosen report: the k-th call of
// stage() or step(), counted from 1 over the whole job (0: never). Run a job
// once with k = 0 to learn how many reports it makes, then cancel it in the
// middle. Keeps the stages it saw.
class CancelAtStep : public ia::Progress {
  public:
    explicit CancelAtStep(long long k = 0) : k_(k) {}
    long long reports() const { return reports_; }
    const std::vector<std::string>& stages() const { return stages_; }
    // Reports made within the named stage, its start included.
    long long reportsIn(const std::string& stage) const;

  protected:
    bool show() override;

  private:
    long long k_;
    long long reports_ = 0;
    std::vector<std::string> stages_;
    std::vector<std::string> reportStages_;
};

} // namespace iatest
