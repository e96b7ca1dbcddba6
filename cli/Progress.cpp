// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Progress.h"

#include "examfile/OutputFile.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <streambuf>
#include <string>

namespace ia::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
    interrupted = 1;
    // A second Ctrl+C ends the run at once, as a teacher expects of a
    // program that seems stuck.
    std::signal(SIGINT, SIG_DFL);
}

void WriteAll(const std::string& s) {
    size_t at = 0;
    while (at < s.size()) {
        const ssize_t n = ::write(STDERR_FILENO, s.data() + at, s.size() - at);
        if (n <= 0) return;
        at += static_cast<size_t>(n);
    }
}

class TerminalProgress final : public Progress {
  public:
    void start(bool draw) {
        draw_ = draw;
        // Tests make the run interrupt itself at a chosen report, so that a
        // cancel lands in the middle of the job without timing.
        if (const char* at = std::getenv("ITEMANALYSIS_TEST_SIGINT_AT_STEP"))
            interruptAt_ = std::atoll(at);
    }
    void clear() {
        if (!shown_.empty()) WriteAll("\r\x1b[K");
        shown_.clear();
    }
    bool cancelled() const { return cancelled_; }

  protected:
    bool show() override {
        if (interruptAt_ > 0 && ++reports_ == interruptAt_) std::raise(SIGINT);
        if (interrupted) {
            cancelled_ = true;
            return false;
        }
        // Redrawn only when what it says changes: a hundred times a stage
        // at most, however many steps.
        if (draw_ && (percent() != shownPercent_ || what() != shownWhat_ || shown_.empty())) {
            shownPercent_ = percent();
            shownWhat_ = what();
            shown_ = total() > 0 ? std::to_string(shownPercent_) + "% " : std::string();
            shown_ += shownWhat_;
            WriteAll("\r\x1b[K" + shown_);
        }
        return true;
    }

  private:
    bool draw_ = false;
    bool cancelled_ = false;
    long long interruptAt_ = 0;
    long long reports_ = 0;
    std::string shown_; // what the line shows now, empty once cleared
    int shownPercent_ = -1;
    std::string shownWhat_;
};

TerminalProgress& Terminal() {
    static TerminalProgress progress;
    return progress;
}

// Standard error and output as the subcommands use them, clearing the
// progress line before the first character of any message or result (both
// may be the same terminal).
class ClearingBuffer final : public std::streambuf {
  public:
    explicit ClearingBuffer(std::streambuf* to) : to_(to) {}

  protected:
    int overflow(int ch) override {
        if (ch == traits_type::eof()) return to_->pubsync() == 0 ? 0 : traits_type::eof();
        Terminal().clear();
        return to_->sputc(static_cast<char>(ch));
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        Terminal().clear();
        return to_->sputn(s, n);
    }
    int sync() override { return to_->pubsync(); }

  private:
    std::streambuf* to_;
};

// Tests reach into the writing of files the same way, without timing:
// ITEMANALYSIS_TEST_SIGINT_AT_OUTPUT=N interrupts the run once the Nth
// temporary file of the run is made, while that file is being written;
// ITEMANALYSIS_TEST_SWAP_OUTPUT=N:PATH puts a link to PATH in place of the
// Nth temporary right before it would be renamed, as a program racing the
// writer would.
void InstallOutputTestHooks() {
    const char* interruptAt = std::getenv("ITEMANALYSIS_TEST_SIGINT_AT_OUTPUT");
    const char* swap = std::getenv("ITEMANALYSIS_TEST_SWAP_OUTPUT");
    if (!interruptAt && !swap) return;
    const long long madeAt = interruptAt ? std::atoll(interruptAt) : 0;
    const long long swapAt = swap ? std::atoll(swap) : 0;
    const char* colon = swap ? std::strchr(swap, ':') : nullptr;
    const std::string victim = colon ? colon + 1 : "";
    SetOutputStepHookForTests([madeAt, swapAt, victim](OutputStep step, const std::string& folder,
                                                       const std::string& name) {
        // The hook is copied for every call: the counts live outside it.
        static long long made = 0, renamed = 0;
        if (step == OutputStep::TemporaryCreated && ++made == madeAt) std::raise(SIGINT);
        if (step == OutputStep::BeforeRename && ++renamed == swapAt && !victim.empty()) {
            namespace fs = std::filesystem;
            std::error_code ec;
            fs::remove(fs::path(folder) / name, ec);
            fs::create_symlink(victim, fs::path(folder) / name, ec);
        }
    });
}

} // namespace

bool TakeQuietOption(int& argc, char** argv) {
    bool quiet = false;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quiet") == 0)
            quiet = true;
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    argv[argc] = nullptr;
    return quiet;
}

void StartJobProgress(bool quiet) {
    std::signal(SIGINT, OnInterrupt);
    InstallOutputTestHooks();
    const bool draw = !quiet && ::isatty(STDERR_FILENO);
    Terminal().start(draw);
    if (draw) {
        // The streams flush once more after every static object is gone
        // (at exit, as the last thing the library does), so the buffers in
        // between live as long as the process does.
        std::cerr.rdbuf(new ClearingBuffer(std::cerr.rdbuf()));
        std::cout.rdbuf(new ClearingBuffer(std::cout.rdbuf()));
    }
}

Progress& JobProgress() {
    return Terminal();
}

bool JobWasCancelled() {
    return Terminal().cancelled();
}

void EndJobProgress() {
    Terminal().clear();
}

} // namespace ia::cli
