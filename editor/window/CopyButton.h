#pragma once
// The header's split copy button: the main half copies with the remembered mode
// ("copy.mode"), the chevron opens the choice between copy and copy-and-close. Every
// open copy button follows a change of the setting.

#include "core/Enums.h"
#include "editor/window/EditorActions.h"

#include <QAbstractButton>
#include <QPointer>
#include <QRectF>
#include <QWidget>

namespace kx {

class ChromeButton;
class Popover;

// One row of the choice popover: a check mark that keeps its room when hidden, then the text.
class CopyChoiceRow : public QAbstractButton {
    Q_OBJECT
public:
    CopyChoiceRow(CopyMode mode, bool checked, QWidget* parent = nullptr);
    CopyMode mode() const { return mode_; }
    bool isChosen() const { return chosen_; }
    QSize sizeHint() const override;
    // Where the text is drawn, right of the mark's room.
    QRectF textRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    CopyMode mode_;
    bool chosen_;
    bool hovered_ = false;
};

class CopyButton : public QWidget {
    Q_OBJECT
public:
    explicit CopyButton(const EditorActions& actions, QWidget* parent = nullptr);

    static QString rowText(CopyMode mode);
    // The hover-tip detail of the main half for a mode.
    static QString detailFor(CopyMode mode);

    ChromeButton* mainButton() const { return main_; }
    ChromeButton* chevron() const { return chevron_; }
    bool showChoices() const { return showChoices_; }
    Popover* choices() const { return popover_; }
    void setShowChoices(bool show);
    // Stores the mode, closes the popover and copies with it.
    void choose(CopyMode mode);

private:
    void updateTip();

    EditorActions actions_;
    ChromeButton* main_;
    ChromeButton* chevron_;
    QPointer<Popover> popover_;
    bool showChoices_ = false;
};

}  // namespace kx
