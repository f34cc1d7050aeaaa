#pragma once
// A masked field for a secret kept in the keyring. The field stays disabled until the keyring
// read returns; edits are written 0.5 s after the last keystroke, and at once when the account
// changes or the field goes away, always to the account that was current at the edit. A write
// the keyring refuses shows one line under the field; the stored secret stays as it was. A
// write the keyring took is announced through PrefsNotifier under the account's name.
// Keyring calls never run on the UI thread.
#include <QFuture>
#include <QString>
#include <QTimer>
#include <QWidget>

class QLabel;
class QLineEdit;

namespace kx {

class SecretField : public QWidget {
    Q_OBJECT
public:
    explicit SecretField(QWidget* parent = nullptr);
    ~SecretField() override;

    // Writes any pending edit to the old account, then reads the new one into the field.
    void setAccount(const QString& account);
    QString account() const { return account_; }
    QLineEdit* edit() const { return edit_; }
    QLabel* errorLabel() const { return error_; }
    // Writes a pending edit now (before a connection test reads the keyring); the future
    // ends when the keyring has taken it (at once when nothing was pending).
    QFuture<bool> flush();
    // Quitting: writes the pending edit of every field and waits until the keyring took them,
    // so the last keystrokes are not lost with the process.
    static void writeAllPending();

    static constexpr int writeDelayMs = 500;

Q_SIGNALS:
    void loaded();
    void written(bool ok);

private:
    void load();

    QLineEdit* edit_;
    QLabel* error_;
    QTimer delay_;
    QString account_;
    QString pendingAccount_;  // account of the unwritten edit; empty when none
    quint64 loadGeneration_ = 0;
};

}  // namespace kx
