#include "library/history/HistoryWindowController.h"

#include "core/Localisation.h"
#include "core/ScreenGeometry.h"
#include "library/history/HistoryView.h"
#include "ui/WheelGuard.h"
#include "ui/WindowPolicy.h"

#include <QCursor>
#include <QScreen>
#include <QVBoxLayout>

namespace kx {

HistoryWindowController& HistoryWindowController::shared()
{
    static HistoryWindowController controller;
    return controller;
}

void HistoryWindowController::show()
{
    if (!window_) {
        auto* w = new QWidget(nullptr, Qt::Window);
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        w->setWindowTitle(kx::tr("Kaptorix History", "Kaptorix előzmények", "Kaptorix Verlauf"));
        w->setMinimumSize(560, 400);
        auto* layout = new QVBoxLayout(w);
        layout->setContentsMargins(0, 0, 0, 0);
        view_ = new HistoryView(HistoryServices::live(), {}, w);
        layout->addWidget(view_);
        WheelGuard::install(w);
        w->resize(980, 680);
        WindowPolicy::centre(w, screenContaining(QCursor::pos()));
        window_ = w;
    }
    WindowPolicy::bringToFront(window_);
}

}  // namespace kx
