// SPDX-License-Identifier: GPL-3.0-or-later
// A teacher's whole session with the keyboard alone: a new exam file typed
// into the header panel, the key, three sheets, sorting, totalling, deleting
// a sheet and opening the file again. Every key goes to the widget with the
// focus and its release to the widget that has the focus afterwards, as a
// real keyboard delivers them. The only dialog, the open dialog, is answered
// by the fixture.

#include "WindowFixture.h"
#include "examfile/Engine.h"
#include "sheet/SheetModel.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <string>
#include <vector>

using iatest::Control;
using iatest::HeaderFieldEdit;
using iatest::WindowFixture;

namespace {

QWidget* Focus() {
    return QApplication::focusWidget();
}

void Key(Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
    QTest::sendKeyEvent(QTest::Press, Focus(), key, text, mods);
    QTest::sendKeyEvent(QTest::Release, Focus(), key, text, mods);
}

// Thai letters have no Qt key of their own below 0x0E00: their code point is
// the key, as the window system reports them.
void Type(const QString& text) {
    for (QChar c : text) {
        Qt::Key key = static_cast<Qt::Key>(c.toUpper().unicode());
        Key(key, Qt::NoModifier, QString(c));
    }
}

QString Describe(QWidget* w) {
    if (!w) return "none";
    const QString name = w->objectName();
    return name.isEmpty() ? QString(w->metaObject()->className()) : name;
}

// Presses Tab (or Shift+Tab) until `target` has the focus; false when it is
// not reached within a round of the window's tab chain.
bool TabTo(QWidget* target, bool backward = false, QStringList* path = nullptr) {
    for (int i = 0; i < 80 && Focus() != target; ++i) {
        if (backward)
            Key(Qt::Key_Backtab, Qt::ShiftModifier);
        else
            Key(Qt::Key_Tab);
        if (path) *path << Describe(Focus());
    }
    return Focus() == target;
}

// A table of the exam file as stored, one list of texts per row in rowid
// order; a NULL reads as "-".
std::vector<QStringList> Rows(const std::string& path, const std::string& sql) {
    ia::Connection db(path, ia::Connection::Mode::ReadOnly);
    auto st = db.prepare(sql);
    std::vector<QStringList> rows;
    while (st.step()) {
        QStringList row;
        for (int i = 0; i < st.columnCount(); ++i) {
            ia::Value v = st.column(i);
            row << (v.isNull() ? QString("-") : QString::fromStdString(v.text()));
        }
        rows.push_back(row);
    }
    return rows;
}

QStringList Split(const QString& code, const QString& answers, const QString& last) {
    QStringList row{code};
    for (QChar c : answers)
        row << (c == '-' ? QString("-") : QString(c));
    row << last;
    return row;
}

QStringList GridRow(ia::SheetGrid* g, int row) {
    QStringList r;
    for (int c = 0; c < g->model()->columnCount(); ++c) {
        const QString t = g->model()->index(row, c).data().toString();
        r << (t.isEmpty() ? QString("-") : t);
    }
    return r;
}

// Alt+ร, the access key of "&รวมคะแนน". The button clicks itself a moment
// after the key, from the event loop.
void PressTotal(ia::FTAData& w) {
    QSignalSpy clicked(Control<QPushButton>(w, "cmdClose"), &QPushButton::clicked);
    Key(static_cast<Qt::Key>(0x0E23), Qt::AltModifier, "ร");
    QVERIFY(clicked.wait());
}

const QString kKey = "1234123412";

// Presses `key` on the next box, as the teacher does once it is up; the box
// must be the active window then (raised above the window, given the keys).
// Its text, and whether it was active, are kept.
struct BoxAnswer {
    QString text;
    bool active = false;
    bool seen = false;
};
void AnswerNextBox(QList<Qt::Key> keys, BoxAnswer& answer) {
    auto* poll = new QTimer;
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, keys, &answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible()) return;
        // A moment for the window system to raise it and give it the keys.
        static int waited = 0;
        if (!box->isActiveWindow() && ++waited < 40) return;
        waited = 0;
        poll->stop();
        poll->deleteLater();
        answer.seen = true;
        answer.text = box->text();
        answer.active = box->isActiveWindow();
        for (Qt::Key key : keys) {
            if (!box->isVisible()) break;
            QWidget* target = box->isAncestorOf(Focus()) ? Focus() : box;
            QTest::keyClick(target, key,
                            key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier);
        }
    });
    poll->start();
}

// Once a box has gone the window manager gives the window the keys again;
// the headless test platform leaves that to the test.
void BackToWindow(QWidget& window) {
    QTRY_VERIFY(!QApplication::activeModalWidget());
    if (!Focus()) QApplication::setActiveWindow(&window);
    QTRY_VERIFY(Focus());
}

// A key whose press opens a box: its release comes to the window once the
// box has gone.
void KeyOpeningABox(QWidget& window, Qt::Key key) {
    QTest::sendKeyEvent(QTest::Press, Focus(), key, QString(), Qt::NoModifier);
    BackToWindow(window);
    QTest::sendKeyEvent(QTest::Release, Focus(), key, QString(), Qt::NoModifier);
}

} // namespace

class KeyboardSessionTest : public QObject {
    Q_OBJECT
  private slots:
    void wholeSession();
    void safeguardsByKeyboard();
    void everyButtonIsReachedByTab();
};

void KeyboardSessionTest::wholeSession() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    const std::string path = f.dir().file("kbd.ans");
    const std::string sheetsSql = "SELECT * FROM TAData ORDER BY rowid";
    const std::string keySql = "SELECT * FROM TKey ORDER BY rowid";

    // --- New file: the header typed field by field ------------------------
    QCOMPARE(Focus(), Control<QPushButton>(w, "Command1"));
    Key(Qt::Key_Space);
    QCOMPARE(Focus(), HeaderFieldEdit(w, 0));
    Type("kbd");
    Key(Qt::Key_Down); // from the file name to the subject code
    QCOMPARE(Focus(), HeaderFieldEdit(w, 1));
    Type("ว101");
    Key(Qt::Key_Return);
    Type("วิทยาศาสตร์");
    Key(Qt::Key_Return);
    Type("1");
    Key(Qt::Key_Return);
    Type("2546");
    Key(Qt::Key_Return);
    QCOMPARE(Focus(), HeaderFieldEdit(w, 5));
    Type("10");
    Key(Qt::Key_Right);
    Type("4");
    Key(Qt::Key_Right);
    Type("ครูสมศรี");
    Key(Qt::Key_Return);
    QCOMPARE(Focus(), Control<QPushButton>(w, "Command4"));
    Key(Qt::Key_Return);

    QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
    QVERIFY(!Control<QLabel>(w, "Label5")->isVisible());
    QCOMPARE(w.session().fileName(), path);
    QCOMPARE(Rows(path, "SELECT SubCode, SubName, Term, Yearr, TeacherName, nItem, nChoice "
                        "FROM Tinit"),
             std::vector<QStringList>({{"ว101", "วิทยาศาสตร์", "1", "2546", "ครูสมศรี", "10", "4"}}));
    QCOMPARE(Rows(path, keySql), std::vector<QStringList>({Split("KEY", "----------", "-")}));
    QVERIFY(Rows(path, sheetsSql).empty());
    QCOMPARE(Focus(), Control<ia::SheetGrid>(w, "DBGrid2"));

    // --- The key: Enter to item 1, then one digit per item ----------------
    Key(Qt::Key_Return);
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid2")->currentIndex().column(), 1);
    Type(kKey);
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid2")->currentIndex().column(),
             10);      // the last item keeps the pointer
    Key(Qt::Key_Down); // down to the sheets; the open cell is written
    QCOMPARE(Focus(), Control<ia::SheetGrid>(w, "DBGrid1"));
    QCOMPARE(Rows(path, keySql), std::vector<QStringList>({Split("KEY", kKey, "-")}));

    // --- Totalling before any sheet leaves the empty row alone ------------
    Key(Qt::Key_Return);
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->currentIndex().column(), 1);
    PressTotal(w);
    QVERIFY(Rows(path, sheetsSql).empty());
    QCOMPARE(Focus(), Control<ia::SheetGrid>(w, "DBGrid1"));
    Key(Qt::Key_Home);
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->currentIndex(),
             Control<ia::SheetGrid>(w, "DBGrid1")->model()->index(0, 0));

    // --- Three sheets into the new-record row -----------------------------
    struct Sheet {
        const char* code;
        const char* answers;
        const char* score;
    };
    const Sheet sheets[] = {
        {"10", "1234123412", "10"},
        {"2", "1234000000", "4"},
        {"1", "1111111111", "3"},
    };
    for (size_t i = 0; i < std::size(sheets); ++i) {
        if (i > 0) {
            Key(Qt::Key_Down);
            Key(Qt::Key_Home);
        }
        QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->currentIndex(),
                 Control<ia::SheetGrid>(w, "DBGrid1")->model()->index(int(i), 0));
        Type(sheets[i].code);
        Key(Qt::Key_Return);
        QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->currentIndex().column(), 1);
        Type(sheets[i].answers);
        QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->currentIndex().column(), 10);
    }
    // Tab leaves the grid and writes the cell still open.
    QStringList path1;
    QVERIFY2(TabTo(Control<QPushButton>(w, "cmdOrderOfNo_A"), false, &path1),
             qPrintable(path1.join(" > ")));
    std::vector<QStringList> typed;
    for (const Sheet& s : sheets)
        typed.push_back(Split(s.code, s.answers, "-"));
    QCOMPARE(Rows(path, sheetsSql), typed);

    // --- Sort by number ----------------------------------------------------
    Key(Qt::Key_Space);
    QCOMPARE(Focus(), Control<QPushButton>(w, "cmdOrderOfNo_A"));
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->sheetModel()->recordCount(), 3);
    for (int r = 0; r < 3; ++r)
        QCOMPARE(GridRow(Control<ia::SheetGrid>(w, "DBGrid1"), r),
                 Split(sheets[2 - r].code, sheets[2 - r].answers, "-"));
    QCOMPARE(Rows(path, sheetsSql), typed); // sorting writes nothing

    // --- Back in the grid on an answer, total with the access key ---------
    QVERIFY(TabTo(Control<ia::SheetGrid>(w, "DBGrid1"), true));
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->currentIndex().column(), 2);
    PressTotal(w); // the Alt let go before the click must not empty that answer
    QVERIFY(!QApplication::overrideCursor());
    std::vector<QStringList> scored;
    for (const Sheet& s : sheets)
        scored.push_back(Split(s.code, s.answers, s.score));
    QCOMPARE(Rows(path, sheetsSql), scored);
    QCOMPARE(Rows(path, keySql), std::vector<QStringList>({Split("KEY", kKey, "10")}));
    QCOMPARE(Rows(path, "SELECT nCase FROM TStat"), std::vector<QStringList>({{"3"}}));
    // Still sorted, with the scores in their column.
    for (int r = 0; r < 3; ++r)
        QCOMPARE(GridRow(Control<ia::SheetGrid>(w, "DBGrid1"), r),
                 Split(sheets[2 - r].code, sheets[2 - r].answers, sheets[2 - r].score));

    // --- Delete sheet 2: onto it, over to "ลบ" ----------------------------
    QCOMPARE(Focus(), Control<ia::SheetGrid>(w, "DBGrid1"));
    for (int i = 0; i < 3; ++i)
        Key(Qt::Key_Up);
    Key(Qt::Key_Down);
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->currentIndex().row(), 1);
    QVERIFY(TabTo(Control<QPushButton>(w, "cmdDelete")));
    f.answerYes = true;
    Key(Qt::Key_Space);
    QCOMPARE(f.questions, QStringList{"กำลังจะลบ เลขที่  :  2"});
    QCOMPARE(Rows(path, sheetsSql), std::vector<QStringList>({scored[0], scored[2]}));
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->sheetModel()->recordCount(), 2);

    // --- New file empties the panel; open brings the file back -----------
    QVERIFY(TabTo(Control<QPushButton>(w, "Command1"), true));
    Key(Qt::Key_Space);
    QCOMPARE(Focus(), HeaderFieldEdit(w, 0));
    QVERIFY(HeaderFieldEdit(w, 1)->text().isEmpty());
    QVERIFY(TabTo(Control<QPushButton>(w, "Command2"), true));
    f.nextFile = QString::fromStdString(path);
    Key(Qt::Key_Return);
    QCOMPARE(f.dialogsShown, 1);
    QVERIFY2(f.messages.isEmpty(), qPrintable(f.messages.join("|")));
    QCOMPARE(Focus(), Control<ia::SheetGrid>(w, "DBGrid1"));
    // Only the grid the keys go to shows its current cell highlighted.
    QVERIFY(Control<ia::SheetGrid>(w, "DBGrid1")->palette().color(QPalette::Highlight) !=
            Control<ia::SheetGrid>(w, "DBGrid2")->palette().color(QPalette::Highlight));

    const QStringList header{
        QString::fromStdString(path), "ว101", "วิทยาศาสตร์", "1", "2546", "10", "4", "ครูสมศรี"};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(HeaderFieldEdit(w, i)->text(), header[i]);
    QCOMPARE(GridRow(Control<ia::SheetGrid>(w, "DBGrid2"), 0), Split("KEY", kKey, "10"));
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->sheetModel()->recordCount(), 2);
    // The table's own order again: the sort lasts until the file is opened.
    QCOMPARE(GridRow(Control<ia::SheetGrid>(w, "DBGrid1"), 0), scored[0]);
    QCOMPARE(GridRow(Control<ia::SheetGrid>(w, "DBGrid1"), 1), scored[2]);
    QCOMPARE(
        Control<ia::SheetGrid>(w, "DBGrid1")->model()->headerData(11, Qt::Horizontal).toString(),
        QString("คะแนน"));
    QCOMPARE(Rows(path, sheetsSql), std::vector<QStringList>({scored[0], scored[2]}));
    QVERIFY(f.messages.isEmpty());
}

// What keeps a class's sheets safe, with the keyboard alone: the last answer
// of a row is in the file at once, "เพิ่ม" starts a sheet at its code, the
// questions before deleting and replacing take Enter and Escape as "no", a
// replaced file is kept as .bak, and the report panel keeps the keys away
// from the fields under it.
void KeyboardSessionTest::safeguardsByKeyboard() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    // The real boxes, answered from the keyboard.
    f.prompts.onAskOkCancel = [&w](const QString& t, const QString& x) {
        return w.boxPrompts().askOkCancel(t, x);
    };
    f.prompts.onAskYesNo = [&w](const QString& t, const QString& x) {
        return w.boxPrompts().askYesNo(t, x);
    };
    const std::string path = f.dir().file("safe.ans");
    const std::string sheetsSql = "SELECT * FROM TAData ORDER BY rowid";

    f.typeNewHeader("safe", "10", "4");
    QCOMPARE(Focus(), Control<ia::SheetGrid>(w, "DBGrid2"));
    Key(Qt::Key_Return);
    Type(kKey);
    Key(Qt::Key_Down);
    QCOMPARE(Focus(), Control<ia::SheetGrid>(w, "DBGrid1"));

    // --- Item 7: the last answer is in the file as soon as it is typed -----
    Type("1");
    Key(Qt::Key_Return);
    Type("1234123412");
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->currentIndex().column(), 10);
    QCOMPARE(Rows(path, sheetsSql), std::vector<QStringList>({Split("1", "1234123412", "-")}));

    // --- Item 6: "เพิ่ม" from a score cell starts the next sheet at its code -
    QVERIFY(TabTo(Control<QPushButton>(w, "cmdAdd")));
    Key(Qt::Key_Space);
    QCOMPARE(Focus(), Control<ia::SheetGrid>(w, "DBGrid1"));
    QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->currentIndex(),
             Control<ia::SheetGrid>(w, "DBGrid1")->model()->index(1, 0));
    Type("2");
    Key(Qt::Key_Return);
    Type("2222222222");
    QCOMPARE(Rows(path, sheetsSql).size(), size_t(2));
    for (int i = 3; i <= 12; ++i) {
        QVERIFY(TabTo(Control<QPushButton>(w, "cmdAdd")));
        Key(Qt::Key_Space);
        Type(QString::number(i));
        Key(Qt::Key_Return);
        Type(QString(10, QChar('0' + i % 4 + 1)));
    }
    const auto twelve = Rows(path, sheetsSql);
    QCOMPARE(twelve.size(), size_t(12));

    // --- Item 2: Enter and Escape on the delete question keep the sheet ----
    Key(Qt::Key_Home);
    for (Qt::Key answer : {Qt::Key_Return, Qt::Key_Escape}) {
        QVERIFY(TabTo(Control<QPushButton>(w, "cmdDelete")));
        BoxAnswer box;
        AnswerNextBox({answer}, box);
        Key(Qt::Key_Space);
        BackToWindow(w);
        QVERIFY(box.seen);
        QVERIFY(box.active);
        QVERIFY(box.text.startsWith("กำลังจะลบ เลขที่"));
        QCOMPARE(Rows(path, sheetsSql), twelve);
    }

    // --- Item 3: the report panel keeps the keys to itself -----------------
    QVERIFY(TabTo(Control<QPushButton>(w, "Command5")));
    QWidget* before = Focus();
    Key(Qt::Key_Space);
    QVERIFY(Control<QFrame>(w, "Picture3")->isVisible());
    const auto header = Rows(path, "SELECT * FROM Tinit");
    for (int i = 0; i < 22; ++i) {
        Key(Qt::Key_Tab);
        QVERIFY2(Control<QFrame>(w, "Picture3")->isAncestorOf(Focus()),
                 qPrintable(Describe(Focus())));
        if (Focus() != Control<QLineEdit>(w, "Text2")) Type("7");
    }
    QCOMPARE(Rows(path, "SELECT * FROM Tinit"), header);
    Key(Qt::Key_Escape);
    QVERIFY(!Control<QFrame>(w, "Picture3")->isVisible());
    QCOMPARE(Focus(), before);

    // --- Item 1: Enter and Escape on the replace question keep the file ---
    const auto scored = Rows(path, sheetsSql);
    for (Qt::Key answer : {Qt::Key_Return, Qt::Key_Escape}) {
        QVERIFY(TabTo(Control<QPushButton>(w, "Command1"), true));
        Key(Qt::Key_Space);
        Type("safe");
        for (int i = 0; i < 5; ++i)
            Key(Qt::Key_Return);
        Type("10");
        Key(Qt::Key_Right);
        Type("4");
        Key(Qt::Key_Right);
        Key(Qt::Key_Return);
        QCOMPARE(Focus(), Control<QPushButton>(w, "Command4"));
        BoxAnswer box;
        AnswerNextBox({answer}, box);
        KeyOpeningABox(w, Qt::Key_Return);
        QVERIFY(box.seen);
        QVERIFY(box.active);
        QCOMPARE(box.text, "ไฟล์ " + QString::fromStdString(path) + "  มีอยู่แล้ว จะเขียนทับหรือไม่");
        QCOMPARE(Focus(), HeaderFieldEdit(w, 0));
        QCOMPARE(Rows(path, sheetsSql), scored);
        QVERIFY(!std::filesystem::exists(path + ".bak"));
    }
    // Only a deliberate OK replaces it, and the old file is kept beside it.
    QVERIFY(TabTo(Control<QPushButton>(w, "Command4")));
    BoxAnswer box;
    AnswerNextBox({Qt::Key_Backtab, Qt::Key_Return}, box); // from Cancel back to OK
    KeyOpeningABox(w, Qt::Key_Return);
    QVERIFY(box.seen);
    QCOMPARE(Rows(path + ".bak", sheetsSql), scored);
    QVERIFY(Rows(path, sheetsSql).empty());
    QVERIFY(Control<QLabel>(w, "Label5")->isVisible());
    QCOMPARE(Control<QLabel>(w, "Label5")->toolTip(),
             "เก็บไฟล์เดิมไว้ที่ " + QString::fromStdString(path) + ".bak");
    QCOMPARE(Focus(), Control<ia::SheetGrid>(w, "DBGrid2"));
}

// Every button the teacher sees with a file open is on the tab chain, the
// record bar's arrows too: a teacher without a mouse must reach them all.
void KeyboardSessionTest::everyButtonIsReachedByTab() {
    WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    f.typeNewHeader("tabs", "5", "4");
    QVERIFY(f.messages.isEmpty());

    QSet<QWidget*> reached;
    for (int i = 0; i < 80; ++i) {
        Key(Qt::Key_Tab);
        reached.insert(Focus());
    }
    QStringList missed;
    for (QAbstractButton* b : w.findChildren<QAbstractButton*>()) {
        // The grids' select-all corners are no command.
        if (qobject_cast<QAbstractItemView*>(b->parentWidget())) continue;
        if (b->isVisible() && !reached.contains(b)) missed << Describe(b);
    }
    QVERIFY2(missed.isEmpty(), qPrintable(missed.join(", ")));
}

QTEST_MAIN(KeyboardSessionTest)
#include "qtest_KeyboardSession.moc"
