#include "editor/window/controls/ColorWindow.h"

#include "core/Localisation.h"
#include "ui/WindowPolicy.h"

#include <QColorDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>

namespace kx {

ColorWindow::ColorWindow(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
    setWindowTitle(kx::tr("Custom color", "Egyedi szín"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll_ = new QScrollArea(this);
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    // Qt's own dialog: the desktop's native one reports no live changes.
    dialog_ = new QColorDialog;
    dialog_->setWindowFlags(Qt::Widget);
    dialog_->setOptions(QColorDialog::ShowAlphaChannel | QColorDialog::DontUseNativeDialog |
                        QColorDialog::NoButtons);
    scroll_->setWidget(dialog_);
    layout->addWidget(scroll_);
    // Esc in the dialog closes the window, not just the dialog inside it.
    connect(dialog_, &QDialog::finished, this, [this] {
        dialog_->show();
        close();
    });
}

void ColorWindow::present()
{
    if (!placed_) {
        placed_ = true;
        // The dialog's whole size; the scroll bars come only where the screen cuts it, and
        // one that comes takes no room from the dialog where the other side has room for it.
        const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
        const QSize whole = dialog_->sizeHint().expandedTo(dialog_->minimumSize());
        const QSize room =
            screen ? screen->availableGeometry().size().shrunkBy(WindowPolicy::assumedFrame()) : whole;
        const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scroll_);
        resize(whole +
               QSize(whole.height() > room.height() ? bar : 0, whole.width() > room.width() ? bar : 0));
        WindowPolicy::centre(this, screen);
    }
    WindowPolicy::bringToFront(this);
}

}  // namespace kx
