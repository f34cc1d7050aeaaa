#pragma once
// The About window: icon, name, version and the maker's credits.
#include <QDialog>

namespace kx {

class AboutDialog : public QDialog {
public:
    explicit AboutDialog(QWidget* parent = nullptr);
    static QString credits();
};

}  // namespace kx
