// SPDX-License-Identifier: GPL-3.0-or-later
// The boxes and Qt's own dialogs as the teacher meets them: Thai texts, and
// questions whose Enter and Escape never destroy anything.

#include "app/Prompts.h"
#include "app/ThaiDialogs.h"
#include "app/ThaiFileDialog.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <QTreeView>
#include <functional>

namespace {

// Remembers what Qt asked for that the table has no Thai for.
class RecordingTexts : public ia::ThaiQtTexts {
  public:
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        QString t = ia::ThaiQtTexts::translate(context, source, disambiguation, n);
        if (t.isEmpty()) missed.insert(QString("%1: %2").arg(context, source));
        return t;
    }
    mutable QSet<QString> missed;
};

bool HasEnglishWord(const QString& text) {
    static const QRegularExpression word("[A-Za-z]{2,}");
    QString t = text;
    t.remove("PDF"); // a name, not English
    return word.match(t).hasMatch();
}

// Every text the teacher can read on a dialog: its title, labels, buttons,
// and the names and tips of its tool buttons.
QStringList EnglishTexts(QWidget* dialog) {
    QStringList english;
    auto check = [&](const QString& where, const QString& text) {
        if (HasEnglishWord(text)) english << where + ": " + text;
    };
    check("title", dialog->windowTitle());
    for (QLabel* l : dialog->findChildren<QLabel*>())
        if (l->isVisible()) check("label", l->text());
    for (QAbstractButton* b : dialog->findChildren<QAbstractButton*>())
        if (b->isVisible()) {
            check("button", b->text());
            check("tip", b->toolTip());
        }
    for (QAction* a : dialog->findChildren<QAction*>())
        if (a->isVisible() && !a->isSeparator()) {
            check("action", a->text());
            check("action tip", a->toolTip());
        }
    return english;
}

} // namespace

class ThaiDialogsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void questionsDefaultToTheSafeAnswer();
    void enterAndEscapeOnAShownBoxGiveTheSafeAnswer();
    void qtDialogsSpeakThai_data();
    void qtDialogsSpeakThai();
    void fileListShowsThaiKindsDatesAndSizesUncut();
    void fileSizesInThai();
    void eachBoxCarriesTheIconOfItsKind();

  private:
    RecordingTexts* texts_ = nullptr;
};

void ThaiDialogsTest::initTestCase() {
    texts_ = new RecordingTexts;
    QApplication::installTranslator(texts_);
}

void ThaiDialogsTest::cleanupTestCase() {
    QApplication::removeTranslator(texts_);
    delete texts_;
}

void ThaiDialogsTest::questionsDefaultToTheSafeAnswer() {
    QWidget window;
    struct Case {
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton safe;
        QStringList captions;
    } cases[] = {
        {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel, {"ตกลง", "ยกเลิก"}},
        {QMessageBox::Yes | QMessageBox::No, QMessageBox::No, {"ใช่", "ไม่ใช่"}},
        {QMessageBox::Ok, QMessageBox::Ok, {"ตกลง"}},
    };
    for (const Case& c : cases) {
        auto box =
            ia::MakeQuestionBox(&window, QMessageBox::Warning, "", "ข้อความ", c.buttons, c.safe);
        QCOMPARE(box->windowTitle(), QString("โปรแกรมวิเคราะห์ข้อสอบ"));
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->parentWidget(), &window);
        QCOMPARE(box->standardButton(box->defaultButton()), c.safe);
        QCOMPARE(box->standardButton(box->escapeButton()), c.safe);
        QStringList captions;
        for (QAbstractButton* b : box->buttons())
            captions << b->text();
        captions.sort();
        QStringList expected = c.captions;
        expected.sort();
        QCOMPARE(captions, expected);
    }
}

void ThaiDialogsTest::enterAndEscapeOnAShownBoxGiveTheSafeAnswer() {
    QWidget window;
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        auto box = ia::MakeQuestionBox(&window, QMessageBox::Warning, "คำเตือน", "เขียนทับหรือไม่",
                                       QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
        bool wasActive = false;
        // Once the box is up (and, given a moment, active), the key goes to it.
        QTimer poll;
        int tries = 0;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* shown = QApplication::activeModalWidget();
            if (shown != box.get() || !box->isVisible()) return;
            wasActive = box->isActiveWindow();
            if (!wasActive && ++tries < 200) return;
            poll.stop();
            QTest::keyClick(shown, key);
        });
        poll.start(5);
        QCOMPARE(ia::AskWithBox(*box), QMessageBox::Cancel);
        QVERIFY(wasActive);
    }
}

void ThaiDialogsTest::qtDialogsSpeakThai_data() {
    QTest::addColumn<int>("which");
    QTest::newRow("message box") << 0;
    QTest::newRow("open dialog") << 1;
    QTest::newRow("print preview") << 2;
}

void ThaiDialogsTest::qtDialogsSpeakThai() {
    QFETCH(int, which);
    texts_->missed.clear();
    std::unique_ptr<QWidget> dialog;
    QPrinter printer;
    if (which == 0) {
        dialog = std::make_unique<QMessageBox>(QMessageBox::Warning, "คำเตือน", "ข้อความ",
                                               QMessageBox::Ok | QMessageBox::Cancel);
    } else if (which == 1) {
        auto* d = new QFileDialog(nullptr);
        d->setOption(QFileDialog::DontUseNativeDialog);
        d->setFileMode(QFileDialog::ExistingFile);
        d->setAcceptMode(QFileDialog::AcceptOpen);
        dialog.reset(d);
    } else {
        dialog = std::make_unique<QPrintPreviewDialog>(&printer);
    }
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog.get()));
    const QStringList english = EnglishTexts(dialog.get());
    QStringList missed(texts_->missed.begin(), texts_->missed.end());
    QVERIFY2(english.isEmpty(),
             qPrintable(english.join("\n") + "\nasked for:\n" + missed.join("\n")));
}

void ThaiDialogsTest::fileListShowsThaiKindsDatesAndSizesUncut() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDateTime when(QDate(2024, 11, 28), QTime(22, 48));
    struct Entry {
        QString name;
        QString kind;
    } entries[] = {
        {"ม1.ans", "ไฟล์ข้อสอบ"},    {"คะแนน.xlsx", "สมุดงาน Excel"},
        {"ห้อง2.csv", "ไฟล์ CSV"},   {"บันทึก", "ไฟล์"},
        {"รายงาน.odt", "ไฟล์ ODT"}, {"สำรองคะแนนภาคเรียน.backup2567", "ไฟล์ BACKUP2567"},
        {"ห้องเรียน", "โฟลเดอร์"},
    };
    for (const Entry& e : entries) {
        const QString path = dir.filePath(e.name);
        if (e.kind == "โฟลเดอร์") {
            QVERIFY(QDir().mkdir(path));
            continue;
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2000, 'x'));
        f.flush();
        QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
    }

    QFileDialog dialog;
    ia::MakeFileDialogThai(dialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({ia::kExamFileFilter, ia::kImportSourceFilter, ia::kAllFilesFilter});
    dialog.selectNameFilter(ia::kAllFilesFilter);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.setDirectory(dir.path());
    // Narrow, as a teacher may leave it: the name gives way, not the others.
    dialog.resize(620, 420);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    for (QComboBox* filters : dialog.findChildren<QComboBox*>("fileTypeCombo"))
        for (int i = 0; i < filters->count(); ++i)
            QVERIFY2(!HasEnglishWord(filters->itemText(i).section('(', 0, 0)),
                     qPrintable(filters->itemText(i)));

    auto* list = dialog.findChild<QTreeView*>("treeView");
    QVERIFY(list);
    QAbstractItemModel* model = list->model();
    QTRY_COMPARE(model->rowCount(list->rootIndex()), int(std::size(entries)));
    // Give the list its final column widths.
    QApplication::processEvents();
    const QFontMetrics metrics(list->font());
    for (int row = 0; row < model->rowCount(list->rootIndex()); ++row) {
        auto text = [&](int column) {
            return model->index(row, column, list->rootIndex()).data().toString();
        };
        const QString name = text(0);
        const Entry* entry = nullptr;
        for (const Entry& e : entries)
            if (e.name == name) entry = &e;
        QVERIFY2(entry, qPrintable(name));
        QCOMPARE(text(2), entry->kind);
        if (entry->kind != "โฟลเดอร์") {
            QCOMPARE(text(3), QString("28 พ.ย. 2567 22:48"));
            QCOMPARE(text(1), QString("2.0 KB"));
        }
        for (int column : {1, 2, 3})
            QVERIFY2(list->header()->sectionSize(column) >=
                         metrics.horizontalAdvance(text(column)) + 6,
                     qPrintable(QString("column %1 cuts %2").arg(column).arg(text(column))));
    }
}

void ThaiDialogsTest::fileSizesInThai() {
    const struct {
        qint64 bytes;
        const char* shown;
    } cases[] = {
        {0, "0 ไบต์"},
        {1023, "1023 ไบต์"},
        {1024, "1.0 KB"},
        {49152, "48.0 KB"},
        {5 * 1024 * 1024 + 512 * 1024, "5.5 MB"},
        {qint64(3) << 30, "3.0 GB"},
    };
    for (const auto& c : cases)
        QCOMPARE(ia::ThaiFileSize(c.bytes), QString::fromUtf8(c.shown));
}

void ThaiDialogsTest::eachBoxCarriesTheIconOfItsKind() {
    QWidget window;
    window.resize(400, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    ia::BoxPrompts prompts(&window);
    const struct {
        const char* kind;
        std::function<void()> ask;
        QMessageBox::Icon icon;
    } cases[] = {
        {"refusal", [&] { prompts.showMessage("คำเตือน", "เปิดไฟล์ไม่ได้"); }, QMessageBox::Warning},
        {"done", [&] { prompts.showInformation("", "ส่งออกแล้ว"); }, QMessageBox::Information},
        {"yes or no", [&] { prompts.askYesNo("", "นำเข้าหรือไม่"); }, QMessageBox::Question},
        {"ok or cancel", [&] { prompts.askOkCancel("", "จะเขียนทับหรือไม่"); }, QMessageBox::Question},
        {"findings", [&] { prompts.askGoOnAfterChecks("", "ข้อ 3 ไม่มีเฉลย"); }, QMessageBox::Warning},
    };
    for (const auto& c : cases) {
        QMessageBox::Icon shown = QMessageBox::NoIcon;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            poll.stop();
            shown = box->icon();
            box->reject();
        });
        poll.start(5);
        c.ask();
        QVERIFY2(shown == c.icon, c.kind);
    }
}

QTEST_MAIN(ThaiDialogsTest)
#include "qtest_ThaiDialogs.moc"
