// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ReportView.h"

#include "report/PrintReport.h"
#include "report/PrintState.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <map>

namespace ia {

namespace {

// The printout's 124-hyphen rule is 15.8 cm wide: one column of the screen.
constexpr double kColumnCm = kCentreWidth / 124.0;
constexpr int kMinZoom = -6;
constexpr int kMaxZoom = 24;

bool TakesNoColumn(QChar c) {
    const auto cat = c.category();
    return cat == QChar::Mark_NonSpacing || cat == QChar::Mark_Enclosing;
}

// A run of blanks in a printed text is half a digit per blank; a digit is
// one column on screen. Blanks between words keep at least one column.
QString ScreenPiece(const QString& text) {
    QString out;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text[i] != QChar(' ')) {
            out += text[i++];
            continue;
        }
        qsizetype run = 0;
        while (i < text.size() && text[i] == QChar(' ')) {
            ++run;
            ++i;
        }
        int columns = static_cast<int>((run + 1) / 2);
        if (!out.isEmpty() && i < text.size()) columns = std::max(columns, 1);
        if (i == text.size()) columns = 0; // trailing blanks show nothing
        out += QString(columns, QChar(' '));
    }
    return out;
}

} // namespace

int ScreenColumns(const QString& text) {
    int n = 0;
    for (QChar c : text)
        if (!TakesNoColumn(c)) ++n;
    return n;
}

QString ScreenReportText(const std::vector<PrintedText>& printed) {
    // sheet -> line -> texts at their columns, in printing order
    std::map<int, std::map<int, std::vector<std::pair<int, QString>>>> pages;
    for (const PrintedText& t : printed) {
        if (t.text.empty()) continue;
        const int line = static_cast<int>(std::lround((t.y - kPageTop) / kLineStep));
        const int column = std::max(0, static_cast<int>(std::lround((t.x - 3.0) / kColumnCm)));
        pages[t.sheet][line].emplace_back(column, QString::fromStdString(t.text));
    }
    QStringList lines;
    for (auto& [sheet, page] : pages) {
        if (!lines.isEmpty()) lines << QString();
        int next = page.empty() ? 0 : page.begin()->first;
        for (auto& [index, texts] : page) {
            for (; next < index; ++next)
                lines << QString();
            std::stable_sort(texts.begin(), texts.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            QString line;
            for (const auto& [column, text] : texts) {
                const int used = ScreenColumns(line);
                if (used < column)
                    line += QString(column - used, QChar(' '));
                else if (!line.isEmpty() && !line.endsWith(QChar(' ')))
                    line += QChar(' ');
                line += ScreenPiece(text);
            }
            while (line.endsWith(QChar(' ')))
                line.chop(1);
            lines << line;
            next = index + 1;
        }
    }
    return lines.join(QChar('\n'));
}

std::vector<PrintedText> LayOutReport(const ReportData& data, TestHeader header,
                                      const std::string& schoolName) {
    RecordingPrinter prn;
    PrintJob job;
    job.PrintMode = 1;
    PrintOutput(prn, job, header, schoolName, data, header.nChoice, header.nItem);
    return prn.Texts();
}

ReportView::ReportView(QWidget* parent) : QPlainTextEdit(parent) {
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // The cursor keys move through the report and Shift selects, for copying.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // Tlwg Typo sets vowels and tone marks above and below their letter in a
    // fixed pitch, so a column is a column whatever the marks.
    QFont mono("Tlwg Typo");
    mono.setStyleHint(QFont::Monospace);
    mono.setPointSizeF(10);
    setFont(mono);
    basePoints_ = mono.pointSizeF();

    find_ = new QLineEdit(this);
    find_->setObjectName("reportFind");
    find_->setPlaceholderText("ค้นหาในรายงาน แล้วกด Enter");
    find_->setClearButtonEnabled(true);
    find_->hide();
    find_->installEventFilter(this);
}

void ReportView::setZoom(int steps) {
    steps = std::clamp(steps, kMinZoom, kMaxZoom);
    if (steps == zoom_) return;
    zoom_ = steps;
    QFont f = font();
    f.setPointSizeF(basePoints_ + steps);
    setFont(f);
    emit zoomChanged(zoom_);
}

void ReportView::openFind() {
    placeFindField();
    find_->show();
    find_->raise();
    if (textCursor().hasSelection()) find_->setText(textCursor().selectedText());
    find_->selectAll();
    find_->setFocus(Qt::ShortcutFocusReason);
}

bool ReportView::findText(const QString& text, bool backwards) {
    if (text.isEmpty()) return false;
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (find(text, flags)) return true;
    // Round the end of the report.
    QTextCursor start = textCursor();
    QTextCursor round(document());
    round.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
    setTextCursor(round);
    if (find(text, flags)) return true;
    setTextCursor(start);
    return false;
}

void ReportView::keyPressEvent(QKeyEvent* e) {
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    if (ctrl) {
        switch (e->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            setZoom(zoom_ + 1);
            return;
        case Qt::Key_Minus:
            setZoom(zoom_ - 1);
            return;
        case Qt::Key_0:
            setZoom(0);
            return;
        case Qt::Key_F:
            openFind();
            return;
        case Qt::Key_Home:
        case Qt::Key_End: {
            const bool keep = e->modifiers() & Qt::ShiftModifier;
            moveCursor(e->key() == Qt::Key_Home ? QTextCursor::Start : QTextCursor::End,
                       keep ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
            ensureCursorVisible();
            return;
        }
        default:
            break;
        }
    }
    if (e->key() == Qt::Key_F3) {
        findText(find_->text(), e->modifiers() & Qt::ShiftModifier);
        return;
    }
    QPlainTextEdit::keyPressEvent(e);
}

void ReportView::wheelEvent(QWheelEvent* e) {
    if (e->modifiers() & Qt::ControlModifier) {
        const int delta = e->angleDelta().y();
        if (delta != 0) setZoom(zoom_ + (delta > 0 ? 1 : -1));
        e->accept();
        return;
    }
    QPlainTextEdit::wheelEvent(e);
}

void ReportView::resizeEvent(QResizeEvent* e) {
    QPlainTextEdit::resizeEvent(e);
    placeFindField();
}

void ReportView::placeFindField() {
    const QRect vp = viewport()->geometry();
    const int w = std::min(vp.width() - 8, fontMetrics().averageCharWidth() * 36);
    const int h = find_->sizeHint().height();
    find_->setGeometry(vp.right() - w - 4, vp.top() + 4, w, h);
}

bool ReportView::eventFilter(QObject* watched, QEvent* e) {
    if (watched == find_ && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter || k->key() == Qt::Key_F3) {
            const bool found = findText(find_->text(), k->modifiers() & Qt::ShiftModifier);
            QPalette p = find_->palette();
            p.setColor(QPalette::Base, found ? QApplication::palette().color(QPalette::Base)
                                             : QColor(255, 200, 200));
            find_->setPalette(p);
            if (!found) QApplication::beep();
            return true;
        }
        if (k->key() == Qt::Key_Escape) {
            find_->hide();
            setFocus(Qt::OtherFocusReason);
            return true;
        }
    }
    return QPlainTextEdit::eventFilter(watched, e);
}

} // namespace ia
