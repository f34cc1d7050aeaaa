#pragma once
// The column of tools at the editor's left edge: fifteen tools in six groups and the help
// button. Choosing a tool other than Select clears the selection; the canvas keeps focus.

#include "editor/ToolKind.h"

#include <QHash>
#include <QList>
#include <QScrollArea>
#include <functional>

namespace kx {

class ChromeButton;
class EditorDocument;

class ToolRail : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int kWidth = 60;

    // `help` opens the editor's help topic; empty: the help button is disabled.
    ToolRail(EditorDocument& doc, std::function<void()> help, QWidget* parent = nullptr);

    static const QList<QList<ToolKind>>& groups();
    ChromeButton* button(ToolKind tool) const { return buttons_.value(tool); }
    ChromeButton* helpButton() const { return help_; }
    int separatorCount() const { return separators_; }

    void choose(ToolKind tool);

    // The marks at the top and bottom edge that show (and, clicked, scroll to) tools the
    // window is too short for; hidden while nothing lies beyond that edge.
    QWidget* moreAbove() const { return above_; }
    QWidget* moreBelow() const { return below_; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    void placeHints();

    EditorDocument& doc_;
    QHash<ToolKind, ChromeButton*> buttons_;
    ChromeButton* help_ = nullptr;
    QWidget* above_ = nullptr;
    QWidget* below_ = nullptr;
    int separators_ = 0;
    ToolKind shownTool_;
};

}  // namespace kx
