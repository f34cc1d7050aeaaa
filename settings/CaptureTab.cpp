#include "settings/CaptureTab.h"

#include "core/Localisation.h"
#include "core/Prefs.h"
#include "platform/XTestScroller.h"
#include "settings/SettingsForm.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

namespace kx {

namespace {

std::function<QString(QWidget*)>& folderChooser()
{
    static std::function<QString(QWidget*)> chooser;
    return chooser;
}

}  // namespace

void CaptureTab::setFolderChooser(std::function<QString(QWidget*)> chooser)
{
    folderChooser() = std::move(chooser);
}

CaptureTab::CaptureTab(QWidget* parent) : QWidget(parent)
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    auto* form = new SettingsForm(this);
    v->addWidget(form);

    FormSection* after =
        form->addSection(kx::tr("After every capture", "Minden képernyőkép után", "Nach jeder Aufnahme"));
    const struct {
        QString text;
        const char* key;
        bool fallback;
    } toggles[] = {
        {kx::tr("Open in the editor", "Megnyitás a szerkesztőben", "Im Editor öffnen"), "after.editor", true},
        {kx::tr("Show a quick preview (when the editor is off)",
                "Gyors előnézet (ha a szerkesztő ki van kapcsolva)",
                "Schnellvorschau zeigen (wenn der Editor aus ist)"),
         "after.preview", true},
        {kx::tr("Copy to clipboard", "Másolás a vágólapra", "In die Zwischenablage kopieren"), "after.copy",
         true},
        {kx::tr("Save to the folder below", "Mentés az alábbi mappába", "Im Ordner unten sichern"),
         "after.save", false},
        {kx::tr("Upload to your server (WebDAV / FTP / SFTP)",
                "Feltöltés a saját szerverre (WebDAV / FTP / SFTP)",
                "Auf deinen Server hochladen (WebDAV / FTP / SFTP)"),
         "after.upload", false},
        {kx::tr("Include the mouse cursor (fullscreen / window)",
                "Egérkurzor is látszódjon (teljes képernyő / ablak)",
                "Mauszeiger einschließen (Vollbild / Fenster)"),
         "showCursor", false},
    };
    for (const auto& t : toggles)
        after->addWidget(boundToggle(t.text, QString::fromLatin1(t.key), t.fallback));

    FormSection* saving = form->addSection(kx::tr("Saving", "Mentés", "Sichern"));
    auto* folderBox = new QWidget;
    auto* fh = new QHBoxLayout(folderBox);
    fh->setContentsMargins(0, 0, 0, 0);
    folder_ = boundTextField(QStringLiteral("saveFolder"), QString(), QStringLiteral("~/Pictures/Kaptorix"));
    folder_->setMinimumWidth(160);
    fh->addWidget(folder_);
    auto* choose = new QPushButton(kx::tr("Choose…", "Választ…", "Auswählen…"));
    choose->setFont(Theme::font(13));
    connect(choose, &QPushButton::clicked, this, &CaptureTab::chooseFolder);
    fh->addWidget(choose);
    saving->addRow(kx::tr("Folder", "Mappa", "Ordner"), folderBox);
    // The page's fallback is the empty pattern; a fresh install shows the registered one.
    QLineEdit* pattern = boundTextField(QStringLiteral("filePattern"), QString());
    pattern->setMinimumWidth(320);  // the registered pattern is shown whole
    saving->addRow(kx::tr("File name", "Fájlnév", "Dateiname"), pattern);
    saving->addNote(QStringLiteral("{YYYY} {MM} {DD} {hh} {mm} {ss} {title} {kind}"));
    saving->addRow(kx::tr("Format", "Formátum", "Format"),
                   boundPicker(QStringLiteral("imageFormat"), QStringLiteral("png"),
                               {{QStringLiteral("PNG"), QStringLiteral("png")},
                                {QStringLiteral("JPEG"), QStringLiteral("jpg")},
                                {QStringLiteral("HEIC"), QStringLiteral("heic")}},
                               [this] { formatChanged(); }));
    quality_ = new QSlider(Qt::Horizontal);
    const Prefs::Range quality = *Prefs::offeredRange(QStringLiteral("jpegQuality"));
    quality_->setRange(qRound(quality.least * 1000), qRound(quality.greatest * 1000));
    quality_->setMinimumWidth(220);
    quality_->setValue(qRound(settingValue(QStringLiteral("jpegQuality"), 0.9).toDouble() * 1000));
    connect(quality_, &QSlider::valueChanged, this,
            [](int v) { Prefs::set(QStringLiteral("jpegQuality"), v / 1000.0); });
    followSetting(quality_, QStringLiteral("jpegQuality"), [this] {
        const QSignalBlocker quiet(quality_);
        quality_->setValue(qRound(settingValue(QStringLiteral("jpegQuality"), 0.9).toDouble() * 1000));
    });
    qualityRow_ = saving->addRow(kx::tr("Quality", "Minőség", "Qualität"), quality_);
    saving->addWidget(
        boundToggle(kx::tr("Downscale HiDPI captures to 1x when saving", "HiDPI képek mentése 1x méretre",
                           "HiDPI-Aufnahmen beim Sichern auf 1x verkleinern"),
                    QStringLiteral("downscaleRetina"), false));
    formatChanged();

    FormSection* scrolling =
        form->addSection(kx::tr("Scrolling capture", "Görgetős képernyőkép", "Scroll-Aufnahme"));
    scrolling->addWidget(boundStepper(QStringLiteral("scroll.maxHeight"), 30000, 2000, [](int n) {
        return kx::tr(QStringLiteral("Maximum height: %1 px").arg(n),
                      QStringLiteral("Maximális magasság: %1 px").arg(n),
                      QStringLiteral("Maximale Höhe: %1 px").arg(n));
    }));
    const bool xtest = XTestScroller::shared().available();
    auto* status = new QWidget;
    auto* sh = new QHBoxLayout(status);
    sh->setContentsMargins(0, 0, 0, 0);
    auto* icon = new QLabel;
    icon->setPixmap(QPixmap::fromImage(Symbols::image(
        xtest ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("exclamationmark.triangle.fill"), 16,
        xtest ? Theme::systemGreen() : Theme::systemOrange(), SymbolWeight::regular, devicePixelRatioF())));
    sh->addWidget(icon);
    QLabel* text = captionLabel(
        xtest
            ? kx::tr("Accessibility allowed – auto-scroll is available.",
                     "Kisegítő lehetőségek engedélyezve – az auto-görgetés használható.",
                     "Bedienungshilfen erlaubt – automatisches Scrollen ist verfügbar.")
            : kx::tr(
                  "Auto-scroll needs the Accessibility permission (manual scrolling works without it).",
                  "Az auto-görgetéshez Kisegítő lehetőségek engedély kell (kézi görgetéshez nem).",
                  "Automatisches Scrollen braucht die Bedienungshilfen-Berechtigung (manuelles Scrollen geht "
                  "auch ohne)."));
    text->setObjectName(QStringLiteral("accessibility"));
    sh->addWidget(text, 1);
    scrolling->addWidget(status);
}

void CaptureTab::formatChanged()
{
    // Hidden only for exactly "png": JPEG, HEIC and unknown values all have a quality.
    qualityRow_->setVisible(settingValue(QStringLiteral("imageFormat"), QStringLiteral("png")).toString() !=
                            QLatin1String("png"));
}

void CaptureTab::chooseFolder()
{
    const QString chosen = folderChooser() ? folderChooser()(this)
                                           : QFileDialog::getExistingDirectory(this, QString(), QString(),
                                                                               QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return;
    const QString absolute = QDir::cleanPath(QFileInfo(chosen).absoluteFilePath());
    Prefs::set(QStringLiteral("saveFolder"), absolute);
    folder_->setText(absolute);
}

}  // namespace kx
