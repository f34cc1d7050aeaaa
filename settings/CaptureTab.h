#pragma once
// The "Capture & save" page: after-capture actions, saving, format and quality, the scrolling
// capture's height limit and whether automatic scrolling is possible (XTEST).
#include <QWidget>
#include <functional>

class QLineEdit;
class QSlider;

namespace kx {

class CaptureTab : public QWidget {
    Q_OBJECT
public:
    explicit CaptureTab(QWidget* parent = nullptr);

    QSlider* qualitySlider() const { return quality_; }
    QWidget* qualityRow() const { return qualityRow_; }
    QLineEdit* folderField() const { return folder_; }

    // Replaces the folder dialog (tests): returns the chosen folder, empty when cancelled.
    static void setFolderChooser(std::function<QString(QWidget* parent)> chooser);

private:
    void chooseFolder();
    void formatChanged();

    QLineEdit* folder_;
    QSlider* quality_;
    QWidget* qualityRow_;
};

}  // namespace kx
