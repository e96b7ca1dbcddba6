// SPDX-License-Identifier: GPL-3.0-or-later
#include "examfile/Progress.h"

namespace ia {

void Progress::stage(const std::string& what, long long total) {
    what_ = what;
    total_ = total;
    done_ = 0;
    if (!show()) throw JobCancelled();
}

void Progress::step(long long done) {
    done_ = done;
    if (!show()) throw JobCancelled();
}

int Progress::percent() const {
    if (total_ <= 0) return 0;
    const long long p = done_ * 100 / total_;
    return static_cast<int>(p < 0 ? 0 : p > 100 ? 100 : p);
}

Progress& NoProgress() {
    struct Unwatched final : Progress {
        bool show() override { return true; }
    };
    // One per thread: a job on another thread keeps its own state.
    thread_local Unwatched none;
    return none;
}

} // namespace ia
