#pragma once
// The "Backdrop & frame" popover: switch, live preview, frame-edge tiles, background swatches,
// padding / corners / edge size sliders, shadow and a new random pattern. Every control writes
// the document's backdrop settings directly; they are no undo steps and leave the document clean.
// Every control but the switch also turns the backdrop on. A plain widget, so it can be hosted
// in a popup or in a window of its own.
#include "editor/BeautifySettings.h"

#include <QImage>
#include <QPointer>
#include <QWidget>
#include <functional>

class QLabel;
class QSlider;

namespace kx {

class EditorDocument;
class SwitchToggle;

class BeautifyPopover : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 372;
    static constexpr int kPadding = 16;
    static constexpr int kSpacing = 14;      // between the rows
    static constexpr int kLabelColumn = 74;  // the sliders' labels, unless one is wider

    explicit BeautifyPopover(EditorDocument* doc, QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // The annotated image reduced to at most 560 pixels on its longer side, its width against
    // the full image's, and the framed preview shown (backdrop always on in the preview).
    const QImage& flat() const { return flat_; }
    double factor() const { return factor_; }
    const QImage& preview() const { return preview_; }

    // A random seed for "New pattern": 1 … 9999999, never 0.
    static quint64 newSeed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct SliderRow {
        QWidget* row = nullptr;
        QLabel* label = nullptr;
        QSlider* slider = nullptr;
        QLabel* readout = nullptr;
        double lo = 0, hi = 1;
        int decimals = 0;
        double BeautifySettings::*field = nullptr;
    };

    void prepare();
    void refresh();
    void documentChanged();
    void sync();
    // Writes one change and turns the backdrop on.
    void edit(const std::function<void(BeautifySettings&)>& change);
    QWidget* buildHeader();
    QWidget* buildSection(const QString& title, QWidget* content);
    QWidget* buildEdgeGrid();
    QWidget* buildBackgrounds();
    SliderRow buildSlider(const QString& label, const char* name, double lo, double hi, int decimals,
                          double BeautifySettings::*field);

    QPointer<EditorDocument> doc_;
    QImage flat_;
    double factor_ = 1.0;
    QImage preview_;
    std::optional<BeautifySettings> shown_;

    SwitchToggle* enabled_ = nullptr;
    QWidget* previewBox_ = nullptr;
    QList<SliderRow> sliders_;
    SwitchToggle* shadow_ = nullptr;
    QWidget* newPattern_ = nullptr;
    QWidget* transparencyNote_ = nullptr;
};

}  // namespace kx
