// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/RecentFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>
#include <QSettings>
#include <QToolButton>

namespace ia {

namespace {

// One file for every copy of the program, whatever its executable's name.
QSettings Store() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, "itemanalysis", "itemanalysis");
}

QString Absolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

} // namespace

QStringList UserSettings::recentFiles() {
    QStringList list = Store().value("recentFiles").toStringList();
    list.removeAll(QString());
    while (list.size() > kRecentCount)
        list.removeLast();
    return list;
}

void UserSettings::addRecentFile(const QString& path) {
    const QString absolute = Absolute(path);
    QStringList list = recentFiles();
    list.removeAll(absolute);
    list.prepend(absolute);
    while (list.size() > kRecentCount)
        list.removeLast();
    Store().setValue("recentFiles", list);
}

void UserSettings::removeRecentFile(const QString& path) {
    QStringList list = recentFiles();
    list.removeAll(Absolute(path));
    Store().setValue("recentFiles", list);
}

QByteArray UserSettings::windowGeometry() {
    return Store().value("window/geometry").toByteArray();
}

void UserSettings::setWindowGeometry(const QByteArray& geometry) {
    Store().setValue("window/geometry", geometry);
}

int UserSettings::reportZoom() {
    return Store().value("report/zoom", 0).toInt();
}

void UserSettings::setReportZoom(int steps) {
    Store().setValue("report/zoom", steps);
}

RecentFilesButton::RecentFilesButton(QWidget* openButton) : QObject(openButton) {
    button_ = new QToolButton(openButton);
    button_->setObjectName("cmdRecentFiles");
    button_->setToolTip("ไฟล์ที่เปิดล่าสุด");
    button_->setArrowType(Qt::DownArrow);
    button_->setAutoRaise(true);
    button_->setPopupMode(QToolButton::InstantPopup);
    // On the tab chain right after the open button: a teacher without a
    // mouse reaches it too (Space opens the menu).
    button_->setFocusPolicy(Qt::TabFocus);
    menu_ = new QMenu(button_);
    menu_->setObjectName("recentFilesMenu");
    menu_->setToolTipsVisible(true);
    button_->setMenu(menu_);
    // Inside the open button, at its right edge: the button keeps its place.
    const int w = std::max(14, openButton->height() / 2);
    button_->setGeometry(openButton->width() - w - 3, 3, w, openButton->height() - 6);
    QWidget::setTabOrder(openButton, button_);
    button_->installEventFilter(this);
    connect(menu_, &QMenu::aboutToShow, this, &RecentFilesButton::refresh);
    refresh();
}

void RecentFilesButton::refresh() {
    menu_->clear();
    const QStringList files = UserSettings::recentFiles();
    int n = 0;
    for (const QString& f : files) {
        ++n;
        const QFileInfo info(f);
        QAction* a = menu_->addAction(
            QString("&%1  %2     %3").arg(n).arg(info.fileName(), info.absolutePath()));
        a->setToolTip(f);
        a->setData(f);
        connect(a, &QAction::triggered, this, [this, f] { emit openRequested(f); });
    }
    if (files.isEmpty()) menu_->addAction("ยังไม่มีไฟล์ที่เปิดล่าสุด")->setEnabled(false);
}

} // namespace ia

namespace ia {

// Enter presses a focused button everywhere in this window; here it opens
// the list.
bool RecentFilesButton::eventFilter(QObject* watched, QEvent* e) {
    if (watched == button_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            button_->showMenu();
            return true;
        }
    }
    return QObject::eventFilter(watched, e);
}

} // namespace ia
