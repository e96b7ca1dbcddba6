// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program keeps in the user's settings: the exam files opened last
// (newest first, at most eight), the window's place and the report's zoom.
// Tests point the settings elsewhere (XDG_CONFIG_HOME or QSettings::setPath).

#include <QByteArray>
#include <QObject>
#include <QStringList>

class QMenu;
class QToolButton;
class QWidget;

namespace ia {

class UserSettings {
  public:
    static constexpr int kRecentCount = 8;

    static QStringList recentFiles();
    // Puts `path` (made absolute) first; the list keeps kRecentCount files.
    static void addRecentFile(const QString& path);
    static void removeRecentFile(const QString& path);

    static QByteArray windowGeometry();
    static void setWindowGeometry(const QByteArray& geometry);
    static int reportZoom();
    static void setReportZoom(int steps);
};

// A small arrow on the open button's right edge with the recent files as a
// menu; choosing one asks the window to open it.
class RecentFilesButton : public QObject {
    Q_OBJECT
  public:
    explicit RecentFilesButton(QWidget* openButton);
    QToolButton* button() const { return button_; }
    QMenu* menu() const { return menu_; }
    // Rebuilds the menu from the settings.
    void refresh();

  signals:
    void openRequested(const QString& path);

  protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

  private:
    QToolButton* button_;
    QMenu* menu_;
};

} // namespace ia
