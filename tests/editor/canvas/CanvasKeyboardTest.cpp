#include "CanvasHarness.h"

#include "editor/canvas/CanvasTextField.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

using namespace kx;
using namespace kx::test;

namespace {

struct CanvasKeyboard : CanvasFixture {
    QUuid drawRect(QPointF a, QPointF b)
    {
        const ToolKind was = d().tool();
        use(ToolKind::rect);
        mouse.drag(a, b);
        const QUuid id = d().annotations().last().id;
        use(was);
        d().select(id);
        return id;
    }
    void type(const QString& text)
    {
        ASSERT_NE(canvas->textField(), nullptr);
        for (QChar c : text) {
            if (c == QLatin1Char('\n'))
                key(canvas->textField(), Qt::Key_Return);
            else
                key(canvas->textField(), 0, {}, QString(c));
        }
    }
};

}  // namespace

TEST_F(CanvasKeyboard, ToolLettersNeedNoCtrlAltOrSuper)
{
    const QUuid id = drawRect(QPointF(10, 10), QPointF(60, 60));
    use(ToolKind::select);
    d().select(id);
    key(canvas, Qt::Key_V, Qt::ShiftModifier, "V");
    EXPECT_EQ(d().tool(), ToolKind::select);
    EXPECT_EQ(d().selectedID(), id);  // V keeps the selection

    key(canvas, Qt::Key_R, {}, "r");
    EXPECT_EQ(d().tool(), ToolKind::rect);
    EXPECT_TRUE(d().selectedID().isNull());

    for (Qt::KeyboardModifier m : {Qt::ControlModifier, Qt::AltModifier, Qt::MetaModifier}) {
        key(canvas, Qt::Key_P, m, "p");
        EXPECT_EQ(d().tool(), ToolKind::rect);
    }
    const std::pair<Qt::Key, ToolKind> letters[] = {
        {Qt::Key_C, ToolKind::crop},     {Qt::Key_Z, ToolKind::magnifier}, {Qt::Key_M, ToolKind::ruler},
        {Qt::Key_X, ToolKind::pixelate}, {Qt::Key_N, ToolKind::step},      {Qt::Key_T, ToolKind::text}};
    for (auto [k, tool] : letters) {
        key(canvas, k, {}, QString(QChar(u'a' + (k - Qt::Key_A))));
        EXPECT_EQ(d().tool(), tool);
    }
}

TEST_F(CanvasKeyboard, ArrowKeysNudgeTheSelectionOneUndoStepPerPress)
{
    key(canvas, Qt::Key_Left);  // nothing selected: nothing happens
    EXPECT_TRUE(d().undoStack().isEmpty());

    drawRect(QPointF(100, 100), QPointF(150, 140));
    const auto steps = d().undoStack().size();
    key(canvas, Qt::Key_Right, Qt::ShiftModifier);
    key(canvas, Qt::Key_Down, Qt::ShiftModifier);
    key(canvas, Qt::Key_Up);
    key(canvas, Qt::Key_Left);
    EXPECT_EQ(d().annotations().first().p1, QPointF(109, 109));
    EXPECT_EQ(d().undoStack().size(), steps + 4);
}

TEST_F(CanvasKeyboard, ReturnAppliesACropAndEscapeUnwindsInOrder)
{
    key(canvas, Qt::Key_Return);  // no crop: nothing
    EXPECT_EQ(d().base().size(), QSize(400, 300));

    const QUuid id = drawRect(QPointF(100, 100), QPointF(150, 140));
    use(ToolKind::select);
    d().select(id);
    d().setCropRect(QRectF(10, 10, 50, 50));
    key(canvas, Qt::Key_Escape);
    EXPECT_FALSE(d().cropRect().has_value());
    EXPECT_EQ(d().selectedID(), id);
    key(canvas, Qt::Key_Escape);
    EXPECT_TRUE(d().selectedID().isNull());
    use(ToolKind::arrow);
    key(canvas, Qt::Key_Escape);
    EXPECT_EQ(d().tool(), ToolKind::select);

    use(ToolKind::crop);
    mouse.drag(QPointF(20, 30), QPointF(220, 130));
    key(canvas, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(d().base().size(), QSize(200, 100));
    settle();
    EXPECT_EQ(canvas->canvasBounds(), QRectF(0, 0, 200, 100));
}

TEST_F(CanvasKeyboard, DeleteAndBackspaceRemoveTheSelection)
{
    drawRect(QPointF(10, 10), QPointF(60, 60));
    drawRect(QPointF(100, 10), QPointF(160, 60));
    key(canvas, Qt::Key_Backspace);
    EXPECT_EQ(d().annotations().size(), 1);
    d().select(d().annotations().first().id);
    key(canvas, Qt::Key_Delete);
    EXPECT_TRUE(d().annotations().isEmpty());
}

TEST_F(CanvasKeyboard, TypedTextIsCommittedByEscapeOrCtrlReturnAndReturnBreaksLines)
{
    use(ToolKind::text);
    mouse.click(QPointF(50, 60));
    ASSERT_TRUE(canvas->isTyping());
    type("Hi\nthere");
    EXPECT_EQ(canvas->textField()->text(), "Hi\nthere");
    EXPECT_TRUE(d().annotations().isEmpty());  // nothing stored while typing
    key(canvas->textField(), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_FALSE(canvas->isTyping());
    ASSERT_EQ(d().annotations().size(), 1);
    const Annotation t = d().annotations().first();
    EXPECT_EQ(t.kind, ToolKind::text);
    EXPECT_EQ(t.text, "Hi\nthere");
    EXPECT_EQ(t.p1, QPointF(50, 60));
    EXPECT_EQ(d().selectedID(), t.id);
    EXPECT_EQ(d().undoStack().size(), 1);

    // A click with the text tool on the text edits it; Escape keeps a change in one step.
    mouse.click(QPointF(55, 65));
    ASSERT_TRUE(canvas->isTyping());
    EXPECT_EQ(canvas->editingID(), t.id);
    type("Bye");  // replaces the selected text
    key(canvas->textField(), Qt::Key_Escape);
    EXPECT_EQ(d().annotations().first().text, "Bye");
    EXPECT_EQ(d().annotations().first().id, t.id);
    EXPECT_EQ(d().undoStack().size(), 2);
}

TEST_F(CanvasKeyboard, EmptyAndUnchangedTextsRecordNothingAndClearedTextsAreDeleted)
{
    use(ToolKind::text);
    mouse.click(QPointF(50, 60));
    key(canvas->textField(), Qt::Key_Escape);
    EXPECT_TRUE(d().annotations().isEmpty());
    EXPECT_TRUE(d().undoStack().isEmpty());

    mouse.click(QPointF(50, 60));
    type("  ");  // spaces are kept
    key(canvas->textField(), Qt::Key_Escape);
    ASSERT_EQ(d().annotations().size(), 1);
    const QUuid id = d().annotations().first().id;

    // Opening and closing without a change: no undo step.
    use(ToolKind::select);
    mouse.doubleClick(QPointF(52, 65));
    ASSERT_TRUE(canvas->isTyping());
    EXPECT_EQ(canvas->editingID(), id);
    key(canvas->textField(), Qt::Key_Escape);
    EXPECT_EQ(d().undoStack().size(), 1);

    // Clearing the text removes the object in one step.
    mouse.doubleClick(QPointF(52, 65));
    key(canvas->textField(), Qt::Key_Backspace);  // everything was selected
    key(canvas->textField(), Qt::Key_Escape);
    EXPECT_TRUE(d().annotations().isEmpty());
    EXPECT_EQ(d().undoStack().size(), 2);
    d().undo();
    EXPECT_EQ(d().annotations().size(), 1);
}

// Emoji and flags lie beyond the basic plane; Persian needs the zero-width non-joiner, bidi
// text the direction marks. Only control characters are dropped, whichever way text comes.
TEST_F(CanvasKeyboard, TypedPastedAndComposedTextKeepsEveryCharacterButControls)
{
    const QString whole =
        QString::fromUtf8("Grüße 👋🏽 🇭🇺 می\u200cخواهم \u200e\u200f\u200d");
    const struct {
        const char* how;
        QString in;
        QString kept;
    } cases[] = {
        {"typed", whole, whole},
        {"typed controls",
         QString::fromUtf8("a\a"
                           "b\x1b"),
         "ab"},
        {"pasted", whole + QString::fromUtf8("\r\n\x07\t😀"), whole + QString::fromUtf8("\n\t😀")},
        {"half a pair pasted", QString(QChar(0xd83d)) + "x" + QChar(0xdc4b), "x"},
        {"composed", whole + QChar(0x1b), whole},
    };
    use(ToolKind::text);
    double y = 20;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        mouse.click(QPointF(20, y));
        y += 55;
        ASSERT_TRUE(canvas->isTyping());
        CanvasTextField* field = canvas->textField();
        if (QString(c.how).startsWith("typed")) {
            // One key event a code point, as the keyboard delivers them.
            for (char32_t cp : c.in.toUcs4())
                key(field, 0, {}, QString::fromUcs4(&cp, 1));
        } else if (QString(c.how).contains("pasted")) {
            QApplication::clipboard()->setText(c.in);
            key(field, Qt::Key_V, Qt::ControlModifier);
        } else {
            QInputMethodEvent im;
            im.setCommitString(c.in);
            QApplication::sendEvent(field, &im);
        }
        EXPECT_EQ(field->text(), c.kept);
        key(field, Qt::Key_Escape);
        ASSERT_FALSE(d().annotations().isEmpty());
        EXPECT_EQ(d().annotations().last().text, c.kept);
        d().select(QUuid());
    }
}

TEST_F(CanvasKeyboard, UndoWhileTypingStoresTheTextThenUndoesIt)
{
    drawRect(QPointF(200, 200), QPointF(260, 260));
    use(ToolKind::text);
    mouse.click(QPointF(20, 20));
    type("draft");
    canvas->perform(CanvasView::Action::undo);
    EXPECT_FALSE(canvas->isTyping());
    ASSERT_EQ(d().annotations().size(), 1);
    EXPECT_EQ(d().annotations().first().kind, ToolKind::rect);
    canvas->perform(CanvasView::Action::redo);
    EXPECT_EQ(d().annotations().last().text, "draft");
}

TEST_F(CanvasKeyboard, RedoEndsTypingBeforeItRestoresAndIsOffWhileAChangedTextIsOpen)
{
    use(ToolKind::text);
    mouse.click(QPointF(20, 20));
    type("one");
    key(canvas->textField(), Qt::Key_Escape);
    const QUuid id = d().annotations().first().id;
    use(ToolKind::select);
    mouse.doubleClick(QPointF(25, 25));
    type("two");
    key(canvas->textField(), Qt::Key_Escape);
    d().undo();  // back to "one"
    ASSERT_EQ(d().annotations().first().text, "one");

    mouse.doubleClick(QPointF(25, 25));  // open the field on "one"...
    ASSERT_TRUE(canvas->isTyping());
    EXPECT_TRUE(canvas->isEnabled(CanvasView::Action::redo));  // unchanged: redo still restores
    canvas->perform(CanvasView::Action::redo);                 // ...and redo while it is open
    EXPECT_FALSE(canvas->isTyping());
    settle();
    ASSERT_EQ(d().annotations().size(), 1);
    EXPECT_EQ(d().annotations().first().id, id);
    EXPECT_EQ(d().annotations().first().text, "two");

    d().undo();
    mouse.doubleClick(QPointF(25, 25));
    type("!");
    EXPECT_FALSE(canvas->isEnabled(CanvasView::Action::redo));
}

TEST_F(CanvasKeyboard, TypingEndsWhenTheToolChangesOrTheCanvasIsClicked)
{
    use(ToolKind::text);
    mouse.click(QPointF(20, 20));
    type("a");
    mouse.click(QPointF(200, 200));  // the click only ends the typing
    EXPECT_FALSE(canvas->isTyping());
    EXPECT_EQ(d().annotations().size(), 1);

    mouse.click(QPointF(200, 200));
    type("b");
    d().setTool(ToolKind::arrow);
    settle();
    EXPECT_FALSE(canvas->isTyping());
    EXPECT_EQ(d().annotations().size(), 2);
}

TEST_F(CanvasKeyboard, MenuItemsAreEnabledByStacksAndSelection)
{
    using A = CanvasView::Action;
    EXPECT_FALSE(canvas->isEnabled(A::undo));
    EXPECT_FALSE(canvas->isEnabled(A::redo));
    EXPECT_FALSE(canvas->isEnabled(A::deleteSelection));
    EXPECT_FALSE(canvas->isEnabled(A::bringToFront));
    EXPECT_FALSE(canvas->isEnabled(A::sendToBack));
    for (A a : {A::copy, A::save, A::saveAs, A::pin, A::zoomIn, A::zoomOut, A::zoomFit, A::zoomActual})
        EXPECT_TRUE(canvas->isEnabled(a));

    drawRect(QPointF(10, 10), QPointF(60, 60));
    EXPECT_TRUE(canvas->isEnabled(A::undo));
    EXPECT_TRUE(canvas->isEnabled(A::deleteSelection));
    EXPECT_TRUE(canvas->isEnabled(A::sendToBack));
    canvas->perform(A::undo);
    EXPECT_TRUE(canvas->isEnabled(A::redo));
    EXPECT_FALSE(canvas->isEnabled(A::undo));
    EXPECT_FALSE(canvas->isEnabled(A::deleteSelection));
}

TEST_F(CanvasKeyboard, WindowCommandsGoThroughTheHostAndStopWhenItIsGone)
{
    using A = CanvasView::Action;
    canvas->perform(A::copy);
    canvas->perform(A::save);
    canvas->perform(A::pin);
    EXPECT_EQ(host->copies, 1);
    EXPECT_EQ(host->saves, 1);
    EXPECT_EQ(host->commits, 1);
    EXPECT_EQ(host->pinned.size(), QSize(400, 300));

    host->scroll->setMagnification(1.0);
    canvas->perform(A::zoomIn);
    EXPECT_DOUBLE_EQ(host->scroll->magnification(), 1.25);
    canvas->perform(A::zoomOut);
    EXPECT_DOUBLE_EQ(host->scroll->magnification(), 1.0);
    EXPECT_DOUBLE_EQ(d().zoom(), 1.0);

    // The window closes while the canvas lives on: commands find no receiver.
    host->scroll->takeWidget();
    host.reset();
    EXPECT_EQ(canvas->commands(), nullptr);
    EXPECT_FALSE(canvas->perform(A::copy));
    delete canvas;
}

namespace {
// Answers the next "Save as" dialog with `path` (and its overwrite question, which comes when the
// dialog already lists the name), from inside its own event loop; gives up after a deadline,
// closing whatever is still open, so a stuck dialog fails the test, not CI.
void answerSaveDialogWith(const QString& path)
{
    auto* poll = new QTimer;
    auto* deadline = new QElapsedTimer;
    auto accepted = std::make_shared<bool>(false);
    deadline->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, deadline, path, accepted] {
        QWidget* modal = QApplication::activeModalWidget();
        const bool late = deadline->hasExpired(30'000);
        if (late && modal) {
            modal->close();
            return;
        }
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            box->done(QMessageBox::Yes);
            return;
        }
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog && !*accepted) {
            // selectFile() leaves the name field alone while it has the focus: type it then.
            dialog->selectFile(path);
            if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                name && dialog->selectedFiles() != QStringList{path})
                name->setText(path);
            if (dialog->selectedFiles() != QStringList{path})
                return;
            *accepted = true;
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
            return;
        }
        if (modal || (!*accepted && !late))
            return;
        poll->stop();
        poll->deleteLater();
        delete deadline;
    });
    poll->start(10);
}
}  // namespace

TEST_F(CanvasKeyboard, SaveAsReportsAFailedWriteAndStaysQuietOnSuccess)
{
    using A = CanvasView::Action;
    QTemporaryDir dir;
    answerSaveDialogWith(dir.filePath("shot.png"));
    canvas->perform(A::saveAs);
    EXPECT_TRUE(QFile::exists(dir.filePath("shot.png")));
    EXPECT_TRUE(host->saveFailures.isEmpty());
    EXPECT_EQ(host->commits, 1);

    // A name in a plain folder whose link leads into a missing one: writing fails even as
    // root, and the dialog has nothing but this folder to list.
    ASSERT_TRUE(QFile::link(dir.filePath("missing-folder/shot.png"), dir.filePath("gone.png")));
    answerSaveDialogWith(dir.filePath("gone.png"));
    canvas->perform(A::saveAs);
    ASSERT_EQ(host->saveFailures.size(), 1);
    EXPECT_EQ(host->saveFailures.first(), "Save failed");
    EXPECT_EQ(host->commits, 2);
}
