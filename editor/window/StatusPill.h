#pragma once
// The floating bar at the bottom of the canvas (image size, scale badge, zoom controls)
// and the busy badge that hangs below the inspector while recognition or redaction runs.

#include "editor/window/EditorActions.h"

#include <QLabel>
#include <QWidget>

class QVariantAnimation;

namespace kx {

class ChromeButton;
class EditorDocument;

class StatusPill : public QWidget {
    Q_OBJECT
public:
    StatusPill(EditorDocument& doc, const EditorActions& actions, QWidget* parent = nullptr);

    QString sizeText() const { return size_->text(); }
    // Empty while no badge shows.
    QString badgeText() const { return badge_->isHidden() ? QString() : badge_->text(); }
    QString zoomText() const { return zoom_->text(); }
    ChromeButton* zoomOutButton() const { return zoomOut_; }
    ChromeButton* zoomInButton() const { return zoomIn_; }
    ChromeButton* fitButton() const { return fit_; }
    ChromeButton* actualButton() const { return actual_; }
    // The width the canvas leaves for the pill: items it cannot hold are left out, zoom out
    // and in last (the canvas area then hides the pill).
    void fitWidth(int room);
    bool showsSize() const { return !size_->isHidden(); }
    bool showsLogo() const { return !logo_->isHidden(); }
    bool showsFit() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void applyRoom();

    EditorDocument& doc_;
    EditorActions actions_;
    int room_ = QWIDGETSIZE_MAX;
    QWidget* logo_ = nullptr;
    QWidget* sizeDivider_ = nullptr;
    QWidget* zoomDivider_ = nullptr;
    QWidget* logoDivider_ = nullptr;
    QLabel* size_;
    QLabel* badge_;
    QLabel* zoom_;
    ChromeButton* zoomOut_;
    ChromeButton* zoomIn_;
    ChromeButton* fit_;
    ChromeButton* actual_;
};

// A spinner and the busy message on a floating capsule; hidden while there is none.
class BusyBadge : public QWidget {
    Q_OBJECT
public:
    explicit BusyBadge(EditorDocument& doc, QWidget* parent = nullptr);
    QString text() const { return text_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    EditorDocument& doc_;
    QString text_;
    QVariantAnimation* spin_;
    QVariantAnimation* reveal_;  // 0 hidden … 1 shown: opacity and drop from the top
    bool shown_ = false;
};

}  // namespace kx
