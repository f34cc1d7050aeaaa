#include "settings/SecretField.h"

#include "core/Localisation.h"
#include "platform/Keychain.h"
#include "settings/SettingsForm.h"
#include "ui/Theme.h"

#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kx {

SecretField::SecretField(QWidget* parent) : QWidget(parent)
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    m_edit = new QLineEdit(this);
    m_edit->setEchoMode(QLineEdit::Password);
    m_edit->setFont(Theme::font(13));
    m_edit->setMinimumWidth(180);
    m_edit->setEnabled(false);
    v->addWidget(m_edit);
    m_error =
        captionLabel(kx::tr("The keyring did not take the change; the stored secret is unchanged.",
                            "A kulcstartó nem fogadta el a változást; a tárolt titok változatlan.",
                            "Der Schlüsselbund hat die Änderung nicht übernommen; das gespeicherte Geheimnis "
                            "bleibt unverändert."));
    m_error->setPalette([this] {
        QPalette p = palette();
        p.setColor(QPalette::WindowText, Theme::systemRed());
        return p;
    }());
    m_error->hide();
    v->addWidget(m_error);

    m_delay.setSingleShot(true);
    m_delay.setInterval(writeDelayMs);
    connect(&m_delay, &QTimer::timeout, this, [this] { flush(); });
    connect(m_edit, &QLineEdit::textEdited, this, [this] {
        m_pendingAccount = m_account;
        m_delay.start();
    });
}

SecretField::~SecretField()
{
    // The write goes on in the keyring thread; nothing of it comes back to this field.
    if (!m_pendingAccount.isEmpty())
        Keychain::setAsync(m_pendingAccount, m_edit->text());
}

QFuture<bool> SecretField::flush()
{
    m_delay.stop();
    if (m_pendingAccount.isEmpty())
        return QtFuture::makeReadyFuture(true);
    const QString account = std::exchange(m_pendingAccount, QString());
    return Keychain::setAsync(account, m_edit->text()).then(this, [this](bool ok) {
        m_error->setVisible(!ok);
        Q_EMIT written(ok);
        return ok;
    });
}

void SecretField::setAccount(const QString& account)
{
    flush();
    m_account = account;
    load();
}

void SecretField::load()
{
    m_edit->setEnabled(false);
    const quint64 generation = ++m_loadGeneration;
    // Loading never writes: the text is set without the edit signal.
    Keychain::getAsync(m_account).then(this, [this, generation](const std::optional<QString>& value) {
        if (generation != m_loadGeneration)
            return;  // a newer account was chosen meanwhile
        m_edit->setText(value.value_or(QString()));
        m_edit->setEnabled(true);
        Q_EMIT loaded();
    });
}

}  // namespace kx
