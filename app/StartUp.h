// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window as the teacher left it: its place, size and report zoom
// come back from the user's settings, and an exam file named on the command
// line opens as soon as the window is up.

#include <QStringList>

namespace ia {

class FTAData;

// `arguments` as QCoreApplication::arguments(): the program, then perhaps
// an exam file.
void ShowMainWindow(FTAData& w, const QStringList& arguments);
// Keeps the window's place, size and report zoom for the next start.
void RememberMainWindow(const FTAData& w);

} // namespace ia
