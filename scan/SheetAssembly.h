// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Pages read become answer sheets: the pages of one printed copy are put
// together, every item decided, the doubtful ones settled by the teacher's
// answers or by the policy asked for, and what is still unsettled listed.

#include "scan/ScanTypes.h"

#include <string>
#include <vector>

namespace ia::scan {

// What becomes of a doubtful mark the teacher has not settled.
enum class DoubtfulPolicy {
    Refuse,   // nothing is stored until it is settled
    Blank,    // stored as no answer
    Multiple, // stored as "*"
};

// A mark (or a student code) for a person to look at.
struct Doubt {
    PageSource source;
    std::string code;     // the sheet's code as far as it is known
    int item = 0;         // 0: the student code
    std::string darkness; // of each bubble ("/"), or the code grid's columns (";")
    std::string proposal; // the reading the darkness suggests, "" when none
    std::string reason;   // Thai
};

struct AssembledSheet {
    bool key = false;
    int copy = 0;
    std::string code;
    std::vector<std::string> answers; // nItem texts: "1".."5", "*", ""
    std::vector<ReadPage> pages;
    // Decisions used (item -> answer; 0 the code), kept with the pages.
    std::map<int, std::string> decisions;
    bool settled = true;
};

struct Assembly {
    std::vector<AssembledSheet> sheets;
    std::vector<Doubt> doubts;         // unsettled (with Refuse) or stored by policy
    std::vector<std::string> problems; // Thai: pages read but not storable, with why
    int unsettled = 0;
};

// nItem is the exam file's; the teacher's decisions were checked against
// its choices when read. Pages not readable are skipped (the caller lists
// them); a sheet whose pages are not all there, or a page met twice, is
// listed in problems and not stored.
Assembly AssembleSheets(const std::vector<ReadPage>& pages, int nItem, DoubtfulPolicy policy,
                        const ReviewDecisions& decisions);

// The repeated student codes of a batch, named by the scans they came from
// ("a.pdf หน้า 3"), as the import names its rows: codes met twice in the
// batch, and codes the exam file already holds. Key sheets have no code.
std::vector<std::string> RepeatedCodes(const std::vector<AssembledSheet>& sheets,
                                       const std::vector<std::string>& existingCodes);

// A teacher's answer in review.csv: ก..จ, 1..5, A..E, "*" for a double mark,
// "-" for no answer. False with the Thai reason otherwise.
bool ReadReviewAnswer(const std::string& cell, int nChoice, std::string& answer,
                      std::string& error);

// review.csv: source, page, code, item, darkness, proposal, reason, answer.
std::string ReviewCsv(const std::vector<Doubt>& doubts);
// Reads a review.csv back: the rows whose answer is filled.
bool ReadReviewCsv(const std::string& path, int nChoice, ReviewDecisions& decisions,
                   std::string& error);

// "item=answer;…" as kept with the pages, and back.
std::string DecisionsText(const std::map<int, std::string>& decisions);
std::map<int, std::string> ParseDecisionsText(const std::string& text);

} // namespace ia::scan
