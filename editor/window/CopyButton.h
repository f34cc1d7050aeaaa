#pragma once
// The header's split copy button: the main half copies with the remembered mode
// ("copy.mode"), the chevron opens the choice between copy and copy-and-close. Every
// open copy button follows a change of the setting.

#include "core/Enums.h"
#include "editor/window/EditorActions.h"

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

namespace kx {

class ChromeButton;
class Popover;

// One row of the choice popover: a check mark that keeps its room when hidden, then the text.
class CopyChoiceRow : public QAbstractButton {
    Q_OBJECT
public:
    CopyChoiceRow(CopyMode mode, bool checked, QWidget* parent = nullptr);
    CopyMode mode() const { return m_mode; }
    bool isChosen() const { return m_chosen; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    CopyMode m_mode;
    bool m_chosen;
    bool m_hovered = false;
};

class CopyButton : public QWidget {
    Q_OBJECT
public:
    explicit CopyButton(const EditorActions& actions, QWidget* parent = nullptr);

    static QString rowText(CopyMode mode);
    // The hover-tip detail of the main half for a mode.
    static QString detailFor(CopyMode mode);

    ChromeButton* mainButton() const { return m_main; }
    ChromeButton* chevron() const { return m_chevron; }
    bool showChoices() const { return m_showChoices; }
    Popover* choices() const { return m_popover; }
    void setShowChoices(bool show);
    // Stores the mode, closes the popover and copies with it.
    void choose(CopyMode mode);

private:
    void updateTip();

    EditorActions m_actions;
    ChromeButton* m_main;
    ChromeButton* m_chevron;
    QPointer<Popover> m_popover;
    bool m_showChoices = false;
};

}  // namespace kx
