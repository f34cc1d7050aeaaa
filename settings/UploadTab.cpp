#include "settings/UploadTab.h"

#include "core/Futures.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "settings/SecretField.h"
#include "settings/SettingsForm.h"
#include "settings/UploadService.h"
#include "ui/Theme.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextLayout>
#include <QVBoxLayout>

namespace kx {

namespace {

const QString kPasswordAccount = QStringLiteral("remote.password");
// Lines of a connection test's answer shown on the page.
constexpr int kTestAnswerLines = 2;

std::function<QString(QFileDialog&)>& fileChooser()
{
    static std::function<QString(QFileDialog&)> chooser;
    return chooser;
}

QString protocolNow()
{
    const QString p = settingValue(QStringLiteral("remote.protocol"), QStringLiteral("webdav")).toString();
    return p == QLatin1String("ftp") || p == QLatin1String("sftp") ? p : QStringLiteral("webdav");
}

// Plain text cut to a few lines at the width it gets, the last one ending in "…", the whole
// text in the tool tip: a server's banner can run to thousands of characters.
class ClampedLabel : public QLabel {
public:
    explicit ClampedLabel(int lines) : lines_(lines)
    {
        setTextFormat(Qt::PlainText);
        setWordWrap(true);
        setFont(Theme::font(11));
        setPalette(captionPalette(palette()));
        // Never widens the page; as tall as the lines it shows.
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    }
    void setFullText(const QString& text)
    {
        full_ = text;
        setToolTip(text.isEmpty() ? QString() : plainToolTip(text));
        clamp();
    }

protected:
    void resizeEvent(QResizeEvent* e) override
    {
        QLabel::resizeEvent(e);
        clamp();
    }

private:
    void clamp()
    {
        const QString flat = full_.simplified();
        const int width = contentsRect().width();
        QString shown = flat;
        if (width > 0) {
            QTextLayout layout(flat, font());
            QTextOption option;
            option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
            layout.setTextOption(option);
            layout.beginLayout();
            int count = 0;
            int lastStart = 0;
            bool more = false;
            for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
                line.setLineWidth(width);
                if (count == lines_) {
                    more = true;
                    break;
                }
                lastStart = line.textStart();
                ++count;
            }
            layout.endLayout();
            // The kept lines as they wrap, the last one cut to the width with its rest.
            if (more)
                shown = flat.left(lastStart) +
                        fontMetrics().elidedText(flat.mid(lastStart), Qt::ElideRight, width);
        }
        if (shown != text())
            setText(shown);
    }

    int lines_;
    QString full_;
};

// The test's answer label is always a ClampedLabel.
void showAnswer(QLabel* label, const QString& text)
{
    static_cast<ClampedLabel*>(label)->setFullText(text);
}

// A label + control row whose label text can change later.
QWidget* labelledRow(FormSection* section, QLabel** label, const QString& text, QWidget* control)
{
    QWidget* row = section->addRow(text, control);
    *label = row->findChild<QLabel*>(QString(), Qt::FindDirectChildrenOnly);
    return row;
}

}  // namespace

void UploadTab::setFileChooser(std::function<QString(QFileDialog&)> chooser)
{
    fileChooser() = std::move(chooser);
}

UploadTab::UploadTab(QWidget* parent) : QWidget(parent), service_(UploadService::shared())
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    auto* form = new SettingsForm(this);
    v->addWidget(form);

    FormSection* server = form->addSection(kx::tr("Server", "Szerver", "Server"));
    server->addRow(kx::tr("Protocol", "Protokoll", "Protokoll"),
                   boundPicker(QStringLiteral("remote.protocol"), QStringLiteral("webdav"),
                               {{QStringLiteral("WebDAV"), QStringLiteral("webdav")},
                                {QStringLiteral("FTP"), QStringLiteral("ftp")},
                                {QStringLiteral("SFTP"), QStringLiteral("sftp")}},
                               [this] {
                                   // An answer about the old protocol would mislead.
                                   ++testGeneration_;
                                   showAnswer(testResult_, QString());
                                   layoutForProtocol();
                               }));
    host_ = boundTextField(QStringLiteral("remote.host"), QString());
    host_->setMinimumWidth(320);  // the WebDAV sample address is long
    labelledRow(server, &hostLabel_, QString(), host_);
    port_ = boundTextField(QStringLiteral("remote.port"), QString());
    port_->setMinimumWidth(120);
    portRow_ = server->addRow(
        kx::tr("Port (empty = default)", "Port (üres = alapértelmezett)", "Port (leer = Standard)"), port_);
    server->addRow(kx::tr("User", "Felhasználó", "Benutzer"),
                   boundTextField(QStringLiteral("remote.user"), QString()));
    password_ = new SecretField;
    labelledRow(server, &passwordLabel_, QString(), password_);
    password_->setAccount(kPasswordAccount);

    auto* keyBox = new QWidget;
    auto* kh = new QHBoxLayout(keyBox);
    kh->setContentsMargins(0, 0, 0, 0);
    key_ = boundTextField(QStringLiteral("remote.keyPath"), QString(), QStringLiteral("~/.ssh/id_ed25519"));
    key_->setMinimumWidth(160);
    connect(key_, &QLineEdit::textEdited, this, &UploadTab::layoutForProtocol);
    kh->addWidget(key_);
    auto* choose = new QPushButton(kx::tr("Choose…", "Választ…", "Auswählen…"));
    choose->setFont(Theme::font(13));
    connect(choose, &QPushButton::clicked, this, &UploadTab::chooseKey);
    kh->addWidget(choose);
    keyRow_ = server->addRow(
        kx::tr("SSH key file (optional)", "SSH kulcsfájl (opcionális)", "SSH-Schlüsseldatei (optional)"),
        keyBox);

    FormSection* where =
        form->addSection(kx::tr("Where the files go", "Hova kerüljenek a fájlok", "Wohin die Dateien gehen"));
    where->addRow(kx::tr("Folder on the server", "Mappa a szerveren", "Ordner auf dem Server"),
                  boundTextField(QStringLiteral("remote.folder"), QString(), QStringLiteral("shots")));
    where->addRow(kx::tr("Public URL of that folder (for the link)", "A mappa nyilvános URL-je (a linkhez)",
                         "Öffentliche URL des Ordners (für den Link)"),
                  boundTextField(QStringLiteral("remote.publicURL"), QString(),
                                 QStringLiteral("https://img.example.net/shots")));
    where->addRow(kx::tr("After upload, copy", "Feltöltés után a vágólapra", "Nach dem Hochladen kopieren"),
                  boundPicker(QStringLiteral("upload.copyFormat"), QStringLiteral("link"),
                              {{kx::tr("Link", "Link", "Link"), QStringLiteral("link")},
                               {QStringLiteral("Markdown"), QStringLiteral("markdown")},
                               {QStringLiteral("HTML <img>"), QStringLiteral("html")}}));
    auto* testBox = new QWidget;
    auto* th = new QHBoxLayout(testBox);
    th->setContentsMargins(0, 0, 0, 0);
    test_ = new QPushButton(kx::tr("Test connection", "Kapcsolat tesztelése", "Verbindung testen"));
    test_->setFont(Theme::font(13));
    test_->setEnabled(service_ != nullptr);
    connect(test_, &QPushButton::clicked, this, &UploadTab::testConnection);
    th->addWidget(test_);
    testResult_ = new ClampedLabel(kTestAnswerLines);
    testResult_->setObjectName(QStringLiteral("testResult"));
    th->addWidget(testResult_, 1);
    where->addWidget(testBox);

    FormSection* queue = form->addSection(kx::tr("Upload queue", "Feltöltési sor", "Upload-Warteschlange"));
    queueBox_ = new QWidget;
    queueLayout_ = new QVBoxLayout(queueBox_);
    queueLayout_->setContentsMargins(0, 0, 0, 0);
    queueLayout_->setSpacing(8);
    queue->addWidget(queueBox_);
    if (service_) {
        connect(service_, &UploadService::queueChanged, this, &UploadTab::rebuildQueue);
        connect(service_, &UploadService::retryingChanged, this, [this](bool running) {
            if (retry_)
                retry_->setEnabled(!running);
        });
    }
    rebuildQueue();

    FormSection* notes = form->addSection(kx::tr("Notes", "Megjegyzések", "Hinweise"));
    notes->addNote(
        kx::tr("WebDAV over https and SFTP are encrypted. Plain http and FTP send the password unencrypted – "
               "avoid them on untrusted networks.",
               "A https-es WebDAV és az SFTP titkosított. A sima http és az FTP a jelszót titkosítatlanul "
               "küldi – nem megbízhatatlan hálózaton használd.",
               "WebDAV über https und SFTP sind verschlüsselt. Einfaches http und FTP senden das Passwort "
               "unverschlüsselt – meide sie in nicht vertrauenswürdigen Netzen."));
    notes->addNote(kx::tr(
        "SFTP accepts a new server the first time (it is added to ~/.ssh/known_hosts) and refuses it if "
        "the key later changes.",
        "Az SFTP az első kapcsolódáskor elfogadja az új szervert (bekerül a ~/.ssh/known_hosts fájlba), "
        "később a kulcs változását elutasítja.",
        "SFTP akzeptiert einen neuen Server beim ersten Mal (er wird in ~/.ssh/known_hosts eingetragen) "
        "und lehnt ihn ab, wenn sich der Schlüssel später ändert."));
    notes->addNote(
        kx::tr("WebDAV does not create the folder – make it on the server first. FTP and SFTP create missing "
               "folders.",
               "A WebDAV nem hoz létre mappát – előbb hozd létre a szerveren. Az FTP és az SFTP létrehozza a "
               "hiányzó mappákat.",
               "WebDAV legt den Ordner nicht an – erstelle ihn zuerst auf dem Server. FTP und SFTP legen "
               "fehlende Ordner an."));
    notes->addNote(kx::tr("The public URL is only used to build the link that gets copied.",
                          "A nyilvános URL csak a vágólapra kerülő link összeállításához kell.",
                          "Die öffentliche URL dient nur dazu, den kopierten Link zu bilden."));
    layoutForProtocol();
}

void UploadTab::layoutForProtocol()
{
    const QString proto = protocolNow();
    const bool webdav = proto == QLatin1String("webdav");
    const bool sftp = proto == QLatin1String("sftp");
    hostLabel_->setText(webdav ? kx::tr("WebDAV address", "WebDAV cím", "WebDAV-Adresse")
                               : kx::tr("Host", "Gépnév", "Host"));
    host_->setPlaceholderText(webdav ? QStringLiteral("https://example.org/remote.php/dav/files/me")
                                     : QStringLiteral("files.example.com"));
    portRow_->setVisible(!webdav);
    port_->setPlaceholderText(sftp ? QStringLiteral("22") : QStringLiteral("21"));
    keyRow_->setVisible(sftp);
    const bool passphrase =
        sftp && !settingValue(QStringLiteral("remote.keyPath"), QString()).toString().isEmpty();
    passwordLabel_->setText(passphrase
                                ? kx::tr("Key passphrase (optional, keyring)",
                                         "Kulcs jelszava (opcionális, kulcstartóban)",
                                         "Schlüssel-Passphrase (optional, Schlüsselbund)")
                                : kx::tr("Password (stored in the keyring)", "Jelszó (kulcstartóban tárolva)",
                                         "Passwort (im Schlüsselbund gespeichert)"));
}

void UploadTab::chooseKey()
{
    QFileDialog dialog(this);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontResolveSymlinks);
    // Keys live in ~/.ssh, which the dialog would hide.
    dialog.setFilter(dialog.filter() | QDir::Hidden);
    QString chosen;
    if (fileChooser())
        chosen = fileChooser()(dialog);
    else if (dialog.exec() == QDialog::Accepted)
        chosen = dialog.selectedFiles().value(0);
    if (chosen.isEmpty())
        return;
    const QString absolute = QFileInfo(chosen).absoluteFilePath();
    Prefs::set(QStringLiteral("remote.keyPath"), absolute);
    key_->setText(absolute);
    layoutForProtocol();
}

void UploadTab::testConnection()
{
    if (!service_)
        return;
    showAnswer(testResult_, QStringLiteral("…"));
    const quint64 generation = ++testGeneration_;
    // The test reads the keyring itself: a password still waiting to be written goes first.
    continueIn(this, password_->flush(), [this, generation](bool) {
        if (generation != testGeneration_ || !service_)
            return;
        continueIn(this, service_->testConnection(), [this, generation](const QString& answer) {
            // An older test that ends last never replaces the newer answer.
            if (generation == testGeneration_)
                showAnswer(testResult_, answer);
        });
    });
}

void UploadTab::retryAll()
{
    if (!service_ || service_->retrying())
        return;
    retry_->setEnabled(false);
    continueIn(this, service_->retryAll(), [this](const UploadService::RetrySummary& summary) {
        retryText_ = retrySummaryText(summary);
        retryEmptiedQueue_ = service_->items().isEmpty();
        if (retryResult_)
            retryResult_->setText(retryText_);
        else
            rebuildQueue();  // the queue emptied meanwhile: the result shows under its text
        if (retry_)
            retry_->setEnabled(!service_->retrying());
    });
}

void UploadTab::rebuildQueue()
{
    while (QLayoutItem* item = queueLayout_->takeAt(0)) {
        if (QWidget* w = item->widget())
            w->deleteLater();
        delete item;
    }
    retry_ = nullptr;
    retryResult_ = nullptr;
    const QList<UploadService::Item> items = service_ ? service_->items() : QList<UploadService::Item>();
    if (items.isEmpty()) {
        queueLayout_->addWidget(
            captionLabel(kx::tr("Nothing is waiting. Failed uploads are kept here and retried.",
                                "Nincs várakozó feltöltés. A sikertelen feltöltések itt maradnak, és "
                                "újra megpróbálhatók.",
                                "Nichts wartet. Fehlgeschlagene Uploads bleiben hier und werden "
                                "erneut versucht.")));
        // A "Retry all" that sent everything still says how it went; a queue emptied any
        // other way (Delete, an upload's own pass) leaves no old count behind.
        if (!retryEmptiedQueue_)
            retryText_.clear();
        if (!retryText_.isEmpty()) {
            retryResult_ = captionLabel(retryText_, false);
            queueLayout_->addWidget(retryResult_);
        }
        return;
    }
    retryEmptiedQueue_ = false;
    for (const UploadService::Item& item : items) {
        auto* row = new QWidget;
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        h->setSpacing(8);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(2);
        // One line each, whatever the server said: the page keeps the window's width.
        auto* name = new ElidedLabel(item.fileName);
        name->setObjectName(QStringLiteral("queueName"));
        name->setFont(Theme::font(12.5, QFont::Medium));
        texts->addWidget(name);
        auto* line = new ElidedLabel;
        line->setObjectName(QStringLiteral("queueError"));
        line->setFont(Theme::font(11));
        line->setPalette(captionPalette(line->palette()));
        line->setElideMode(Qt::ElideRight);  // an error's start says the most
        line->setFullText(QStringLiteral("%1× · %2").arg(item.attempts).arg(item.lastError));
        texts->addWidget(line);
        h->addLayout(texts, 1);
        auto* del = new QPushButton(kx::tr("Delete", "Törlés", "Löschen"));
        del->setFont(Theme::font(13));
        const QUuid id = item.id;
        connect(del, &QPushButton::clicked, this, [this, id] {
            if (service_)
                service_->remove(id);
        });
        h->addWidget(del);
        queueLayout_->addWidget(row);
    }
    auto* retryRow = new QWidget;
    auto* rh = new QHBoxLayout(retryRow);
    rh->setContentsMargins(0, 0, 0, 0);
    retry_ = new QPushButton(kx::tr("Retry all", "Mind újrapróbálása", "Alle erneut versuchen"));
    retry_->setFont(Theme::font(13));
    retry_->setEnabled(!service_->retrying());
    connect(retry_, &QPushButton::clicked, this, &UploadTab::retryAll);
    rh->addWidget(retry_);
    retryResult_ = captionLabel(retryText_, false);
    rh->addWidget(retryResult_, 1);
    queueLayout_->addWidget(retryRow);
}

}  // namespace kx
