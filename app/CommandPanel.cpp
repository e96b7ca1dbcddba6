// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandPanel.h"

#include "app/PanelKit.h"
#include "app/RecentFiles.h"

#include <QPushButton>

namespace ia {

CommandPanel::CommandPanel(QWidget* window, Placer& placer) : QFrame(window) {
    MakePanel(this, "Picture1", QColor(0, 192, 192));
    placer.place(this, 105, 600, 2175, 1935);
    newFile_ = Button(this, "Command1", "ไฟล์ใหม่");
    Paint(newFile_, QColor(0, 255, 0));
    placer.place(newFile_, 120, 120, 1935, 495);
    open_ = Button(this, "Command2", "เปิดไฟล์");
    Paint(open_, QColor(255, 192, 255));
    placer.place(open_, 120, 720, 1935, 495);
    quit_ = Button(this, "Command3", "ออกโปรแกรม");
    Paint(quit_, QColor(255, 192, 192));
    placer.place(quit_, 120, 1320, 1935, 495);
    connect(newFile_, &QPushButton::clicked, this, &CommandPanel::newFileClicked);
    connect(open_, &QPushButton::clicked, this, &CommandPanel::openClicked);
    connect(quit_, &QPushButton::clicked, this, &CommandPanel::quitClicked);
}

void CommandPanel::addRecentFiles() {
    recentFiles_ = new RecentFilesButton(open_);
    connect(recentFiles_, &RecentFilesButton::openRequested, this, &CommandPanel::recentFileChosen);
}

} // namespace ia
