#include "KivRich.h"

#include "Cp1252.h"
#include "KivError.h"
#include "UIServices.h"

#include <QKeyEvent>
#include <QTextDocument>

namespace {

// The marker remembered for an empty stored text.
const QString kEmptyMarker = QStringLiteral("{}");

QString remembered(const QString& stored) {
    return stored.isEmpty() ? kEmptyMarker : stored;
}

// Keys that change the text when the editor is editable.
bool changesText(const QKeyEvent* e) {
    static const QKeySequence::StandardKey kEdits[] = {QKeySequence::Paste,
                                                       QKeySequence::Cut,
                                                       QKeySequence::Undo,
                                                       QKeySequence::Redo,
                                                       QKeySequence::Delete,
                                                       QKeySequence::Backspace,
                                                       QKeySequence::DeleteEndOfWord,
                                                       QKeySequence::DeleteStartOfWord,
                                                       QKeySequence::DeleteEndOfLine,
                                                       QKeySequence::DeleteCompleteLine,
                                                       QKeySequence::InsertParagraphSeparator,
                                                       QKeySequence::InsertLineSeparator};
    for (const auto key : kEdits)
        if (e->matches(key)) return true;
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Backspace:
    case Qt::Key_Delete:
    case Qt::Key_Tab:
        return true;
    default:
        break;
    }
    const QString text = e->text();
    return !text.isEmpty() && text[0] >= QLatin1Char(' ') && text[0] != QChar(0x7F);
}

} // namespace

TKivDBRichEdit::TKivDBRichEdit(QWidget* parent) : TRichEdit(parent) {
    link_.OnDataChange = [this] { dataChange(); };
    link_.OnEditingChange = [this] { editingChange(); };
    link_.OnActiveChange = [this] { editingChange(); };
    link_.OnUpdateData = [this] { updateData(); };
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (!loading_ && link_.Editing()) link_.setModified();
    });
    editingChange();
}

void TKivDBRichEdit::BeginEditing() {
    if (link_.Editing()) return;
    TField* field = link_.Field();
    remembered_ = remembered(field ? field->AsString() : QString());
    struct Forget {
        QString& text;
        ~Forget() { text.clear(); }
    } forget{remembered_};
    link_.Edit();
}

void TKivDBRichEdit::dataChange() {
    TField* field = link_.Field();
    const QString stored = field ? field->AsString() : QString();
    // The record only entered edit state: the editor already shows this text.
    if (!remembered_.isEmpty() && remembered(stored) == remembered_) return;
    load(stored);
}

void TKivDBRichEdit::load(const QString& stored) {
    loading_ = true;
    struct Done {
        bool& loading;
        ~Done() { loading = false; }
    } done{loading_};
    LoadRtf(Cp1252::encode(stored));
}

void TKivDBRichEdit::editingChange() {
    // Browse state still lets the author move the caret, select and copy.
    setTextInteractionFlags(link_.Editing()
                                ? Qt::TextEditorInteraction
                                : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void TKivDBRichEdit::updateData() {
    if (TField* field = link_.Field()) field->setAsString(QString::fromLatin1(SaveRtf()));
}

// Dataset errors raised while a key enters edit state are shown as the
// application's default handler shows them; the key is then dropped.
bool TKivDBRichEdit::beginEditingFromInput() {
    try {
        BeginEditing();
    } catch (const EKivError& e) {
        if (!dynamic_cast<const EAbort*>(&e)) UIServices::instance().showError(e.message());
        return false;
    }
    return link_.Editing();
}

void TKivDBRichEdit::keyPressEvent(QKeyEvent* event) {
    if (!link_.Editing() && changesText(event) && !beginEditingFromInput()) {
        event->accept(); // the record cannot be changed: the key does nothing
        return;
    }
    TRichEdit::keyPressEvent(event);
}

void TKivDBRichEdit::insertFromMimeData(const QMimeData* source) {
    if (!link_.Editing() && !beginEditingFromInput()) return;
    TRichEdit::insertFromMimeData(source);
}
