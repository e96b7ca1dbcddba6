// SPDX-License-Identifier: GPL-3.0-or-later
// Every panel and dialog at the screen sizes teachers have (800×600,
// 1366×768, 1920×1080) with short, middling and the longest tests: every
// visible control lies inside the widget that holds it, no two visible
// texts lie over each other, and a dialog opens no larger than the screen,
// its buttons on it.
#include "WindowFixture.h"
#include "app/ExportDialog.h"
#include "app/ImportDialog.h"
#include "app/ReportPanel.h"
#include "session/ExamSession.h"

#include <QAbstractScrollArea>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <algorithm>

using namespace ia;

namespace {

using iatest::Control;

// Where w lies in root's coordinates.
QRect InRoot(const QWidget* w, const QWidget* root) {
    return QRect(w->mapTo(root, QPoint(0, 0)), w->size());
}

// A widget that a scroll area moves about: it may be larger than the
// viewport that shows it.
bool Scrolled(const QWidget* w) {
    const QWidget* parent = w->parentWidget();
    const auto* area =
        parent ? qobject_cast<const QAbstractScrollArea*>(parent->parentWidget()) : nullptr;
    return area && area->viewport() == parent;
}

// The faults of the layout of root as shown: controls outside the widget
// that holds them, and texts over texts.
QStringList LayoutFaults(QWidget* root) {
    QStringList faults;
    const auto name = [](const QWidget* w) {
        return w->objectName().isEmpty() ? QString(w->metaObject()->className()) : w->objectName();
    };
    QList<QWidget*> shown;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->isWindow() || !w->isVisibleTo(root)) continue;
        // The inner parts of Qt's own controls are laid out by Qt.
        if (w->objectName().startsWith("qt_")) continue;
        shown << w;
        const QWidget* parent = w->parentWidget();
        if (Scrolled(w)) continue;
        if (!parent->rect().contains(w->geometry()))
            faults << QString("%1 %2 outside %3 %4")
                          .arg(name(w))
                          .arg(QString("%1,%2 %3x%4")
                                   .arg(w->x())
                                   .arg(w->y())
                                   .arg(w->width())
                                   .arg(w->height()))
                          .arg(name(parent))
                          .arg(QString("%1x%2").arg(parent->width()).arg(parent->height()));
    }
    // A text lies over no other text, nor, where a layout places it, over a
    // control beside it (a squeezed layout puts them over each other; the
    // window's fixed places put transparent captions beside their fields).
    QList<QLabel*> labels;
    for (QWidget* w : shown)
        if (auto* l = qobject_cast<QLabel*>(w); l && !l->text().trimmed().isEmpty()) labels << l;
    for (qsizetype a = 0; a < labels.size(); ++a)
        for (qsizetype b = a + 1; b < labels.size(); ++b)
            if (InRoot(labels[a], root).intersects(InRoot(labels[b], root)))
                faults << QString("%1 over %2").arg(name(labels[a]), name(labels[b]));
    // A text that wraps has the height its lines need.
    for (QLabel* l : labels)
        if (l->wordWrap() && l->heightForWidth(l->width()) > l->height() + 1)
            faults << QString("%1 cut: %2 high, needs %3")
                          .arg(name(l))
                          .arg(l->height())
                          .arg(l->heightForWidth(l->width()));
    const auto laidOut = [](QWidget* w) {
        QWidget* parent = w->parentWidget();
        QList<QLayout*> layouts = parent->findChildren<QLayout*>();
        if (parent->layout()) layouts << parent->layout();
        return std::any_of(layouts.begin(), layouts.end(),
                           [w](QLayout* l) { return l->indexOf(w) >= 0; });
    };
    for (QLabel* l : labels)
        for (QWidget* other : shown)
            if (laidOut(l))
                if (other != l && other->parentWidget() == l->parentWidget() &&
                    !qobject_cast<QLabel*>(other) && l->geometry().intersects(other->geometry()))
                    faults << QString("%1 over %2").arg(name(l), name(other));
    return faults;
}

std::vector<std::vector<std::string>> Sheets(int count, int items) {
    std::vector<std::vector<std::string>> sheets;
    for (int s = 0; s < count; ++s) {
        std::vector<std::string> row{std::to_string(s + 1)};
        for (int i = 0; i < items; ++i)
            row.push_back(std::to_string(1 + (s * 7 + i * 3 + (s > count / 2 ? i : 0)) % 4));
        sheets.push_back(row);
    }
    return sheets;
}

} // namespace

class LayoutFits : public QObject {
    Q_OBJECT

  private slots:
    void panelsAtEverySize_data();
    void panelsAtEverySize();
    void dialogsFitTheScreen();
};

void LayoutFits::panelsAtEverySize_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("items");
    for (QSize size : {QSize(800, 600), QSize(1366, 768), QSize(1920, 1080)})
        for (int items : {5, 40, 251})
            QTest::addRow("%dx%d_%d_items", size.width(), size.height(), items) << size << items;
}

void LayoutFits::panelsAtEverySize() {
    QFETCH(QSize, size);
    QFETCH(int, items);
    iatest::WindowFixture f;
    QVERIFY(f.showActive());
    auto& w = f.w();
    QVERIFY2(w.minimumSize().width() <= size.width() && w.minimumSize().height() <= size.height(),
             qPrintable(QString("the window needs %1x%2")
                            .arg(w.minimumSize().width())
                            .arg(w.minimumSize().height())));
    w.resize(size);
    QCoreApplication::processEvents();

    const QString path = f.path("layout.ans");
    iatest::MakeExamFile(path.toStdString(), iatest::MakeHeader(items, 4),
                         std::vector<std::string>(static_cast<size_t>(items), "1"),
                         Sheets(40, items));
    f.nextFile = path;
    Control<QPushButton>(w, "Command2")->click();
    QVERIFY2(LayoutFaults(&w).isEmpty(), qPrintable(LayoutFaults(&w).join("\n")));

    Control<QPushButton>(w, "Command5")->click();
    QVERIFY(f.messages.isEmpty());
    QCoreApplication::processEvents();
    QVERIFY2(LayoutFaults(&w).isEmpty(), qPrintable("report: " + LayoutFaults(&w).join("\n")));
    auto* report = w.findChild<ReportPanel*>();
    QVERIFY(report);
    for (ResultsCurrency c : {ResultsCurrency::Outdated, ResultsCurrency::Unknown}) {
        report->showOutdated(c, Technique::SimpleFormula25);
        QCoreApplication::processEvents();
        QVERIFY2(LayoutFaults(&w).isEmpty(),
                 qPrintable("report with its notice: " + LayoutFaults(&w).join("\n")));
    }

    // The statistics with the yellow notice over them.
    Control<QPushButton>(w, "cmdItemStats")->click();
    auto* stats = Control<ItemStatisticsPanel>(w, "ItemStatisticsPanel");
    QVERIFY(stats->isVisible());
    stats->setOutdated(ResultsCurrency::Outdated, Technique::SimpleFormula25);
    QCoreApplication::processEvents();
    QVERIFY2(LayoutFaults(&w).isEmpty(), qPrintable("statistics: " + LayoutFaults(&w).join("\n")));
    stats->closeButton->click();

    Control<QPushButton>(w, "cmdGraphs")->click();
    auto* graphs = Control<GraphPanel>(w, "GraphPanel");
    QVERIFY(graphs->isVisible());
    graphs->showNotice(kResultsOutdatedNotice);
    QCoreApplication::processEvents();
    QVERIFY2(LayoutFaults(&w).isEmpty(), qPrintable("charts: " + LayoutFaults(&w).join("\n")));
}

// The dialogs open on the screen they are on, no larger than it, with their
// buttons inside; their long parts scroll.
void LayoutFits::dialogsFitTheScreen() {
    iatest::TempDir dir;
    const std::string path = dir.file("exam.ans");
    iatest::MakeExamFile(path, iatest::MakeHeader(40, 4), std::vector<std::string>(40, "1"),
                         Sheets(10, 40));
    ExamSession session;
    QVERIFY(!session.open(path));
    const QSize screen = QGuiApplication::primaryScreen()->availableGeometry().size();
    ImportDialog import(session.connection(), path, 40, 4);
    ExportDialog exporting(session.connection(), path, 40);
    for (QDialog* d : {static_cast<QDialog*>(&import), static_cast<QDialog*>(&exporting)}) {
        d->show();
        QVERIFY(QTest::qWaitForWindowExposed(d));
        QVERIFY2(d->width() <= screen.width() && d->height() <= screen.height(),
                 qPrintable(QString("%1 %2x%3 on %4x%5")
                                .arg(d->objectName())
                                .arg(d->width())
                                .arg(d->height())
                                .arg(screen.width())
                                .arg(screen.height())));
        for (QPushButton* b : d->findChildren<QPushButton*>()) {
            if (!b->isVisibleTo(d)) continue;
            const QRect at = InRoot(b, d);
            // A button in a part that scrolls is reached by scrolling.
            bool scrolls = false;
            for (QWidget* p = b->parentWidget(); p && p != d; p = p->parentWidget())
                scrolls = scrolls || Scrolled(p);
            if (!scrolls) QVERIFY2(d->rect().contains(at), qPrintable(b->text()));
        }
        QVERIFY2(LayoutFaults(d).isEmpty(), qPrintable(LayoutFaults(d).join("\n")));
        d->hide();
    }
}

QTEST_MAIN(LayoutFits)
#include "qtest_LayoutFits.moc"
