// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The navigation bar of the answer-sheet view: first, previous, caption,
// next, last.

#include <QString>
#include <QWidget>

class QLabel;
class QToolButton;

namespace ia {

// The caption for the sheet at position (from 0) of count; -1 is the
// new-record row, where a sheet not yet stored is typed.
QString RecordCaption(int position, int count);

class DataNavBar : public QWidget {
    Q_OBJECT
  public:
    explicit DataNavBar(QWidget* parent = nullptr);
    QString caption() const;
    void setCaption(const QString& text);

  signals:
    void moveFirst();
    void movePrevious();
    void moveNext();
    void moveLast();

  protected:
    void resizeEvent(QResizeEvent* e) override;
    void layOut();

  private:
    QToolButton* first_;
    QToolButton* previous_;
    QToolButton* next_;
    QToolButton* last_;
    QLabel* caption_;
    QString fullCaption_;
};

} // namespace ia
