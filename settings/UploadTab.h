#pragma once
// The Upload page: server and where the files go, the password in the keyring, a connection
// test and the retry queue.
#include <QWidget>
#include <functional>

class QComboBox;
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

    QLabel* hostLabel() const { return m_hostLabel; }
    QLineEdit* hostField() const { return m_host; }
    QWidget* portRow() const { return m_portRow; }
    QLineEdit* portField() const { return m_port; }
    QLabel* passwordLabel() const { return m_passwordLabel; }
    SecretField* passwordField() const { return m_password; }
    QWidget* keyRow() const { return m_keyRow; }
    QLineEdit* keyField() const { return m_key; }
    QPushButton* testButton() const { return m_test; }
    QLabel* testResult() const { return m_testResult; }
    QPushButton* retryButton() const { return m_retry; }
    QLabel* retryResult() const { return m_retryResult; }
    QWidget* queueBox() const { return m_queueBox; }

    // Replaces the key-file dialog (tests): the chosen file, empty when cancelled.
    static void setFileChooser(std::function<QString(QWidget* parent)> chooser);

private:
    void layoutForProtocol();
    void chooseKey();
    void testConnection();
    void retryAll();
    void rebuildQueue();

    UploadService* m_service;
    QLabel* m_hostLabel;
    QLineEdit* m_host;
    QWidget* m_portRow;
    QLineEdit* m_port;
    QLabel* m_passwordLabel;
    SecretField* m_password;
    QWidget* m_keyRow;
    QLineEdit* m_key;
    QPushButton* m_test;
    QLabel* m_testResult;
    quint64 m_testGeneration = 0;
    QWidget* m_queueBox;
    QVBoxLayout* m_queueLayout;
    QPushButton* m_retry = nullptr;
    QLabel* m_retryResult = nullptr;
    QString m_retryText;
};

}  // namespace kx
