// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The navigation bar of the answer-sheet view: first, previous, caption,
// next, last.

#include <QString>
#include <QWidget>

class QLabel;
class QToolButton;

namespace ia {

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
};

} // namespace ia
