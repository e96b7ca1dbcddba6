// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/KeyRules.h"

#include <gtest/gtest.h>

using namespace ia;

namespace {

using A = KeyUpAction;
const A kNothing{};
// A release never changes a cell: the press already refused what is no answer.
const A kStays{};
A MoveTo(int c) {
    return {A::MoveToColumn, c};
}

// A test of five items with four choices, laid out: column 0 the code, 1..5
// the items, 6 the score.
QString Caption(GridKind kind, int column) {
    if (column == 0) return kind == GridKind::Sheets ? "เลขที่/รหัส" : "คำตอบ";
    if (column == 6)
        return QString::fromUtf8(kind == GridKind::Sheets ? kScoreCaptionSheets : kScoreCaptionKey);
    return QString::number(column);
}

struct Case {
    const char* name;
    GridKind kind;
    int key;
    bool modifier;
    int column;
    QString cellText;
    bool topRow;
    A expected;
};

const GridKind S = GridKind::Sheets;
const GridKind K = GridKind::Key;

} // namespace

TEST(KeyRules, DecisionsOfBothGrids) {
    const Case cases[] = {
        // Navigation keys never validate the cell, even one holding two characters.
        {"left", S, vk::Left, false, 2, "12", false, kNothing},
        {"right", S, vk::Right, false, 2, "12", false, kNothing},
        {"down", S, vk::Down, false, 2, "x", false, kNothing},
        {"page down", S, vk::Next, true, 2, "x", true, kNothing},
        {"home", S, vk::Home, false, 2, "x", false, kNothing},
        {"end", S, vk::End, false, 2, "x", false, kNothing},
        // Up to the key grid only with a modifier on the top visible row.
        {"up alone on top row", S, vk::Up, false, 2, "", true, kNothing},
        {"shift up below top row", S, vk::Up, true, 2, "", false, kNothing},
        {"shift up on top row", S, vk::Up, true, 2, "", true, {A::FocusKeyGrid}},
        {"ctrl page up on top row", S, vk::Prior, true, 0, "", true, {A::FocusKeyGrid}},
        // Enter walks from the code to the items, never past item nItem - 1.
        {"enter in code", S, vk::Return, false, 0, "101", false, MoveTo(1)},
        {"enter in item 3", S, vk::Return, false, 3, "", false, MoveTo(4)},
        {"enter in item nItem-1", S, vk::Return, false, 4, "", false, kNothing},
        {"enter in last item", S, vk::Return, false, 5, "", false, kNothing},
        {"enter in score", S, vk::Return, false, 6, "", false, kNothing},
        // The code column takes anything.
        {"letter in code", S, vk::LetterA, false, 0, "ABCDEFG", false, kNothing},
        {"backspace in code", S, vk::Back, false, 0, "", false, kNothing},
        // Answers.
        {"digit advances", S, vk::Digit0 + 3, false, 2, "3", false, MoveTo(3)},
        {"zero accepted", S, vk::Digit0, false, 2, "0", false, MoveTo(3)},
        {"nChoice accepted", S, vk::Digit0 + 4, false, 2, "4", false, MoveTo(3)},
        {"keypad digit advances", S, vk::Numpad0 + 2, false, 1, "2", false, MoveTo(2)},
        {"keypad nChoice", S, vk::Numpad0 + 4, false, 1, "4", false, MoveTo(2)},
        {"digit above nChoice", S, vk::Digit0 + 5, false, 2, "5", false, kStays},
        {"keypad above nChoice", S, vk::Numpad0 + 5, false, 2, "5", false, kStays},
        {"letter", S, vk::LetterA + 1, false, 2, "b", false, kStays},
        {"second character", S, vk::Digit0 + 2, false, 2, "12", false, kStays},
        {"thai digit is one character", S, vk::Digit0 + 3, false, 2, "๓", false, MoveTo(3)},
        {"backspace", S, vk::Back, false, 2, "", false, kStays},
        {"delete", S, vk::Delete, false, 2, "", false, kStays},
        {"function key", S, vk::F1, false, 2, "1", false, kStays},
        {"shift alone", S, vk::Shift, true, 2, "1", false, kStays},
        {"unnamed key", S, vk::None, false, 2, "(", false, kStays},
        {"digit in last item stays", S, vk::Digit0 + 1, false, 5, "1", false, kNothing},
        {"digit in score stays", S, vk::Digit0 + 1, false, 6, "1", false, kNothing},
        // The key grid.
        {"key: up", K, vk::Up, false, 3, "", true, {A::FocusSubjectField}},
        {"key: page up", K, vk::Prior, false, 3, "", true, {A::FocusSubjectField}},
        {"key: down", K, vk::Down, false, 3, "", true, {A::FocusSheetGrid}},
        {"key: page down alone", K, vk::Next, false, 3, "", true, kNothing},
        {"key: ctrl page down", K, vk::Next, true, 3, "", true, {A::FocusSheetGrid}},
        {"key: left", K, vk::Left, false, 3, "12", true, kNothing},
        {"key: end", K, vk::End, false, 3, "12", true, kNothing},
        {"key: enter in marker", K, vk::Return, false, 0, "KEY", true, MoveTo(1)},
        {"key: digit advances", K, vk::Digit0 + 2, false, 1, "2", true, MoveTo(2)},
        {"key: zero advances", K, vk::Numpad0, false, 1, "0", true, MoveTo(2)},
        {"key: bad digit", K, vk::Digit0 + 9, false, 1, "9", true, kStays},
        {"key: full-marks column stays", K, vk::Digit0 + 1, false, 6, "1", true, kNothing},
    };
    for (const Case& c : cases) {
        KeyUpInput in;
        in.keyCode = c.key;
        in.anyModifier = c.modifier;
        in.column = c.column;
        in.caption = Caption(c.kind, c.column);
        in.nItem = 5;
        in.nChoice = 4;
        in.cellText = c.cellText;
        in.topRow = c.topRow;
        const A got = GridKeyUp(c.kind, in);
        EXPECT_EQ(got.kind, c.expected.kind) << c.name;
        EXPECT_EQ(got.column, c.expected.column) << c.name;
    }
}

TEST(KeyRules, PressesInAnAnswerCell) {
    using P = AnswerPress;
    struct PressCase {
        const char* name;
        int qtKey;
        Qt::KeyboardModifiers mods;
        QString text;
        bool editorOpen;
        qsizetype lengthAfter;
        P expected;
    };
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const PressCase cases[] = {
        {"digit", Qt::Key_3, none, "3", false, 0, P::PassOn},
        {"zero", Qt::Key_0, none, "0", false, 0, P::PassOn},
        {"nChoice", Qt::Key_4, none, "4", false, 0, P::PassOn},
        {"thai digit", 0x0E53, none, "๓", false, 0, P::PassOn},
        {"keypad digit", Qt::Key_2, Qt::KeypadModifier, "2", false, 0, P::PassOn},
        {"above nChoice", Qt::Key_5, none, "5", false, 0, P::Refuse},
        {"thai digit above nChoice", 0x0E55, none, "๕", false, 0, P::Refuse},
        {"letter", Qt::Key_A, none, "a", false, 0, P::Refuse},
        {"thai letter", 0x0E20, none, "ภ", false, 0, P::Refuse},
        {"space", Qt::Key_Space, none, " ", false, 0, P::Refuse},
        {"second character", Qt::Key_2, none, "2", true, 2, P::Refuse},
        {"digit over a selected one", Qt::Key_2, none, "2", true, 1, P::PassOn},
        {"backspace, no editor", Qt::Key_Backspace, none, "\b", false, 0, P::Empty},
        {"delete, no editor", Qt::Key_Delete, none, "\x7f", false, 0, P::Empty},
        {"backspace in the editor", Qt::Key_Backspace, none, "\b", true, 0, P::PassOn},
        {"escape", Qt::Key_Escape, none, "\x1b", false, 0, P::PassOn},
        {"escape in the editor", Qt::Key_Escape, none, "\x1b", true, 0, P::PassOn},
        {"shift alone", Qt::Key_Shift, Qt::ShiftModifier, "", false, 0, P::PassOn},
        {"arrow", Qt::Key_Right, none, "", false, 0, P::PassOn},
        {"ctrl+v", Qt::Key_V, Qt::ControlModifier, "\x16", false, 0, P::PassOn},
    };
    for (const PressCase& c : cases) {
        AnswerPressInput in;
        in.qtKey = c.qtKey;
        in.modifiers = c.mods;
        in.text = c.text;
        in.nChoice = 4;
        in.editorOpen = c.editorOpen;
        in.editorLengthAfter = c.lengthAfter;
        EXPECT_EQ(AnswerCellPress(in), c.expected) << c.name;
    }
    EXPECT_EQ(AcceptedAnswersText(4), QString::fromUtf8("พิมพ์ได้เฉพาะ 0–4"));
}

TEST(KeyRules, CaptionsDecideTheAdvance) {
    KeyUpInput in;
    in.keyCode = vk::Digit0 + 1;
    in.nItem = 5;
    in.nChoice = 4;
    in.cellText = "1";
    // The score caption of the other grid is just a caption reading 0.
    in.column = 6;
    in.caption = QString::fromUtf8(kScoreCaptionKey);
    EXPECT_EQ(DBGrid1_KeyUp(in), MoveTo(7));
    in.caption = QString::fromUtf8(kScoreCaptionSheets);
    EXPECT_EQ(DBGrid2_KeyUp(in), MoveTo(7));
    // A test of one item: Enter in the code column stays.
    in = {};
    in.keyCode = vk::Return;
    in.nItem = 1;
    in.caption = "เลขที่/รหัส";
    EXPECT_EQ(DBGrid1_KeyUp(in), kNothing);
}

TEST(KeyRules, VirtualKeyCodes) {
    const Qt::KeyboardModifiers none = Qt::NoModifier;
    const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
    struct KeyCase {
        const char* name;
        int qtKey;
        Qt::KeyboardModifiers mods;
        quint32 scan;
        QString text;
        int expected;
    } cases[] = {
        {"left", Qt::Key_Left, none, 0, "", vk::Left},
        {"up", Qt::Key_Up, Qt::ShiftModifier, 0, "", vk::Up},
        {"right", Qt::Key_Right, none, 0, "", vk::Right},
        {"down", Qt::Key_Down, none, 0, "", vk::Down},
        {"page up", Qt::Key_PageUp, none, 0, "", vk::Prior},
        {"page down", Qt::Key_PageDown, Qt::ControlModifier, 0, "", vk::Next},
        {"home", Qt::Key_Home, none, 0, "", vk::Home},
        {"end", Qt::Key_End, none, 0, "", vk::End},
        {"return", Qt::Key_Return, none, 0, "\r", vk::Return},
        {"keypad enter", Qt::Key_Enter, keypad, 0, "\r", vk::Return},
        {"digit", Qt::Key_3, none, 0, "3", vk::Digit0 + 3},
        {"keypad digit", Qt::Key_3, keypad, 0, "3", vk::Numpad0 + 3},
        {"letter a", Qt::Key_A, none, 0, "a", vk::LetterA},
        {"letter z", Qt::Key_Z, none, 0, "z", vk::LetterA + 25},
        {"backspace", Qt::Key_Backspace, none, 0, "\b", vk::Back},
        {"delete", Qt::Key_Delete, none, 0, "", vk::Delete},
        {"shift", Qt::Key_Shift, Qt::ShiftModifier, 0, "", vk::Shift},
        {"f1", Qt::Key_F1, none, 0, "", vk::F1},
        {"thai digit key", 0x0E53, none, 0, "๓", vk::Digit0 + 3},
        // Characters whose Qt codes equal navigation codes.
        {"paren left is not down", Qt::Key_ParenLeft, none, 0, "(", vk::None},
        {"exclam is not page up", Qt::Key_Exclam, none, 0, "!", vk::None},
        {"numbersign is not end", Qt::Key_NumberSign, none, 0, "#", vk::None},
        {"dollar is not home", Qt::Key_Dollar, none, 0, "$", vk::None},
        {"percent is not left", Qt::Key_Percent, none, 0, "%", vk::None},
        {"ampersand is not up", Qt::Key_Ampersand, none, 0, "&", vk::None},
        {"apostrophe is not right", Qt::Key_Apostrophe, none, 0, "'", vk::None},
        {"thai letter", 0x0E01, none, 0, "ก", vk::None},
#ifndef Q_OS_WIN
        // Digit row under a Thai layout (X11 keycodes 10..19).
        {"digit row 4 typing a thai letter", 0x0E20, none, 13, "ภ", vk::Digit0 + 4},
        {"digit row 0", 0x0E08, none, 19, "จ", vk::Digit0},
        {"digit row with shift", Qt::Key_Exclam, Qt::ShiftModifier, 10, "!", vk::Digit0 + 1},
        {"keypad keycode is not the digit row", Qt::Key_1, keypad, 87, "1", vk::Numpad0 + 1},
        {"comma keycode", Qt::Key_Comma, none, 59, ",", vk::None},
#endif
    };
    for (const KeyCase& c : cases)
        EXPECT_EQ(VirtualKeyCode(c.qtKey, c.mods, c.scan, c.text), c.expected) << c.name;
}

TEST(KeyRules, ThaiDigitsBecomeAscii) {
    EXPECT_EQ(AsciiDigits("๑๒a๙0"), "12a90");
    EXPECT_EQ(AsciiDigits("ก"), "ก");
    EXPECT_EQ(DigitValue(QChar(0x0E50)), 0);
    EXPECT_EQ(DigitValue(QChar(u'7')), 7);
    EXPECT_EQ(DigitValue(QChar(0x0E5A)), -1);
}
