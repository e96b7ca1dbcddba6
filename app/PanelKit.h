// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What every panel of the main window builds with: the fonts, colours and
// places of the layout the window was drawn in. The exam file in hand is the
// main window's ExamSession, passed to the panels that need it.

#include "app/GrowingLayout.h"
#include "examfile/Messages.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QString>

#include <string>

class QEvent;
class QFrame;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTableWidget;
class QVBoxLayout;
class QWidget;

namespace ia {

extern const char* const kProgramTitle; // "โปรแกรมวิเคราะห์ข้อสอบ"

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
inline std::string S(const QString& s) {
    return s.toStdString();
}

// The least room between a caption and a field, in pixels.
inline constexpr int kCaptionGap = 4;

// The Thai faces run about a third wider than the face the places were drawn
// for; at three quarters of the size every caption fits its place.
inline constexpr double kThaiScale = 0.75;

// The layout was drawn with "MS Sans Serif" and its Thai character set; the
// Thai faces of fonts-thai-tlwg stand in for it.
void SubstituteThaiFont();
QFont UiFont(double points, bool bold = false);
void Fill(QWidget* w, const QColor& c, QPalette::ColorRole role = QPalette::Window);
// Buttons with a colour are drawn in it, flat and solid like the graphical
// buttons of the layout, with black text whatever the desktop theme.
void Paint(QPushButton* b, const QColor& c);
// A sunken panel of the layout in its colour.
void MakePanel(QFrame* f, const char* name, const QColor& bg);
QFrame* Panel(QWidget* parent, const char* name, const QColor& bg);
// A transparent caption may be taller than its place: the stacked marks of
// Thai need more height than the face the places were drawn for.
void GrowToText(QWidget* w);
QPushButton* Button(QWidget* parent, const char* name, const QString& caption);
QLabel* Label(QWidget* parent, const char* name, const QString& caption);
// The statistics panels that open over the window share one look: a raised
// grey frame whose first row starts with the title, large and bold. The
// caller adds the row's controls to `top` and the body below it to `outer`.
struct StatisticsPanelLayout {
    QVBoxLayout* outer = nullptr;
    QHBoxLayout* top = nullptr;
};
StatisticsPanelLayout MakeStatisticsPanel(QFrame* panel, const char* name, const QString& title);
// A bold caption over a table or a chart of such a panel.
QLabel* Heading(const QString& text, QWidget* parent);
// Their tables are read, not edited, and have no row numbers; a table of
// items selects one whole row at a time, the others nothing.
enum class TableSelection { Nothing, OneRow };
QTableWidget* ReadOnlyTable(QWidget* parent, const char* name, TableSelection selection,
                            bool stretchLastColumn);
// Switching to another program or opening a popup is no lost focus of a
// field: the teacher is still in it.
bool FocusLostInWindow(QEvent* e);
void FocusIfPossible(QWidget* w);
std::string WorkingDir();

// Places controls where the layout drew them, in twips, inside the window
// whose larger sizes the growing layout shares out.
class Placer {
  public:
    Placer(QWidget& window, GrowingLayout& layout) : window_(window), layout_(layout) {}
    // Twips of the layout in pixels of this screen.
    int twips(int twips) const;
    QWidget* place(QWidget* w, int left, int top, int width, int height);
    GrowingLayout& layout() { return layout_; }
    QWidget& window() { return window_; }

  private:
    QWidget& window_;
    GrowingLayout& layout_;
};

} // namespace ia
