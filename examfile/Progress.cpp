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

long long ShareDone(long long done, long long total, long long whole) {
    if (total <= 0 || done <= 0 || whole <= 0) return 0;
    if (done >= total) return whole;
    // Multiplied first, so that 99 of 100 is 99 %, not 0 %; in 128 bits, so
    // that no count overflows.
    return static_cast<long long>(static_cast<__int128>(done) * whole / total);
}

int Progress::percent() const {
    return static_cast<int>(ShareDone(done_, total_, 100));
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
