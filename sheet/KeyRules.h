// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a key release does in the answer-sheet grid (DBGrid1_KeyUp) and in the
// key grid (DBGrid2_KeyUp), as pure functions so that every rule can be tried
// without a window.

#include <QString>
#include <QStringView>
#include <QtCore/qnamespace.h>

namespace ia {

enum class GridKind { Sheets, Key }; // DBGrid1, DBGrid2

// Virtual key codes the rules are written in.
namespace vk {
constexpr int None = 0; // any key the rules do not name: it never matches a row
constexpr int Back = 8;
constexpr int Tab = 9;
constexpr int Return = 13;
constexpr int Shift = 16;
constexpr int Control = 17;
constexpr int Menu = 18; // Alt
constexpr int Escape = 27;
constexpr int Space = 32;
constexpr int Prior = 33; // Page Up
constexpr int Next = 34;  // Page Down
constexpr int End = 35;
constexpr int Home = 36;
constexpr int Left = 37;
constexpr int Up = 38;
constexpr int Right = 39;
constexpr int Down = 40;
constexpr int Insert = 45;
constexpr int Delete = 46;
constexpr int Digit0 = 48;  // main keyboard 0..9: 48..57
constexpr int LetterA = 65; // A..Z: 65..90
constexpr int Numpad0 = 96; // keypad 0..9: 96..105
constexpr int F1 = 112;     // F1..F24: 112..135
} // namespace vk

// The digit 0..9 of a key of the main keyboard's digit row by its physical
// key (X11/Wayland keycodes 10..19, Windows scan codes 2..11), whatever the
// keyboard layout; -1 for any other key.
int DigitRowDigit(quint32 nativeScanCode);

// 0..9 for '0'..'9' and the Thai digits U+0E50..U+0E59, -1 otherwise.
int DigitValue(QChar c);

// The text with every Thai digit replaced by its ASCII digit.
QString AsciiDigits(QString text);

// The virtual key code of a Qt key event. Every key is mapped explicitly, so
// that no character shares a code with a navigation key (Qt's code for "("
// is 40, the code of Down).
int VirtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeScanCode,
                   QStringView text);

struct KeyUpInput {
    int keyCode = vk::None;
    bool anyModifier = false; // Shift, Ctrl or Alt held
    int column = 0;           // current column of the grid
    QString caption;          // caption of the current column
    int nItem = 0;
    int nChoice = 0;
    QString cellText;    // the current cell's text, the editor's while it is open
    bool topRow = false; // current row is the top visible row
};

struct KeyUpAction {
    enum Kind {
        Nothing,
        MoveToColumn,      // the current column becomes `column`
        FocusKeyGrid,      // DBGrid2
        FocusSheetGrid,    // DBGrid1
        FocusSubjectField, // Text1(1)
    };
    Kind kind = Nothing;
    int column = -1;
    bool operator==(const KeyUpAction&) const = default;
};

KeyUpAction DBGrid1_KeyUp(const KeyUpInput& in);
KeyUpAction DBGrid2_KeyUp(const KeyUpInput& in);
inline KeyUpAction GridKeyUp(GridKind kind, const KeyUpInput& in) {
    return kind == GridKind::Sheets ? DBGrid1_KeyUp(in) : DBGrid2_KeyUp(in);
}

// What a key pressed in an answer cell (an item of either grid) does before
// any editor sees it: an answer never leaves a cell except by Backspace or
// Delete, so a key that is not an answer is refused and the stored value
// stays.
enum class AnswerPress {
    PassOn, // the grid or the editor handles it as usual (moves, Escape, a good answer)
    Refuse, // beep and keep the cell as it is
    Empty,  // Backspace or Delete on a cell with no editor open: the answer goes
};

struct AnswerPressInput {
    int qtKey = 0;
    Qt::KeyboardModifiers modifiers;
    QString text; // the text the key gives, a Thai digit already as its digit
    int nChoice = 0;
    bool editorOpen = false;
    // With the editor open: how many characters it would hold with the key's
    // text typed (its selection replaced).
    qsizetype editorLengthAfter = 0;
};

AnswerPress AnswerCellPress(const AnswerPressInput& in);

// "พิมพ์ได้เฉพาะ 0–4": what an answer cell of a test with nChoice choices takes.
QString AcceptedAnswersText(int nChoice);

// Captions of the score column, which the automatic advance never leaves.
extern const char* const kScoreCaptionSheets; // "คะแนน"
extern const char* const kScoreCaptionKey;    // "เต็ม"

} // namespace ia
