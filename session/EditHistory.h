// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's undo history over the exam file in hand, as plain data: every
// change made through the connection to the sheets, the key and the header is
// recorded by temporary triggers as the statement that turns it back, in a
// temporary table (so that an import of ten thousand sheets is not held in
// memory). A step is what was recorded between two takeStep() calls. Turning a
// step back runs its statements in one transaction, and the triggers record
// the statements that redo it in its place: undo and redo are the same swap.
// Totalling and analysing are not recorded (pause()): their results follow
// the data.

#include <memory>
#include <optional>
#include <set>
#include <string>

namespace ia {

class Connection;

struct EditStep {
    long long id = 0;
    std::string description; // Thai: "แก้คำตอบข้อ 3 ของเลขที่ 101"
};

class EditHistory {
  public:
    // Installs the temporary log and triggers on the connection; a history
    // that was attached before is forgotten. False (and nothing recorded)
    // when the connection cannot take them.
    bool attach(const std::shared_ptr<Connection>& db);
    void detach();
    bool attached() const { return db_ != nullptr; }

    // Records the changes of our own tables tied to the sheets (names,
    // groups) that the file has now; call it once such a table is made.
    // Attaching follows those that exist. Throws DbError.
    void followTiedTables();

    // The changes recorded since the last step become one step; none when
    // nothing was recorded.
    std::optional<EditStep> takeStep(const std::string& description);
    // Turns a step back (or forward again, once turned back), in one
    // transaction; the rows of tied tables whose sheet it removed go with
    // it (rows written where nothing recorded them, as by an import that
    // made its table). Throws DbError; the file and the history are then
    // as they were.
    void swap(long long stepId);
    // The step will never be swapped again: its statements go.
    void forget(long long stepId);

    // While paused nothing is recorded (nested pauses count).
    class Pause {
      public:
        explicit Pause(EditHistory& h);
        ~Pause();
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;

      private:
        EditHistory& h_;
    };

  private:
    void setPaused(bool paused);
    std::shared_ptr<Connection> db_;
    std::set<std::string> followed_; // tied tables with triggers
    long long nextStep_ = 1;
    int pauses_ = 0;
};

} // namespace ia
