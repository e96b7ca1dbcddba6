// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// itemanalysis-cli graphs: the graphical report of a test as a PDF file, and
// its charts as PNG or SVG files.

namespace ia::cli {

// argv[1] is "graphs". Needs a QGuiApplication (texts are measured with Qt).
int Graphs(int argc, char** argv);

} // namespace ia::cli
