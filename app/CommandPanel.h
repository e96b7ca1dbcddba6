// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The command panel at the top left: a new exam file, an opened one (with
// the recent files beside it) and quitting.

#include <QFrame>

class QPushButton;

namespace ia {

class Placer;
class RecentFilesButton;

class CommandPanel : public QFrame {
    Q_OBJECT
  public:
    CommandPanel(QWidget* window, Placer& placer);

    QPushButton* newFileButton() const { return newFile_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* quitButton() const { return quit_; }
    // Made once the window's places are set: it sits on the open button.
    void addRecentFiles();
    RecentFilesButton* recentFiles() const { return recentFiles_; }

  signals:
    void newFileClicked();
    void openClicked();
    void quitClicked();
    void recentFileChosen(const QString& path);

  private:
    QPushButton* newFile_;
    QPushButton* open_;
    QPushButton* quit_;
    RecentFilesButton* recentFiles_ = nullptr;
};

} // namespace ia
