// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the file system said, in the words a teacher is shown, and the
// checks every command makes the same way before it touches a path.

#include <string>

namespace ia {

// Why a file could not be made or written, in Thai, from an errno value
// (disk full, folder read-only, missing, name too long, ...).
std::string FileErrorReason(int errnoValue);

// Why a new file cannot be made at path, as the system resolves it (so that
// "missing/../x.ans" is refused for its missing folder, as every later
// command would refuse it): the folder is missing or no folder, the name is
// too long, the medium takes no writes. Empty when nothing stands in the way.
std::string NewFileProblem(const std::string& path);

// Whether the file at path lies on a medium mounted read-only.
bool OnReadOnlyMedium(const std::string& path);

// A private copy of an exam file in a fresh temporary folder, taken through
// the engine (so that it is consistent even while another program writes),
// for work whose results must not be stored; removed with the object.
// Throws std::runtime_error with a Thai text when the copy cannot be made.
class PrivateCopy {
  public:
    explicit PrivateCopy(const std::string& examFile);
    ~PrivateCopy();
    PrivateCopy(const PrivateCopy&) = delete;
    PrivateCopy& operator=(const PrivateCopy&) = delete;
    const std::string& path() const { return path_; }

  private:
    std::string folder_;
    std::string path_;
};

} // namespace ia
