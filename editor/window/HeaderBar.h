#pragma once
// The 52 pt strip across the top of the editor: undo and redo, add capture, backdrop,
// redact, OCR, palette, AI, upload, pin, share, more export options, save and the copy
// button. When the full row does not fit, the compact row drops most titles (Save keeps
// its). Buttons of features that are not available are disabled.

#include "editor/window/EditorActions.h"

#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>

class QHBoxLayout;
class QMenu;

namespace kx {

class ChromeButton;
class CopyButton;
class EditorDocument;
class Popover;

class HeaderBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 52;
    // Native decorations: no room for window buttons is needed at the leading edge.
    static constexpr int kLeadingPadding = 12;
    static constexpr int kTrailingPadding = 12;

    struct Hooks {
        std::function<void()> undo;
        std::function<void()> redo;
        // Makes the backdrop popover's content; empty: the Backdrop button is disabled.
        std::function<QWidget*()> beautifyContent;
        // Which actions have a service behind them.
        bool addCapture = false, redact = false, ocr = false, palette = false, ai = false, upload = false,
             pin = false;
    };

    HeaderBar(EditorDocument& doc, const EditorActions& actions, Hooks hooks, QWidget* parent = nullptr);

    bool isCompact() const { return m_compact; }
    // The width the full row needs.
    int fullWidth() const { return m_fullWidth; }
    bool showBeautify() const { return m_showBeautify; }
    void setShowBeautify(bool show);

    ChromeButton* undoButton() const { return m_undo; }
    ChromeButton* redoButton() const { return m_redo; }
    ChromeButton* addCaptureButton() const { return m_addCapture; }
    ChromeButton* backdropButton() const { return m_backdrop; }
    ChromeButton* redactButton() const { return m_redact; }
    ChromeButton* ocrButton() const { return m_ocr; }
    ChromeButton* paletteButton() const { return m_palette; }
    ChromeButton* aiButton() const { return m_ai; }
    ChromeButton* uploadButton() const { return m_upload; }
    ChromeButton* pinButton() const { return m_pin; }
    ChromeButton* shareButton() const { return m_share; }
    ChromeButton* moreButton() const { return m_more; }
    ChromeButton* saveButton() const { return m_save; }
    CopyButton* copyButton() const { return m_copy; }
    QMenu* addCaptureMenu() const { return m_addMenu; }
    QMenu* moreMenu() const { return m_moreMenu; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setCompact(bool compact);
    void refresh();

    EditorDocument& m_doc;
    EditorActions m_actions;
    Hooks m_hooks;
    QHBoxLayout* m_row = nullptr;
    bool m_compact = false;
    int m_fullWidth = 0;
    bool m_showBeautify = false;
    QPointer<Popover> m_beautifyPopover;
    // Buttons that lose their title in the compact row, with their full title.
    QList<QPair<ChromeButton*, QString>> m_titled;

    ChromeButton* m_undo = nullptr;
    ChromeButton* m_redo = nullptr;
    ChromeButton* m_addCapture = nullptr;
    ChromeButton* m_backdrop = nullptr;
    ChromeButton* m_redact = nullptr;
    ChromeButton* m_ocr = nullptr;
    ChromeButton* m_palette = nullptr;
    ChromeButton* m_ai = nullptr;
    ChromeButton* m_upload = nullptr;
    ChromeButton* m_pin = nullptr;
    ChromeButton* m_share = nullptr;
    ChromeButton* m_more = nullptr;
    ChromeButton* m_save = nullptr;
    CopyButton* m_copy = nullptr;
    QMenu* m_addMenu = nullptr;
    QMenu* m_moreMenu = nullptr;
    QAction* m_copy1x = nullptr;
};

}  // namespace kx
