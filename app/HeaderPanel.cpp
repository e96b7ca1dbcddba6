// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/HeaderPanel.h"

#include "app/FieldCaption.h"
#include "app/HeaderKeys.h"
#include "app/PanelKit.h"
#include "app/Prompts.h"
#include "session/ExamSession.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace ia {

HeaderPanel::HeaderPanel(QWidget* window, Placer& placer, ExamSession& session, Prompts& prompts)
    : QFrame(window), placer_(placer), session_(session), prompts_(prompts) {
    const QColor teal(0, 192, 192);
    MakePanel(this, "Picture2", teal);
    placer.place(this, 2265, 600, 9615, 1935);
    fileNameCaption_ = Label(this, "Label1", "ชื่อไฟล์");
    placer.place(fileNameCaption_, 120, 120, 735, 255);
    auto* caption2 = new FieldCaption("รหัสวิชา                                วิชา        "
                                      "                                                    เทอม"
                                      "                     ปีการศึกษา",
                                      this);
    caption2->setObjectName("Label2");
    placer.place(caption2, 120, 600, 7215, 255);
    auto* caption3 = new FieldCaption(
        "จำนวนข้อสอบ                     จำนวนตัวเลือก                  อาจารย์ผู้สอน", this);
    caption3->setObjectName("Label3");
    placer.place(caption3, 120, 1200, 5655, 255);
    // Each word ends a little before the field it names.
    const int blank = std::max(caption2->fontMetrics().horizontalAdvance(' '), kCaptionGap);
    auto end = [&](int fieldLeft) { return placer.twips(fieldLeft - 120) - blank; };
    caption2->setWordEnds({end(2400), end(5520), end(7200)});
    caption3->setWordEnds({end(3120), end(4935)});
    caption2->setFirstWordEnd(end(735));
    caption3->setFirstWordEnd(end(1200));
    firstRowCaption_ = caption2;
    secondRowCaption_ = caption3;
    for (QLabel* l : {fileNameCaption_, firstRowCaption_, secondRowCaption_}) {
        l->setAutoFillBackground(false);
        GrowToText(l);
    }

    struct FieldPlace {
        int left, top, width, height;
    };
    const FieldPlace fieldPlaces[kHeaderFieldCount] = {
        {720, 120, 5520, 315},  {735, 600, 1305, 315},   {2400, 600, 2535, 315},
        {5520, 600, 735, 315},  {7200, 600, 855, 315},   {1200, 1200, 615, 315},
        {3120, 1200, 495, 315}, {4935, 1200, 3135, 315},
    };
    for (int i = 0; i < kHeaderFieldCount; ++i) {
        auto* t = new QLineEdit(this);
        t->setObjectName(QString("Text1(%1)").arg(i));
        t->setFont(UiFont(9.75));
        Fill(t, QColor(128, 255, 255), QPalette::Base);
        {
            // The file name stays disabled while a file is open, and the
            // teacher still reads the path there.
            QPalette pal = t->palette();
            pal.setColor(QPalette::Disabled, QPalette::Text, QColor(40, 40, 40));
            pal.setColor(QPalette::Disabled, QPalette::Base, QColor(128, 255, 255));
            t->setPalette(pal);
        }
        t->setFrame(true);
        const auto& p = fieldPlaces[i];
        placer.place(t, p.left, p.top, p.width, p.height);
        // No more than the exam file holds can be typed or pasted; a Thai
        // letter or mark is one unit here as in the engine.
        if (kHeaderTextSizes[i] > 0) t->setMaxLength(kHeaderTextSizes[i]);
        fields_.push_back(t);
    }
    keepCaptionsOffFields();
    message_ = Label(this, "Label5", "");
    message_->setAlignment(Qt::AlignCenter);
    message_->setWordWrap(true);
    Fill(message_, QColor(255, 255, 128));
    Fill(message_, Qt::black, QPalette::WindowText);
    message_->setFont(UiFont(9.75));
    placer.place(message_, 6495, 75, 2895, 375);
    message_->hide();
    ok_ = Button(this, "Command4", "ตกลง");
    Paint(ok_, QColor(255, 192, 128));
    placer.place(ok_, 8415, 1080, 975, 450);
    hide();

    connect(ok_, &QPushButton::clicked, this, &HeaderPanel::okClicked);
    for (int i = 0; i < fields_.size(); ++i) {
        connect(fields_[i], &QLineEdit::textChanged, this, [this] { headerChanged_ = true; });
        fields_[i]->installEventFilter(this);
    }
    ok_->installEventFilter(this);
}

HeaderPanel::~HeaderPanel() {
    // The fields die after this object: their last focus events must not
    // reach the write-back any more.
    for (QLineEdit* t : fields_)
        t->removeEventFilter(this);
    ok_->removeEventFilter(this);
}

void HeaderPanel::keepCaptionsOffFields() {
    // The Thai faces are wider than the layout's: a field that would reach
    // the caption of the next one gives way, and so does a field that
    // would start under its own caption.
    auto endBefore = [](QWidget* field, int x) {
        const QRect g = field->geometry();
        if (g.right() + kCaptionGap >= x)
            field->setGeometry(g.x(), g.y(), x - kCaptionGap - g.x(), g.height());
    };
    auto startAfter = [](QWidget* field, int x) {
        const QRect g = field->geometry();
        if (g.x() < x + kCaptionGap) {
            const int left = x + kCaptionGap;
            field->setGeometry(left, g.y(), g.right() + 1 - left, g.height());
        }
    };
    auto* caption2 = static_cast<FieldCaption*>(firstRowCaption_);
    auto* caption3 = static_cast<FieldCaption*>(secondRowCaption_);
    const QVector<QRect> words2 = caption2->wordRects();
    const QVector<QRect> words3 = caption3->wordRects();
    const int before2[] = {kSubjectCodeField, kSubjectNameField, kTermField};
    for (int i = 1; i < words2.size() && i <= 3; ++i)
        endBefore(fields_[before2[i - 1]], caption2->x() + words2[i].x());
    const int before3[] = {kItemsField, kChoicesField};
    for (int i = 1; i < words3.size() && i <= 2; ++i)
        endBefore(fields_[before3[i - 1]], caption3->x() + words3[i].x());
    startAfter(fields_[kFileNameField],
               fileNameCaption_->x() +
                   fileNameCaption_->fontMetrics().horizontalAdvance(fileNameCaption_->text()));
    fileNameCaption_->resize(fields_[kFileNameField]->x() - kCaptionGap - fileNameCaption_->x(),
                             fileNameCaption_->height());
}

bool HeaderPanel::eventFilter(QObject* watched, QEvent* e) {
    const auto type = e->type();
    if (type == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        for (int i = 0; i < fields_.size(); ++i)
            if (watched == fields_[i]) onFieldKeyDown(i, k->key(), k->modifiers());
        // The OK button would otherwise pass the arrow on to its neighbour.
        if (watched == ok_ && k->key() == Qt::Key_Left) {
            FocusIfPossible(fields_[kTeacherField]);
            return true;
        }
    } else if (type == QEvent::FocusOut && FocusLostInWindow(e)) {
        for (int i = 0; i < fields_.size(); ++i)
            if (watched == fields_[i]) writeBackField(i);
    }
    return QFrame::eventFilter(watched, e);
}

HeaderTexts HeaderPanel::typedTexts() const {
    HeaderTexts texts;
    for (int i = 0; i < kHeaderFieldCount; ++i)
        texts[i] = S(fields_[i]->text());
    return texts;
}

void HeaderPanel::clearForNewHeader() {
    fields_[kFileNameField]->setEnabled(true);
    show();
    ok_->show();
    clearMessage();
    for (QLineEdit* t : fields_)
        t->clear();
    fields_[kItemsField]->setReadOnly(false);
    fields_[kItemsField]->setToolTip(QString());
}

void HeaderPanel::showFileHeader() {
    for (int i = 0; i < kHeaderFieldCount; ++i)
        fields_[i]->setText(Q(session_.headerFieldText(HeaderField(i))));
    fields_[kFileNameField]->setEnabled(false);
    // The answer fields were made for this many items when the file was.
    fields_[kItemsField]->setReadOnly(true);
    fields_[kItemsField]->setToolTip("จำนวนข้อสอบกำหนดไว้ตอนสร้างไฟล์ แก้ไขไม่ได้");
}

void HeaderPanel::showMessage(const QString& text) {
    // A path has no blanks to wrap at: it may break after each folder.
    QString shown = text;
    shown.replace('/', QStringLiteral("/\u200B"));
    message_->setText(shown);
    message_->setToolTip(text);
    // The line grows downwards until the whole message shows.
    const int height =
        std::max(placer_.twips(375), message_->heightForWidth(message_->width()) + 4);
    message_->resize(message_->width(), height);
    message_->show();
    message_->raise();
}

void HeaderPanel::clearMessage() {
    message_->clear();
    message_->hide();
}

void HeaderPanel::warn(const QString& text) {
    prompts_.showMessage(kWarningTitle, text);
}

void HeaderPanel::onFieldKeyDown(int index, int key, Qt::KeyboardModifiers modifiers) {
    const bool modifier = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const HeaderMove m = Text1KeyMove(index, key, modifier, session_.isOpen(), !ok_->isHidden());
    switch (m.target) {
    case HeaderMove::Stay:
        break;
    case HeaderMove::Field:
        FocusIfPossible(fields_[m.field]);
        break;
    case HeaderMove::NewFileButton:
        emit newFileButtonWanted();
        break;
    case HeaderMove::OkButton:
        FocusIfPossible(ok_);
        break;
    case HeaderMove::KeyGrid:
        emit keyGridWanted();
        break;
    }
}

void HeaderPanel::writeBackField(int index) {
    if (!session_.isOpen() || !headerChanged_) return;
    const HeaderField field = HeaderField(index);
    // Fewer choices than stored answers or key cells use is asked first,
    // with their count; ไม่ (Enter, Escape) keeps the file as it was.
    const auto goOnOutOfRange = [this](const ChoicesOutOfRange& outOfRange) {
        return prompts_.askYesNo(kProgramTitle, Q(ChoicesChangeQuestion(outOfRange)));
    };
    const SessionError refused =
        session_.writeHeaderField(field, S(fields_[index]->text()), goOnOutOfRange);
    if (!refused || refused.kind == SessionErrorKind::NoFileOpen) return;
    // A refused text gives way to the stored one.
    fields_[index]->setText(Q(session_.headerFieldText(field)));
    if (refused.kind == SessionErrorKind::Declined) return;
    if (field == HeaderField::Year && refused.kind == SessionErrorKind::InvalidValue)
        showMessage(Q(refused.message));
    else
        warn(Q(refused.message));
}

} // namespace ia
