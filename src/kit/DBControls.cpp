#include "DBControls.h"

#include "KivError.h"
#include "UIServices.h"

#include <QKeyEvent>

namespace {

void showDatasetError(const EKivError& e) {
    if (!dynamic_cast<const EAbort*>(&e)) UIServices::instance().showError(e.message());
}

bool typesText(const QKeyEvent* e) {
    if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut) ||
        e->key() == Qt::Key_Backspace || e->key() == Qt::Key_Delete)
        return true;
    const QString text = e->text();
    return !text.isEmpty() && text[0] >= QLatin1Char(' ') && text[0] != QChar(0x7F);
}

} // namespace

bool TDBFieldControl::beginEditingFromInput() {
    try {
        link_.Edit();
    } catch (const EKivError& e) {
        showDatasetError(e);
        return false;
    }
    return link_.Editing();
}

bool TDBFieldControl::storeEdit(QWidget* control) {
    try {
        link_.UpdateRecord();
        return true;
    } catch (const EKivError& e) {
        showDatasetError(e);
        control->setFocus();
        return false;
    }
}

// ---------------------------------------------------------------- edit

TDBEdit::TDBEdit(QWidget* parent) : QLineEdit(parent) {
    link_.OnDataChange = [this] { showField(); };
    link_.OnLayoutChange = [this] {
        if (!link_.Modified()) showField();
    };
    link_.OnEditingChange = [this] { QLineEdit::setReadOnly(!link_.CanModify()); };
    link_.OnUpdateData = [this] {
        if (TField* f = Field()) f->setText(text());
    };
    link_.OnFocusControl = [this](TField*) { setFocus(); };
    connect(this, &QLineEdit::textEdited, this, [this] { link_.setModified(); });
    QLineEdit::setReadOnly(true);
}

void TDBEdit::setReadOnly(bool readOnly) {
    link_.setReadOnly(readOnly);
    QLineEdit::setReadOnly(!link_.CanModify());
}

// Edit text while the control has the focus, display text otherwise.
void TDBEdit::showField() {
    TField* f = Field();
    setMaxLength(f && f->DataType() == TFieldType::ftString && f->Size() > 0 ? f->Size() : 32767);
    setText(!f ? QString() : hasFocus() ? f->Text() : f->DisplayText());
    QLineEdit::setReadOnly(!link_.CanModify());
}

void TDBEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && link_.Modified()) {
        link_.Reset();
        selectAll();
        event->accept();
        return;
    }
    if (typesText(event) && !link_.Editing() && !beginEditingFromInput()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TDBEdit::focusInEvent(QFocusEvent* event) {
    if (!link_.Modified()) showField();
    QLineEdit::focusInEvent(event);
}

void TDBEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (storeEdit(this) && !link_.Modified()) showField();
}

// ---------------------------------------------------------------- label

TDBText::TDBText(QWidget* parent) : QLabel(parent) {
    link_.OnDataChange = [this] { refresh(); };
    link_.OnLayoutChange = [this] { refresh(); };
}

QString TDBText::fieldText() const {
    TField* f = Field();
    return f ? f->DisplayText() : QString();
}

void TDBText::refresh() {
    setText(fieldText());
}

// ---------------------------------------------------------------- memo

TDBMemo::TDBMemo(QWidget* parent) : QPlainTextEdit(parent) {
    link_.OnDataChange = [this] {
        loading_ = true;
        TField* f = Field();
        // Stored with CR LF line ends; the editor keeps bare line feeds.
        setPlainText(f ? f->AsString().remove(QLatin1Char('\r')) : QString());
        loading_ = false;
        QPlainTextEdit::setReadOnly(!link_.CanModify());
    };
    link_.OnEditingChange = [this] { QPlainTextEdit::setReadOnly(!link_.CanModify()); };
    link_.OnUpdateData = [this] {
        if (TField* f = Field())
            f->setAsString(toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n")));
    };
    link_.OnFocusControl = [this](TField*) { setFocus(); };
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (!loading_ && link_.Editing()) link_.setModified();
    });
    QPlainTextEdit::setReadOnly(true);
}

void TDBMemo::setReadOnly(bool readOnly) {
    link_.setReadOnly(readOnly);
    QPlainTextEdit::setReadOnly(!link_.CanModify());
}

void TDBMemo::keyPressEvent(QKeyEvent* event) {
    const bool enters =
        typesText(event) || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (event->key() == Qt::Key_Escape && link_.Modified()) {
        link_.Reset();
        event->accept();
        return;
    }
    if (enters && !link_.Editing() && !beginEditingFromInput()) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void TDBMemo::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    storeEdit(this);
}

// ---------------------------------------------------------------- combo

TDBComboBox::TDBComboBox(QWidget* parent) : QComboBox(parent) {
    link_.OnDataChange = [this] { showField(); };
    link_.OnUpdateData = [this] {
        if (TField* f = Field()) f->setText(currentText());
    };
    link_.OnFocusControl = [this](TField*) { setFocus(); };
    connect(this, &QComboBox::activated, this, [this](int index) { choose(index); });
}

void TDBComboBox::showField() {
    showing_ = true;
    TField* f = Field();
    const QString text = f ? f->Text() : QString();
    const int at = findText(text, Qt::MatchFixedString);
    setCurrentIndex(at);
    showing_ = false;
}

void TDBComboBox::choose(int index) {
    if (showing_ || index < 0) return;
    // Entering edit state shows the stored value again: the choice comes back after.
    if (!beginEditingFromInput()) {
        showField();
        return;
    }
    showing_ = true;
    setCurrentIndex(index);
    showing_ = false;
    link_.setModified();
    if (!storeEdit(this)) showField();
}
