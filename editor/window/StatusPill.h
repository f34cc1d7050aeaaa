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

    QString sizeText() const { return m_size->text(); }
    // Empty while no badge shows.
    QString badgeText() const { return m_badge->isHidden() ? QString() : m_badge->text(); }
    QString zoomText() const { return m_zoom->text(); }
    ChromeButton* zoomOutButton() const { return m_zoomOut; }
    ChromeButton* zoomInButton() const { return m_zoomIn; }
    ChromeButton* fitButton() const { return m_fit; }
    ChromeButton* actualButton() const { return m_actual; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    EditorDocument& m_doc;
    EditorActions m_actions;
    QLabel* m_size;
    QLabel* m_badge;
    QLabel* m_zoom;
    ChromeButton* m_zoomOut;
    ChromeButton* m_zoomIn;
    ChromeButton* m_fit;
    ChromeButton* m_actual;
};

// A spinner and the busy message on a floating capsule; hidden while there is none.
class BusyBadge : public QWidget {
    Q_OBJECT
public:
    explicit BusyBadge(EditorDocument& doc, QWidget* parent = nullptr);
    QString text() const { return m_text; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();

    EditorDocument& m_doc;
    QString m_text;
    QVariantAnimation* m_spin;
    QVariantAnimation* m_reveal;  // 0 hidden … 1 shown: opacity and drop from the top
    bool m_shown = false;
};

}  // namespace kx
