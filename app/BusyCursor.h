// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one way the window shows that it is busy: an hourglass over the whole
// program while work runs, the normal arrow over a question asked meanwhile.
// Every hourglass is counted, so that quitting or closing can take back all
// of them, also those of work that never finished.

#include <QApplication>
#include <QCursor>

namespace ia {

class Hourglass {
  public:
    static void set(bool on) {
        if (on) {
            QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            ++depth();
        } else if (depth() > 0) {
            QApplication::restoreOverrideCursor();
            --depth();
        }
    }
    // Back to the normal pointer, whatever is still counted.
    static void clearAll() {
        while (QApplication::overrideCursor())
            QApplication::restoreOverrideCursor();
        depth() = 0;
    }

  private:
    static int& depth() {
        static int d = 0;
        return d;
    }
};

// The hourglass for the lifetime of a scope, put back also when the scope is
// left by an exception.
class BusyCursor {
  public:
    BusyCursor() { Hourglass::set(true); }
    ~BusyCursor() { Hourglass::set(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// A box asks or tells something while a command may still show the
// hourglass; over the box the pointer is the normal arrow.
class ArrowCursor {
  public:
    ArrowCursor() { QApplication::setOverrideCursor(QCursor(Qt::ArrowCursor)); }
    ~ArrowCursor() { QApplication::restoreOverrideCursor(); }
    ArrowCursor(const ArrowCursor&) = delete;
    ArrowCursor& operator=(const ArrowCursor&) = delete;
};

} // namespace ia
