// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The import and export subcommands (argv[1] is the subcommand).

int RunImportCommand(int argc, char** argv);
int RunExportCommand(int argc, char** argv);
