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

private:
    void refresh();

    EditorDocument& doc_;
    QHash<ToolKind, ChromeButton*> buttons_;
    ChromeButton* help_ = nullptr;
    int separators_ = 0;
};

}  // namespace kx
