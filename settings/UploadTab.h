#pragma once
// The Upload page: server and where the files go, the password in the keyring, a connection
// test and the retry queue.
#include <QWidget>
#include <functional>

class QComboBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QVBoxLayout;

namespace kx {

class FormSection;
class SecretField;
class UploadService;

class UploadTab : public QWidget {
    Q_OBJECT
public:
    explicit UploadTab(QWidget* parent = nullptr);

    QLabel* hostLabel() const { return hostLabel_; }
    QLineEdit* hostField() const { return host_; }
    QWidget* portRow() const { return portRow_; }
    QLineEdit* portField() const { return port_; }
    QLabel* passwordLabel() const { return passwordLabel_; }
    SecretField* passwordField() const { return password_; }
    QWidget* keyRow() const { return keyRow_; }
    QLineEdit* keyField() const { return key_; }
    QPushButton* testButton() const { return test_; }
    QLabel* testResult() const { return testResult_; }
    QPushButton* retryButton() const { return retry_; }
    QLabel* retryResult() const { return retryResult_; }
    QWidget* queueBox() const { return queueBox_; }

    // Tests: runs in place of the key-file dialog, which it gets as it was set up; returns the
    // chosen file, empty when cancelled.
    static void setFileChooser(std::function<QString(QFileDialog& dialog)> chooser);

private:
    void layoutForProtocol();
    void chooseKey();
    void testConnection();
    void retryAll();
    void rebuildQueue();

    UploadService* service_;
    QLabel* hostLabel_;
    QLineEdit* host_;
    QWidget* portRow_;
    QLineEdit* port_;
    QLabel* passwordLabel_;
    SecretField* password_;
    QWidget* keyRow_;
    QLineEdit* key_;
    QPushButton* test_;
    QLabel* testResult_;
    quint64 testGeneration_ = 0;
    QWidget* queueBox_;
    QVBoxLayout* queueLayout_;
    QPushButton* retry_ = nullptr;
    QLabel* retryResult_ = nullptr;
    QString retryText_;
    bool retryEmptiedQueue_ = false;  // the last "Retry all" sent everything
};

}  // namespace kx
