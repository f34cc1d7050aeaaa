#pragma once
// One of the history header's filter chips: a capsule that fills with the accent colour while
// on, its text and symbol turning white; the change springs rather than jumps.
#include <QPushButton>

class QVariantAnimation;

namespace kx {

class FilterChip : public QPushButton {
public:
    FilterChip(const QString& title, const QString& symbol, QWidget* parent);

    // How far the chip is on: 0 off, 1 on, a little past 1 at the spring's overshoot.
    double level() const { return level_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void springTo(bool on);

    double level_ = 0;
    QVariantAnimation* spring_ = nullptr;
};

}  // namespace kx
