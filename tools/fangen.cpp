// SPDX-License-Identifier: GPL-3.0-or-later
// fangen OUTDIR: computes rjung.tbl, pjung.tbl and djung.tbl from the
// normal-ogive model and writes them into OUTDIR. The files in data/ are its
// output; regenerate them with this program rather than editing bytes.
#include "tools/FanModel.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fangen OUTDIR\n";
        return 2;
    }
    try {
        ia::fan::WriteFanTables(argv[1], ia::fan::ComputeFanTables());
    } catch (const std::exception& e) {
        std::cerr << "fangen: " << e.what() << "\n";
        return 1;
    }
    return 0;
}
