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
    // Room kept free at either side of a bar whose content is wider than the canvas.
    static constexpr int kSideRoom = 4;

    CanvasArea(QWidget* scrollView, QWidget* parent = nullptr);
    void setInspector(QWidget* inspector);
    void setPill(StatusPill* pill);
    void setBadge(BusyBadge* badge);
    void place();

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // A wheel over a floating bar that no control of it took scrolls (or zooms) the canvas.
    void wheelEvent(QWheelEvent* event) override;

private:
    QWidget* scroll_;
    QPointer<QWidget> inspector_;
    StatusPill* pill_ = nullptr;
    BusyBadge* badge_ = nullptr;
};

class EditorRootView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kAIPanelWidth = 340;
    struct PanelNeeds {
        int least = 0;  // the panel's content whole, text wrapped where it can
        int wants = 0;  // the same without needless wrapping (at least `least`)
        int keep = 0;   // what the canvas needs for its floating bars
    };
    // The AI panel's width in a root view `width` wide beside a rail `railWidth` wide: its full
    // width where there is room, else half of what the rail leaves, or what it wants where that
    // is more, as far as the canvas keeps what it needs; never less than its least (as far as
    // the rail leaves it): a cut panel helps no one.
    static int aiPanelWidth(int width, int railWidth, const PanelNeeds& needs);

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

    HeaderBar* header() const { return header_; }
    ToolRail* rail() const { return rail_; }
    StatusPill* pill() const { return pill_; }
    BusyBadge* badge() const { return badge_; }
    CanvasArea* canvasArea() const { return area_; }
    QWidget* aiPanel() const { return aiPanel_; }
    // The panel's opacity now: it fades in and out as it slides.
    double aiPanelOpacity() const;
    // The panel's slide, a spring of 0.25 s response and 0.85 damping.
    QVariantAnimation* aiSlide() const { return aiSlide_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void updateAIPanel();
    // Gives an open panel its width for the window's width and its content now.
    void refitAIPanel();
    int aiTarget() const;

    EditorDocument& doc_;
    Parts parts_;
    HeaderBar* header_;
    ToolRail* rail_;
    CanvasArea* area_;
    StatusPill* pill_;
    BusyBadge* badge_;
    QHBoxLayout* body_;
    QPointer<QWidget> aiPanel_;
    QVariantAnimation* aiSlide_ = nullptr;
    bool aiShown_ = false;
};

}  // namespace kx
