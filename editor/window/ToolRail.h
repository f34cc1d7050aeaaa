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
    ChromeButton* button(ToolKind tool) const { return m_buttons.value(tool); }
    ChromeButton* helpButton() const { return m_help; }
    int separatorCount() const { return m_separators; }

    void choose(ToolKind tool);

private:
    void refresh();

    EditorDocument& m_doc;
    QHash<ToolKind, ChromeButton*> m_buttons;
    ChromeButton* m_help = nullptr;
    int m_separators = 0;
};

}  // namespace kx
