#include "settings/SecretField.h"

#include "core/Futures.h"
#include "core/Localisation.h"
#include "core/PrefsNotifier.h"
#include "platform/Keychain.h"
#include "settings/SettingsForm.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QLineEdit>
#include <QSet>
#include <QVBoxLayout>

namespace kx {

namespace {

QSet<SecretField*>& fields()
{
    static QSet<SecretField*> all;
    return all;
}

}  // namespace

SecretField::SecretField(QWidget* parent) : QWidget(parent)
{
    fields().insert(this);
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    edit_ = new QLineEdit(this);
    edit_->setEchoMode(QLineEdit::Password);
    edit_->setFont(Theme::font(13));
    edit_->setMinimumWidth(180);
    edit_->setEnabled(false);
    v->addWidget(edit_);
    error_ =
        captionLabel(kx::tr("The keyring did not take the change; the stored secret is unchanged.",
                            "A kulcstartó nem fogadta el a változást; a tárolt titok változatlan.",
                            "Der Schlüsselbund hat die Änderung nicht übernommen; das gespeicherte Geheimnis "
                            "bleibt unverändert."));
    error_->setPalette([this] {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Theme::systemRed());
        return p;
    }());
    error_->hide();
    v->addWidget(error_);

    delay_.setSingleShot(true);
    delay_.setInterval(writeDelayMs);
    connect(&delay_, &QTimer::timeout, this, [this] { flush(); });
    connect(edit_, &QLineEdit::textEdited, this, [this] {
        pendingAccount_ = account_;
        delay_.start();
    });
}

SecretField::~SecretField()
{
    fields().remove(this);
    // The write goes on in the keyring thread; nothing of it comes back to this field.
    if (!pendingAccount_.isEmpty())
        Keychain::setAsync(pendingAccount_, edit_->text()).then([account = pendingAccount_](bool ok) {
            if (ok)
                PrefsNotifier::shared().announce(account);
        });
}

QFuture<bool> SecretField::flush()
{
    delay_.stop();
    if (pendingAccount_.isEmpty())
        return QtFuture::makeReadyFuture(true);
    const QString account = std::exchange(pendingAccount_, QString());
    return continueIn(this, Keychain::setAsync(account, edit_->text()), [this, account](bool ok) {
        error_->setVisible(!ok);
        // Whoever shows whether a secret is there (the AI panel's key notice) looks again.
        if (ok)
            PrefsNotifier::shared().announce(account);
        Q_EMIT written(ok);
        return ok;
    });
}

void SecretField::writeAllPending()
{
    QList<QFuture<bool>> writes;
    for (SecretField* field : std::as_const(fields())) {
        if (field->pendingAccount_.isEmpty())
            continue;
        field->delay_.stop();
        writes << Keychain::setAsync(std::exchange(field->pendingAccount_, QString()), field->edit_->text());
    }
    // The keyring thread takes them in order; the last one done means all are.
    for (QFuture<bool>& write : writes)
        write.waitForFinished();
}

void SecretField::setAccount(const QString& account)
{
    flush();
    account_ = account;
    load();
}

void SecretField::load()
{
    edit_->setEnabled(false);
    const quint64 generation = ++loadGeneration_;
    // Loading never writes: the text is set without the edit signal.
    continueIn(this, Keychain::getAsync(account_), [this, generation](const std::optional<QString>& value) {
        if (generation != loadGeneration_)
            return;  // a newer account was chosen meanwhile
        edit_->setText(value.value_or(QString()));
        edit_->setEnabled(true);
        Q_EMIT loaded();
    });
}

}  // namespace kx
