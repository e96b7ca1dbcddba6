// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The answer-sheet subcommands (argv[1] is the subcommand).

int RunSheetsCommand(int argc, char** argv);
int RunScanCommand(int argc, char** argv);
