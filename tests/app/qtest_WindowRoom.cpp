// SPDX-License-Identifier: GPL-3.0-or-later
// The window on larger screens and as a desktop program: the room a larger
// window gives, the two grids kept together, opening a file from the command
// line, by a drop and from the recent files, and the typing keys.

#include "WindowFixture.h"
#include "app/DataNavBar.h"
#include "app/GridPair.h"
#include "app/RecentFiles.h"
#include "app/ReportView.h"
#include "app/StartUp.h"
#include "sheet/SheetGrid.h"
#include "sheet/SheetModel.h"

#include <QClipboard>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QSettings>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>
#include <QtTest>

using namespace ia;

namespace {

using iatest::Control;
using iatest::HeaderFieldEdit;

std::vector<std::vector<std::string>> Sheets(int count, int items) {
    std::vector<std::vector<std::string>> sheets;
    for (int s = 0; s < count; ++s) {
        std::vector<std::string> row{QString("%1").arg(s + 1, 4, 10, QChar('0')).toStdString()};
        for (int i = 0; i < items; ++i)
            row.push_back(std::to_string(1 + (s + i) % 4));
        sheets.push_back(row);
    }
    return sheets;
}

QString MakeFile(iatest::WindowFixture& f, const char* name, int items, int sheets) {
    const QString path = f.path(name);
    iatest::MakeExamFile(path.toStdString(), iatest::MakeHeader(items, 4),
                         std::vector<std::string>(items, "1"), Sheets(sheets, items));
    return path;
}

void Drop(QWidget& w, const QList<QUrl>& urls, bool* accepted) {
    QMimeData mime;
    mime.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &enter);
    *accepted = enter.isAccepted();
    if (!*accepted) return;
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&w, &drop);
}

} // namespace

class WindowRoom : public QObject {
    Q_OBJECT

    QTemporaryDir settingsDir_;

  private slots:
    void initTestCase() {
        // Never the teacher's own recent files.
        QVERIFY(settingsDir_.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir_.path());
    }
    void init() { QFile::remove(settingsDir_.filePath("itemanalysis/itemanalysis.conf")); }

    void designSizeKeepsPlacesAndLargerWindowGrowsTheData() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        f.nextFile = MakeFile(f, "a.ans", 40, 30);
        Control<QPushButton>(w, "Command2")->click();
        Control<QPushButton>(w, "Command6")->click(); // the report panel gets its content
        Control<QPushButton>(w, "Command8")->click();

        const QSize design = w.growingLayout().designSize();
        w.resize(design);
        QCOMPARE(w.size(), design);
        const QRect grid = Control<ia::SheetGrid>(w, "DBGrid1")->geometry();
        const QRect key = Control<ia::SheetGrid>(w, "DBGrid2")->geometry();
        const QRect panel = Control<QFrame>(w, "Picture3")->geometry();
        QCOMPARE(panel, QRect(w.Twips(105), w.Twips(510), w.Twips(11805), w.Twips(7785)));
        QCOMPARE(grid.left(), w.Twips(120));
        QCOMPARE(grid.width(), w.Twips(11775));
        QCOMPARE(grid.bottom() + 1, w.Twips(3270) + w.Twips(4335));
        QList<QWidget*> bars{Control<ia::DataNavBar>(w, "Data1"), Control<QFrame>(w, "picButtons"),
                             Control<QPushButton>(w, "Command7"), Control<QFrame>(w, "Picture4")};
        QList<QRect> barPlaces;
        for (QWidget* b : bars)
            barPlaces << b->geometry();

        const QSize extra(300, 200);
        w.resize(design + extra);
        QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->geometry(),
                 grid.adjusted(0, 0, extra.width(), extra.height()));
        QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid2")->geometry(),
                 key.adjusted(0, 0, extra.width(), 0));
        for (int i = 0; i < bars.size(); ++i)
            QCOMPARE(bars[i]->geometry(), barPlaces[i].translated(0, extra.height()));
        QCOMPARE(Control<QFrame>(w, "Picture3")->geometry(),
                 panel.adjusted(0, 0, extra.width(), extra.height()));
        // The report panel's buttons keep to its bottom right corner.
        QCOMPARE(Control<QFrame>(w, "Picture3")->width() -
                     Control<QPushButton>(w, "Command8")->geometry().right(),
                 panel.width() - Control<QPushButton>(w, "Command8")->geometry().right() +
                     extra.width());

        w.resize(design);
        QCOMPARE(Control<ia::SheetGrid>(w, "DBGrid1")->geometry(), grid);
        QCOMPARE(Control<QFrame>(w, "Picture3")->geometry(), panel);

        // At the smallest size nothing is cut off or covered, and the
        // answer grid still shows its header and a few sheets.
        QVERIFY(w.minimumSize().width() == design.width());
        QVERIFY(w.minimumSize().height() < design.height());
        for (bool report : {false, true}) {
            if (report) Control<QPushButton>(w, "Command6")->click();
            w.resize(w.minimumSize());
            QCOMPARE(w.size(), w.minimumSize());
            for (QWidget* c : w.findChildren<QWidget*>())
                if (c->isVisible() && c->parentWidget()->isVisible())
                    QVERIFY2(c->parentWidget()->rect().contains(c->geometry()),
                             qPrintable(c->objectName()));
            QVERIFY(Control<ia::SheetGrid>(w, "DBGrid1")->geometry().bottom() <
                    Control<ia::DataNavBar>(w, "Data1")->geometry().top());
            QVERIFY(
                Control<ia::SheetGrid>(w, "DBGrid1")->viewport()->height() >=
                4 * Control<ia::SheetGrid>(w, "DBGrid1")->verticalHeader()->defaultSectionSize());
            QVERIFY(Control<QFrame>(w, "Picture5")->geometry().top() >
                    Control<QPlainTextEdit>(w, "RichTextBox1")->geometry().top());
        }
    }

    void keyGridScrollsWithTheSheetGridAndTheCodeStays() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        f.nextFile = MakeFile(f, "long.ans", 251, 40);
        Control<QPushButton>(w, "Command2")->click();
        QApplication::processEvents();
        GridPair* pair = w.gridPair();
        SheetGrid* sheets = Control<ia::SheetGrid>(w, "DBGrid1");
        SheetGrid* key = Control<ia::SheetGrid>(w, "DBGrid2");
        QTableView* frozen = pair->frozenColumn(sheets);
        QVERIFY(!frozen->isVisible()); // nothing scrolled: the code is in its place

        // Either grid's scroll bar moves both; item columns stay one above the other.
        for (auto [mover, other] : {std::pair{sheets, key}, std::pair{key, sheets}}) {
            mover->horizontalScrollBar()->setValue(mover->horizontalScrollBar()->maximum() / 2);
            QCOMPARE(other->horizontalScrollBar()->value(), mover->horizontalScrollBar()->value());
            for (int column : {1, 120, 200})
                QCOMPARE(key->columnViewportPosition(column),
                         sheets->columnViewportPosition(column));
        }
        // Moving the cell pointer far right scrolls the key along.
        sheets->setCurrentIndex(sheets->model()->index(3, 240));
        QCOMPARE(key->horizontalScrollBar()->value(), sheets->horizontalScrollBar()->value());
        QVERIFY(key->columnViewportPosition(240) >= 0);

        // The codes stay in sight, row by row with the answers.
        QVERIFY(frozen->isVisible());
        QCOMPARE(frozen->geometry().left(), sheets->viewport()->geometry().left());
        sheets->verticalScrollBar()->setValue(10);
        QCOMPARE(frozen->verticalScrollBar()->value(), sheets->verticalScrollBar()->value());
        const int row = sheets->rowAt(5);
        QCOMPARE(frozen->rowViewportPosition(row), sheets->rowViewportPosition(row));
        QCOMPARE(frozen->model()->data(frozen->model()->index(row, 0)).toString(),
                 QString("%1").arg(row + 1, 4, 10, QChar('0')));
        for (int c = 1; c < 10; ++c)
            QVERIFY(frozen->isColumnHidden(c));
        QVERIFY(pair->frozenColumn(key)->isVisible());

        // An answer cell is never left under the frozen codes.
        int firstClear = 1;
        while (sheets->columnViewportPosition(firstClear) < sheets->columnWidth(0))
            ++firstClear;
        sheets->setCurrentIndex(sheets->model()->index(row, firstClear));
        QTest::keyClick(sheets, Qt::Key_Left);
        QTest::keyClick(sheets, Qt::Key_Left);
        QVERIFY(sheets->visualRect(sheets->currentIndex()).left() >= sheets->columnWidth(0));

        // A click on a frozen code goes to that sheet's code cell.
        const QPoint at = frozen->visualRect(frozen->model()->index(row, 0)).center();
        QTest::mouseClick(frozen->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(sheets->currentIndex(), sheets->model()->index(row, 0));
        QCOMPARE(sheets->horizontalScrollBar()->value(), 0);
        QVERIFY(!frozen->isVisible());
    }

    void threeDigitCaptionsFitTheirColumns() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        f.nextFile = MakeFile(f, "long.ans", 251, 3);
        Control<QPushButton>(w, "Command2")->click();
        QApplication::processEvents();
        for (SheetGrid* g :
             {Control<ia::SheetGrid>(w, "DBGrid1"), Control<ia::SheetGrid>(w, "DBGrid2")}) {
            g->scrollTo(g->model()->index(0, 218));
            QHeaderView* h = g->horizontalHeader();
            QImage img(h->size(), QImage::Format_ARGB32);
            img.fill(Qt::white);
            h->render(&img);
            const int x = h->sectionViewportPosition(218);
            const int width = h->sectionSize(218);
            QVERIFY(x >= 0 && x + width <= img.width());
            // "218" is drawn whole: its ink stays clear of both edges of the
            // section, where a caption too wide for its column is cut.
            auto ink = [&](int px) {
                int n = 0;
                for (int py = 3; py < img.height() - 3; ++py)
                    if (qGray(img.pixel(px, py)) < 100) ++n;
                return n;
            };
            QCOMPARE(ink(x + 1), 0);
            QCOMPARE(ink(x + width - 2), 0);
            int inkInside = 0;
            for (int px = x + 2; px < x + width - 2; ++px)
                inkInside += ink(px);
            QVERIFY2(inkInside > 10, qPrintable(g->objectName()));
        }
    }

    void statusLineTellsWhereTheTeacherIs() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        f.nextFile = MakeFile(f, "s.ans", 10, 3);
        Control<QPushButton>(w, "Command2")->click();
        Control<ia::SheetGrid>(w, "DBGrid1")
            ->setCurrentIndex(Control<ia::SheetGrid>(w, "DBGrid1")->model()->index(1, 7));
        const QString text = w.gridPair()->statusLine()->text();
        QVERIFY2(text.contains("0002"), qPrintable(text));
        QVERIFY2(text.contains("ข้อ 7"), qPrintable(text));
        QVERIFY2(text.contains("ตอบแล้ว 10/10"), qPrintable(text));
        QVERIFY2(text.contains("3 ฉบับ"), qPrintable(text));
        Control<ia::SheetGrid>(w, "DBGrid1")
            ->setCurrentIndex(Control<ia::SheetGrid>(w, "DBGrid1")->model()->index(3, 0));
        QVERIFY(w.gridPair()->statusLine()->text().contains("แถวใหม่"));
    }

    void openAtStartUpChecksAsTheOpenButtonDoes_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("opens");
        QTest::newRow("exam file") << QByteArray() << true;
        QTest::newRow("text file") << QByteArray("not an exam file\n") << false;
        QTest::newRow("empty file") << QByteArray("") << false;
    }
    void openAtStartUpChecksAsTheOpenButtonDoes() {
        QFETCH(QByteArray, content);
        QFETCH(bool, opens);
        // The same file opened by the button and as the program's argument:
        // the same outcome and the same messages.
        QStringList messages[2];
        for (int way = 0; way < 2; ++way) {
            iatest::WindowFixture f;
            QVERIFY(f.showActive());
            QString path = f.path("x.ans");
            if (opens) {
                path = MakeFile(f, "x.ans", 5, 3);
            } else {
                QFile file(path);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write(content);
            }
            if (way == 0) {
                f.nextFile = path;
                Control<QPushButton>(f.w(), "Command2")->click();
            } else {
                QCOMPARE(f.w().OpenExamFile(path), opens);
            }
            QCOMPARE(Control<ia::SheetGrid>(f.w(), "DBGrid1")->isVisible(), opens);
            QCOMPARE(Control<QPushButton>(f.w(), "Command5")->isVisible(), opens);
            if (opens) QCOMPARE(f.w().windowTitle(), "x.ans - " + QString(kProgramTitle));
            messages[way] = f.messages;
            for (QString& m : messages[way])
                m.replace(path, "PATH");
        }
        QCOMPARE(messages[1], messages[0]);
        QCOMPARE(messages[0].isEmpty(), opens);
    }

    void startUpOpensTheNamedFileWhereTheWindowWasLeft() {
        QSize leftAt;
        {
            iatest::WindowFixture f;
            QVERIFY(f.showActive());
            f.w().resize(900, 650);
            f.w().reportView()->setZoom(3);
            RememberMainWindow(f.w());
            leftAt = f.w().size();
        }
        iatest::WindowFixture f;
        const QString path = MakeFile(f, "start.ans", 5, 3);
        ShowMainWindow(f.w(), {"itemanalysis", path});
        QVERIFY(QTest::qWaitForWindowExposed(&f.w()));
        QTRY_VERIFY(Control<ia::SheetGrid>(f.w(), "DBGrid1")->isVisible());
        QCOMPARE(QString::fromStdString(f.w().session().fileName()), path);
        QCOMPARE(f.w().size(), leftAt);
        QCOMPARE(f.w().reportView()->zoom(), 3);
        QVERIFY(f.messages.isEmpty());
        // A file that is no exam file: the window stays empty and says why.
        iatest::WindowFixture g;
        const QString bad = g.path("bad.ans");
        QFile(bad).open(QIODevice::WriteOnly);
        ShowMainWindow(g.w(), {"itemanalysis", bad});
        QTRY_COMPARE(g.messages.size(), 1);
        QVERIFY(!Control<ia::SheetGrid>(g.w(), "DBGrid1")->isVisible());
    }

    void droppedExamFileOpens() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        const QString path = MakeFile(f, "dropped.ans", 5, 3);
        const QString other = f.path("notes.txt");
        QFile(other).open(QIODevice::WriteOnly);
        bool accepted = true;
        Drop(w, {QUrl::fromLocalFile(other)}, &accepted);
        QVERIFY(!accepted);
        QVERIFY(!Control<ia::SheetGrid>(w, "DBGrid1")->isVisible());
        Drop(w, {QUrl("https://example.invalid/a.ans"), QUrl::fromLocalFile(path)}, &accepted);
        QVERIFY(accepted);
        QVERIFY(Control<ia::SheetGrid>(w, "DBGrid1")->isVisible());
        QCOMPARE(QString::fromStdString(w.session().fileName()), path);
        QVERIFY(f.messages.isEmpty());
    }

    void recentFilesKeepTheLastEightNewestFirst() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        QStringList paths;
        for (int i = 0; i < 10; ++i)
            paths << MakeFile(f, QString("r%1.ans").arg(i).toUtf8().constData(), 5, 1);
        for (const QString& p : paths)
            QVERIFY(w.OpenExamFile(p));
        QVERIFY(w.OpenExamFile(paths[4])); // opened again: first, once
        QStringList expected{paths[4], paths[9], paths[8], paths[7],
                             paths[6], paths[5], paths[3], paths[2]};
        QCOMPARE(UserSettings::recentFiles(), expected);

        // A file that failed to open stays out of the list.
        const QString bad = f.path("bad.ans");
        QFile(bad).open(QIODevice::WriteOnly);
        QVERIFY(!w.OpenExamFile(bad));
        QCOMPARE(UserSettings::recentFiles(), expected);

        // The menu under "เปิดไฟล์" lists them and opens the one chosen.
        RecentFilesButton* recent = w.recentFiles();
        QCOMPARE(recent->button()->parentWidget(), Control<QPushButton>(w, "Command2"));
        QVERIFY(Control<QPushButton>(w, "Command2")->rect().contains(recent->button()->geometry()));
        recent->refresh();
        const QList<QAction*> actions = recent->menu()->actions();
        QCOMPARE(actions.size(), 8);
        QVERIFY(actions[2]->text().contains("r8.ans"));
        actions[2]->trigger();
        QCOMPARE(QString::fromStdString(w.session().fileName()), paths[8]);
        QCOMPARE(UserSettings::recentFiles().first(), paths[8]);

        // A file gone since is said so and leaves the list.
        QVERIFY(QFile::remove(paths[7]));
        const qsizetype told = f.messages.size();
        recent->refresh();
        recent->menu()->actions()[3]->trigger();
        QCOMPARE(f.messages.size(), told + 1);
        QVERIFY(!UserSettings::recentFiles().contains(paths[7]));
        QCOMPARE(UserSettings::recentFiles().size(), 7);
        QCOMPARE(QString::fromStdString(w.session().fileName()), paths[8]);

        // A teacher without a mouse opens the list with Enter.
        QSignalSpy shown(recent->menu(), &QMenu::aboutToShow);
        QTimer::singleShot(0, recent->menu(), [m = recent->menu()] { m->close(); });
        QTest::keyClick(recent->button(), Qt::Key_Return);
        QCOMPARE(shown.count(), 1);

        // Kept for the next start of the program.
        iatest::WindowFixture again;
        again.w().recentFiles()->refresh();
        QCOMPARE(again.w().recentFiles()->menu()->actions().size(), 7);
    }

    void ctrlEnterGoesToTheNextSheetsCode() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        f.nextFile = MakeFile(f, "t.ans", 10, 2);
        Control<QPushButton>(w, "Command2")->click();
        SheetGrid* g = Control<ia::SheetGrid>(w, "DBGrid1");
        g->setCurrentIndex(g->model()->index(0, 4));
        g->setFocus();
        // Held down: the release would store it and move on by itself.
        QTest::keyPress(g, Qt::Key_3);
        QVERIFY(w.windowTitle().startsWith("*t.ans")); // typed, not yet stored
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ControlModifier);
        QApplication::processEvents();
        QCOMPARE(g->currentIndex(), g->model()->index(1, 0));
        QCOMPARE(g->selectionModel()->selectedIndexes(), QModelIndexList{g->currentIndex()});
        QCOMPARE(g->model()->data(g->model()->index(0, 4)).toString(), QString("3"));
        QCOMPARE(w.windowTitle(), "t.ans - " + QString(kProgramTitle));
        // From the last sheet to the new-record row, where the next code goes.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter, Qt::ControlModifier);
        QCOMPARE(g->currentIndex().row(), 2);
        QVERIFY(g->sheetModel()->isNewRecordRow(2));
        QCOMPARE(g->currentIndex().column(), 0);
    }

    void ctrlFFindsASheetByCode() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        f.nextFile = MakeFile(f, "t.ans", 5, 300);
        Control<QPushButton>(w, "Command2")->click();
        SheetGrid* g = Control<ia::SheetGrid>(w, "DBGrid1");
        g->setFocus();
        QTest::keyClick(g, Qt::Key_F, Qt::ControlModifier);
        QLineEdit* search = w.gridPair()->searchField();
        QVERIFY(search->isVisible());
        QCOMPARE(QApplication::focusWidget(), search);
        QTest::keyClicks(search, "0271");
        QTest::keyClick(search, Qt::Key_Return);
        QCOMPARE(g->currentIndex().row(), 270);
        QVERIFY(!search->isVisible());
        QCOMPARE(QApplication::focusWidget(), g);
        QVERIFY(g->viewport()->rect().intersects(g->visualRect(g->currentIndex())));
        // Not there: the field stays for another try, the pointer stays.
        QTest::keyClick(g, Qt::Key_F, Qt::ControlModifier);
        search->setText("9999");
        QTest::keyClick(search, Qt::Key_Return);
        QVERIFY(search->isVisible());
        QCOMPARE(g->currentIndex().row(), 270);
        QTest::keyClick(search, Qt::Key_Escape);
        QVERIFY(!search->isVisible());
        QCOMPARE(QApplication::focusWidget(), g);

        // In score order (after an analysis) the rows are no longer the
        // table's: the pointer still lands on the sheet with that code, and
        // a beginning of a code finds the first sheet with it.
        Control<QPushButton>(w, "Command6")->click();
        Control<QPushButton>(w, "Command8")->click();
        QVERIFY(QString::fromStdString(w.views().sheets.RecordSource).contains("Score"));
        for (const char* typed : {"0271", "0012", "029"}) {
            g->setFocus();
            QTest::keyClick(g, Qt::Key_F, Qt::ControlModifier);
            search->setText(typed);
            QTest::keyClick(search, Qt::Key_Return);
            QVERIFY2(!search->isVisible(), typed);
            const QString code =
                g->model()->data(g->model()->index(g->currentIndex().row(), 0)).toString();
            QVERIFY2(code.startsWith(typed), qPrintable(code));
        }
    }

    void reportViewZoomsFindsAndCopies() {
        iatest::WindowFixture f;
        QVERIFY(f.showActive());
        auto& w = f.w();
        f.nextFile = MakeFile(f, "rep.ans", 12, 20);
        Control<QPushButton>(w, "Command2")->click();
        Control<QPushButton>(w, "Command6")->click();
        ReportView* view = w.reportView();
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));
        const qreal base = view->font().pointSizeF();
        QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
        QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(view->zoom(), 2);
        QCOMPARE(view->font().pointSizeF(), base + 2);
        QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(view->zoom(), 1);
        QWheelEvent wheel(QPointF(20, 20), view->mapToGlobal(QPointF(20, 20)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(view->viewport(), &wheel);
        QCOMPARE(view->zoom(), 2);

        QTest::keyClick(view, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(view->textCursor().atEnd());
        QTest::keyClick(view, Qt::Key_Home, Qt::ControlModifier);
        QVERIFY(view->textCursor().atStart());

        QTest::keyClick(view, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(view->findField()->isVisible());
        view->findField()->setText("KR-20");
        QTest::keyClick(view->findField(), Qt::Key_Return);
        QCOMPARE(view->textCursor().selectedText(), QString("KR-20"));
        QTest::keyClick(view->findField(), Qt::Key_Escape);
        QVERIFY(!view->findField()->isVisible());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view));

        // A selection is copied as the text shown.
        QTextCursor c = view->textCursor();
        c.movePosition(QTextCursor::StartOfLine);
        c.movePosition(QTextCursor::EndOfLine, QTextCursor::KeepAnchor);
        view->setTextCursor(c);
        QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), c.selectedText());
        QVERIFY(QApplication::clipboard()->text().contains("KR-20"));
    }
};

QTEST_MAIN(WindowRoom)
#include "qtest_WindowRoom.moc"
