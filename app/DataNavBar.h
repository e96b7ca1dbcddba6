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
    // The highest record position the caption may have to show: the arrows
    // narrow so that "Record: " and that number are never cut.
    void setLargestPosition(int position);
    // Width the caption needs for the largest position, in pixels.
    int captionWidthNeeded() const;
    int captionWidth() const;

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
    int largest_ = 1;
};

} // namespace ia
