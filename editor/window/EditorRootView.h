#pragma once
// The content of an editor window: header on top; below it the tool rail, the canvas area
// (scroll view with the inspector, the status pill and the busy badge floating over it)
// and, while the document asks for it, the AI panel at the trailing edge.

#include "editor/window/EditorActions.h"
#include "editor/window/HeaderBar.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QHBoxLayout;
class QVariantAnimation;

namespace kx {

class BusyBadge;
class EditorDocument;
class StatusPill;
class ToolRail;

// The canvas area: the scroll view filling it and the floating bars over it.
class CanvasArea : public QWidget {
public:
    CanvasArea(QWidget* scrollView, QWidget* parent = nullptr);
    void setInspector(QWidget* inspector);
    void setPill(StatusPill* pill);
    void setBadge(BusyBadge* badge);
    void place();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_scroll;
    QPointer<QWidget> m_inspector;
    StatusPill* m_pill = nullptr;
    BusyBadge* m_badge = nullptr;
};

class EditorRootView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kAIPanelWidth = 340;

    struct Parts {
        HeaderBar::Hooks header;
        std::function<void()> help;
        // Made when the AI panel first opens; empty: no panel.
        std::function<QWidget*()> aiPanel;
        // The style inspector floating over the top of the canvas, if any.
        QWidget* inspector = nullptr;
    };

    EditorRootView(EditorDocument& doc, QWidget* scrollView, const EditorActions& actions, Parts parts,
                   QWidget* parent = nullptr);

    HeaderBar* header() const { return m_header; }
    ToolRail* rail() const { return m_rail; }
    StatusPill* pill() const { return m_pill; }
    BusyBadge* badge() const { return m_badge; }
    CanvasArea* canvasArea() const { return m_area; }
    QWidget* aiPanel() const { return m_aiPanel; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateAIPanel();

    EditorDocument& m_doc;
    Parts m_parts;
    HeaderBar* m_header;
    ToolRail* m_rail;
    CanvasArea* m_area;
    StatusPill* m_pill;
    BusyBadge* m_badge;
    QHBoxLayout* m_body;
    QPointer<QWidget> m_aiPanel;
    QVariantAnimation* m_aiSlide = nullptr;
    bool m_aiShown = false;
};

}  // namespace kx
