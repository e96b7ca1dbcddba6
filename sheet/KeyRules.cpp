// SPDX-License-Identifier: GPL-3.0-or-later
#include "sheet/KeyRules.h"

#include "examfile/Val.h"

namespace ia {

const char* const kScoreCaptionSheets = "คะแนน";
const char* const kScoreCaptionKey = "เต็ม";

int DigitRowDigit(quint32 nativeScanCode) {
#ifdef Q_OS_WIN
    constexpr quint32 first = 2; // scan codes of 1..9, 0
#else
    constexpr quint32 first = 10; // X11 and Wayland keycodes of 1..9, 0
#endif
    if (nativeScanCode < first || nativeScanCode > first + 9) return -1;
    return static_cast<int>((nativeScanCode - first + 1) % 10);
}

int DigitValue(QChar c) {
    char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') return u - u'0';
    if (u >= 0x0E50 && u <= 0x0E59) return u - 0x0E50;
    return -1;
}

QString AsciiDigits(QString text) {
    for (QChar& c : text) {
        char16_t u = c.unicode();
        if (u >= 0x0E50 && u <= 0x0E59) c = QChar(u'0' + (u - 0x0E50));
    }
    return text;
}

int VirtualKeyCode(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeScanCode,
                   QStringView text) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    // The digit row gives its digits under any layout (a Thai layout puts
    // letters on it).
    if (!keypad) {
        int d = DigitRowDigit(nativeScanCode);
        if (d >= 0) return vk::Digit0 + d;
    }
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vk::Return;
    case Qt::Key_Left:
        return vk::Left;
    case Qt::Key_Up:
        return vk::Up;
    case Qt::Key_Right:
        return vk::Right;
    case Qt::Key_Down:
        return vk::Down;
    case Qt::Key_PageUp:
        return vk::Prior;
    case Qt::Key_PageDown:
        return vk::Next;
    case Qt::Key_Home:
        return vk::Home;
    case Qt::Key_End:
        return vk::End;
    case Qt::Key_Backspace:
        return vk::Back;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return vk::Tab;
    case Qt::Key_Shift:
        return vk::Shift;
    case Qt::Key_Control:
        return vk::Control;
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
        return vk::Menu;
    case Qt::Key_Escape:
        return vk::Escape;
    case Qt::Key_Space:
        return vk::Space;
    case Qt::Key_Insert:
        return vk::Insert;
    case Qt::Key_Delete:
        return vk::Delete;
    default:
        break;
    }
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9)
        return (keypad ? vk::Numpad0 : vk::Digit0) + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return vk::LetterA + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return vk::F1 + (qtKey - Qt::Key_F1);
    if (qtKey >= 0x0E50 && qtKey <= 0x0E59) return vk::Digit0 + (qtKey - 0x0E50);
    if (text.size() == 1) {
        int d = DigitValue(text[0]);
        if (d >= 0) return vk::Digit0 + d;
    }
    return vk::None;
}

namespace {

// A caption read as a number: its leading digits, 0 without any.
double CaptionNumber(const QString& caption) {
    return Val(caption.toStdString());
}

qsizetype CharacterCount(const QString& text) {
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (!text[i].isLowSurrogate()) ++n;
    return n;
}

KeyUpAction Move(int column) {
    return {KeyUpAction::MoveToColumn, column};
}

KeyUpAction Enter(const KeyUpInput& in) {
    const int c = in.column;
    if (CaptionNumber(in.caption) < in.nItem && c >= 0 && c < in.nItem - 1) return Move(c + 1);
    return {};
}

// The press already refused whatever is no answer (AnswerCellPress); the
// release only moves on from a cell holding one.
KeyUpAction ValidateAnswer(const KeyUpInput& in, const char* scoreCaption) {
    const int c = in.column;
    if (c == 0) return {}; // codes take any characters, any length
    if (CharacterCount(in.cellText) != 1) return {};
    const int code = in.keyCode;
    const bool accepted = (code >= vk::Digit0 && code <= vk::Digit0 + in.nChoice) ||
                          (code >= vk::Numpad0 && code <= vk::Numpad0 + in.nChoice);
    if (!accepted) return {};
    if (in.caption != QString::fromUtf8(scoreCaption) && CaptionNumber(in.caption) < in.nItem)
        return Move(c + 1);
    return {};
}

} // namespace

AnswerPress AnswerCellPress(const AnswerPressInput& in) {
    if (in.modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return AnswerPress::PassOn; // shortcuts
    if (in.qtKey == Qt::Key_Backspace || in.qtKey == Qt::Key_Delete)
        return in.editorOpen ? AnswerPress::PassOn : AnswerPress::Empty;
    // Keys that type nothing: moves, Escape, Enter, a modifier alone.
    if (in.text.isEmpty() || !in.text[0].isPrint()) return AnswerPress::PassOn;
    if (in.text.size() != 1) return AnswerPress::Refuse;
    const int d = DigitValue(in.text[0]);
    if (d < 0 || d > in.nChoice) return AnswerPress::Refuse;
    if (in.editorOpen && in.editorLengthAfter > 1) return AnswerPress::Refuse;
    return AnswerPress::PassOn;
}

QString AcceptedAnswersText(int nChoice) {
    return QString::fromUtf8("พิมพ์ได้เฉพาะ 0–%1").arg(nChoice);
}

KeyUpAction DBGrid1_KeyUp(const KeyUpInput& in) {
    switch (in.keyCode) {
    case vk::Left:
    case vk::Right:
    case vk::Down:
    case vk::Next:
    case vk::Home:
    case vk::End:
        return {};
    case vk::Up:
    case vk::Prior:
        if (in.anyModifier && in.topRow) return {KeyUpAction::FocusKeyGrid};
        return {};
    case vk::Return:
        return Enter(in);
    default:
        return ValidateAnswer(in, kScoreCaptionSheets);
    }
}

KeyUpAction DBGrid2_KeyUp(const KeyUpInput& in) {
    switch (in.keyCode) {
    case vk::Up:
    case vk::Prior:
        return {KeyUpAction::FocusSubjectField};
    case vk::Down:
        return {KeyUpAction::FocusSheetGrid};
    case vk::Next:
        if (in.anyModifier) return {KeyUpAction::FocusSheetGrid};
        return {};
    case vk::Left:
    case vk::Right:
    case vk::Home:
    case vk::End:
        return {};
    case vk::Return:
        return Enter(in);
    default:
        return ValidateAnswer(in, kScoreCaptionKey);
    }
}

} // namespace ia
