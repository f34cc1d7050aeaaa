#include "settings/GeneralTab.h"

#include "core/Futures.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "platform/Autostart.h"
#include "settings/SettingsForm.h"
#include "ui/Theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace kx {

GeneralTab::GeneralTab(QWidget* parent) : QWidget(parent)
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    form_ = new SettingsForm(this);
    v->addWidget(form_);

    FormSection* app = form_->addSection(kx::tr("Application", "Alkalmazás", "Programm"));
    launch_ = new QCheckBox(kx::tr("Launch at login", "Indítás bejelentkezéskor", "Beim Anmelden starten"));
    launch_->setFont(Theme::font(13));
    // Read from the disk each time the page is built: the file is the truth, not a setting.
    launch_->setChecked(Autostart::isEnabled());
    connect(launch_, &QCheckBox::clicked, this, &GeneralTab::launchToggled);
    launchMessage_ = captionLabel(QString());
    launchMessage_->hide();
    auto* launchBox = new QWidget;
    auto* lv = new QVBoxLayout(launchBox);
    lv->setContentsMargins(0, 0, 0, 0);
    lv->setSpacing(2);
    lv->addWidget(launch_);
    lv->addWidget(launchMessage_);
    app->addWidget(launchBox);

    // The tray application hears the change and applies the policy at once.
    app->addWidget(
        boundToggle(kx::tr("Show taskbar icon", "Tálcaikon megjelenítése", "Taskleistensymbol anzeigen"),
                    QStringLiteral("showDock"), false));
    app->addRow(kx::tr("Language (restart needed)", "Nyelv (újraindítás kell)", "Sprache (Neustart nötig)"),
                boundPicker(QStringLiteral("language"), QStringLiteral("auto"),
                            {{kx::tr("Automatic", "Automatikus", "Automatisch"), QStringLiteral("auto")},
                             {QStringLiteral("Magyar"), QStringLiteral("hu")},
                             {QStringLiteral("English"), QStringLiteral("en")},
                             {QStringLiteral("Deutsch"), QStringLiteral("de")}}));
    app->addWidget(boundToggle(kx::tr("Shutter sound", "Zárhang", "Auslösegeräusch"),
                               QStringLiteral("playSound"), true));
    app->addWidget(
        boundToggle(kx::tr("Magnifier while selecting", "Nagyító kijelölés közben", "Lupe beim Auswählen"),
                    QStringLiteral("showLoupe"), true));

    FormSection* ocr =
        form_->addSection(kx::tr("OCR & color picker", "OCR és színpipetta", "OCR & Farbpipette"));
    ocr->addRow(kx::tr("OCR languages", "OCR nyelvek", "OCR-Sprachen"),
                boundTextField(QStringLiteral("ocrLanguages"), QStringLiteral("auto"),
                               QStringLiteral("auto  /  hu-HU, en-US")));
    ocr->addNote(
        kx::tr("“auto” uses your system languages plus English. Comma-separated codes override it.",
               "Az „auto” a rendszernyelveidet és az angolt használja. Vesszővel elválasztott kódokkal "
               "felülírható.",
               "„auto“ verwendet deine Systemsprachen und Englisch. Durch Kommas getrennte Codes ersetzen "
               "das."));
    ocr->addRow(kx::tr("Copied color format", "Másolt szín formátuma", "Format der kopierten Farbe"),
                boundPicker(QStringLiteral("colorFormat"), QStringLiteral("hex"),
                            {{QStringLiteral("HEX  #A1B2C3"), QStringLiteral("hex")},
                             {QStringLiteral("hex  #a1b2c3"), QStringLiteral("hexLower")},
                             {QStringLiteral("RGB  rgb(161, 178, 195)"), QStringLiteral("rgb")},
                             {QStringLiteral("HSL  hsl(210, 22%, 70%)"), QStringLiteral("hsl")},
                             {QStringLiteral("SwiftUI  Color(red:…)"), QStringLiteral("swiftUI")}}));

    FormSection* history = form_->addSection(kx::tr("History", "Előzmények", "Verlauf"));
    history->addWidget(boundStepper(QStringLiteral("history.max"), 300, 20, [](int n) {
        return kx::tr(QStringLiteral("Keep at most %1 captures").arg(n),
                      QStringLiteral("Legfeljebb %1 kép megtartása").arg(n),
                      QStringLiteral("Höchstens %1 Aufnahmen behalten").arg(n));
    }));
    history->addWidget(boundStepper(QStringLiteral("history.days"), 30, 1, [](int n) {
        if (n == 0)
            return kx::tr("Never delete by age", "Korra nem törlünk", "Nie nach Alter löschen");
        return kx::tr(QStringLiteral("Delete after %1 days").arg(n),
                      QStringLiteral("Törlés %1 nap után").arg(n),
                      QStringLiteral("Nach %1 Tagen löschen").arg(n));
    }));
    history->addNote(kx::tr("Starred captures are never deleted automatically.",
                            "A csillagozott képeket sosem töröljük automatikusan.",
                            "Favoriten werden nie automatisch gelöscht."));
}

void GeneralTab::launchToggled(bool on)
{
    launch_->setEnabled(false);
    launchMessage_->hide();
    const auto check = QtConcurrent::run([on] {
        const Autostart::Result result = Autostart::setEnabled(on);
        return std::pair{result, Autostart::isEnabled()};
    });
    continueIn(this, check, [this](const std::pair<Autostart::Result, bool>& outcome) {
        const auto& [result, enabled] = outcome;
        // The file is the truth: a refused change shows the real state, without acting again.
        launch_->setChecked(enabled);
        launch_->setEnabled(true);
        if (!result.ok) {
            launchMessage_->setText(result.message);
            launchMessage_->show();
        }
        Q_EMIT launchAtLoginSettled(enabled);
    });
}

}  // namespace kx
