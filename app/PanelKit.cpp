// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PanelKit.h"

#include <QFocusEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QWidget>

#include <cmath>
#include <filesystem>

namespace ia {

const char* const kProgramTitle = "โปรแกรมวิเคราะห์ข้อสอบ";

namespace {
const char* const kUiFamily = "MS Sans Serif";
}

void SubstituteThaiFont() {
    static bool done = false;
    if (done) return;
    done = true;
    QFont::insertSubstitutions(kUiFamily, {"Loma", "Garuda", "Tlwg Typist", "Norasi"});
}

QFont UiFont(double points, bool bold) {
    QFont f(kUiFamily);
    f.setPointSizeF(points * kThaiScale);
    f.setBold(bold);
    return f;
}

void Fill(QWidget* w, const QColor& c, QPalette::ColorRole role) {
    QPalette p = w->palette();
    p.setColor(role, c);
    if (role == QPalette::Window) w->setAutoFillBackground(true);
    w->setPalette(p);
}

void Paint(QPushButton* b, const QColor& c) {
    const QString rgb = QString("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue());
    const QString light = c.lighter(140).name();
    const QString dark = c.darker(160).name();
    b->setStyleSheet(
        QString("QPushButton { background-color: %1; color: black; border-style: solid;"
                " border-width: 2px; border-color: %2 %3 %3 %2; padding: 0px; }"
                "QPushButton:pressed { border-color: %3 %2 %2 %3; }"
                "QPushButton:focus { outline: none; border-width: 2px; border-color: black; }"
                "QPushButton:disabled { color: gray; }")
            .arg(rgb, light, dark));
}

void MakePanel(QFrame* f, const char* name, const QColor& bg) {
    f->setObjectName(name);
    f->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    f->setLineWidth(2);
    Fill(f, bg);
}

QFrame* Panel(QWidget* parent, const char* name, const QColor& bg) {
    auto* f = new QFrame(parent);
    MakePanel(f, name, bg);
    return f;
}

void GrowToText(QWidget* w) {
    const int need = w->fontMetrics().height() + 2;
    if (w->height() >= need) return;
    const QRect r = w->geometry();
    w->setGeometry(r.x(), r.center().y() - need / 2, r.width(), need);
}

StatisticsPanelLayout MakeStatisticsPanel(QFrame* panel, const char* name, const QString& title) {
    panel->setObjectName(name);
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);
    Fill(panel, QColor(192, 192, 192));
    StatisticsPanelLayout l;
    l.outer = new QVBoxLayout(panel);
    l.top = new QHBoxLayout;
    QLabel* heading = Heading(title, panel);
    QFont f = heading->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    heading->setFont(f);
    l.top->addWidget(heading);
    l.top->addStretch();
    l.outer->addLayout(l.top);
    return l;
}

QLabel* Heading(const QString& text, QWidget* parent) {
    auto* l = new QLabel(text, parent);
    QFont f = l->font();
    f.setBold(true);
    l->setFont(f);
    return l;
}

QTableWidget* ReadOnlyTable(QWidget* parent, const char* name, TableSelection selection,
                            bool stretchLastColumn) {
    auto* t = new QTableWidget(parent);
    t->setObjectName(name);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    if (selection == TableSelection::OneRow) {
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        t->setSelectionMode(QAbstractItemView::SingleSelection);
    } else {
        t->setSelectionMode(QAbstractItemView::NoSelection);
    }
    t->horizontalHeader()->setStretchLastSection(stretchLastColumn);
    return t;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(name);
    return l;
}

bool FocusLostInWindow(QEvent* e) {
    auto r = static_cast<QFocusEvent*>(e)->reason();
    return r != Qt::ActiveWindowFocusReason && r != Qt::PopupFocusReason;
}

void FocusIfPossible(QWidget* w) {
    if (w && w->isEnabled() && !w->isHidden()) w->setFocus(Qt::OtherFocusReason);
}

std::string WorkingDir() {
    std::error_code ec;
    auto p = std::filesystem::current_path(ec);
    return ec ? std::string(".") : p.string();
}

int Placer::twips(int twips) const {
    return static_cast<int>(std::lround(twips * window_.logicalDpiX() / 1440.0));
}

QWidget* Placer::place(QWidget* w, int left, int top, int width, int height) {
    // Places are measured from the inner corner of a framed panel.
    int inset = 0;
    if (auto* f = qobject_cast<QFrame*>(w->parentWidget()); f && w->parentWidget() != &window_)
        inset = f->frameWidth();
    // A control that takes a larger window's room keeps taking it.
    layout_.place(w, QRect(twips(left) + inset, twips(top) + inset, twips(width), twips(height)));
    return w;
}

} // namespace ia
