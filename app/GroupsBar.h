// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bar of the district's view, below the record buttons: pooling the
// class files of one test ("รวมไฟล์หลายห้อง") and comparing the groups of the
// file in hand ("เปรียบเทียบกลุ่ม").

#include "session/Pool.h"

#include <QDialog>
#include <QFrame>

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace ia {

class GroupComparisonPanel;
class Placer;
class Prompts;

// What to pool: the sources, the new file's name, the groups and the key.
class PoolDialog : public QDialog {
    Q_OBJECT
  public:
    explicit PoolDialog(QWidget* parent, Prompts& prompts);

    void addSources(const QStringList& paths);
    // The request as filled in (its progress left unset).
    PoolRequest request() const;
    // The pooled file's report once OK has pooled.
    const std::optional<PoolReport>& pooled() const { return pooled_; }

    QListWidget* sources;
    QPushButton* addButton;
    QPushButton* removeButton;
    QLineEdit* output;
    QRadioButton* byFile;
    QRadioButton* byColumn;
    QLineEdit* column;
    QComboBox* keyFrom;
    QCheckBox* overwrite;
    QPushButton* okButton;
    QPushButton* cancelButton;

  private:
    void refreshKeyChoices();
    void poolNow();

    Prompts& prompts_;
    std::optional<PoolReport> pooled_;
};

class GroupsBar : public QFrame {
    Q_OBJECT
  public:
    GroupsBar(QWidget* window, Placer& placer, Prompts& prompts);
    void addToGrowth(Placer& placer);
    QPushButton* poolButton() const { return pool_; }
    QPushButton* compareButton() const { return compare_; }
    // Runs the pooling dialog; the pooled file's name once written.
    QString runPoolDialog();

  signals:
    // A new pooled file was written: the window opens it and compares.
    void pooled(const QString& path);
    void compareClicked();

  private:
    Prompts& prompts_;
    QPushButton* pool_;
    QPushButton* compare_;
};

} // namespace ia
