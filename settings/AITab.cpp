#include "settings/AITab.h"

#include "core/Localisation.h"
#include "settings/SecretField.h"
#include "settings/SettingsForm.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace kx {

namespace {

QString providerNow()
{
    return settingValue(QStringLiteral("ai.provider"), QStringLiteral("claude")).toString() ==
                   QLatin1String("openai")
               ? QStringLiteral("openai")
               : QStringLiteral("claude");
}

QString displayName(const QString& provider)
{
    return provider == QLatin1String("openai") ? QStringLiteral("OpenAI ChatGPT")
                                               : QStringLiteral("Anthropic Claude");
}

}  // namespace

QString AITab::accountFor(const QString& provider)
{
    return provider == QLatin1String("openai") ? QStringLiteral("openai.apiKey")
                                               : QStringLiteral("anthropic.apiKey");
}

AITab::AITab(QWidget* parent) : QWidget(parent)
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    auto* form = new SettingsForm(this);
    v->addWidget(form);

    FormSection* provider = form->addSection(kx::tr("Provider", "Szolgáltató", "Anbieter"));
    provider_ = boundPicker(QStringLiteral("ai.provider"), QStringLiteral("claude"),
                            {{displayName(QStringLiteral("claude")), QStringLiteral("claude")},
                             {displayName(QStringLiteral("openai")), QStringLiteral("openai")}},
                            [this] { providerChanged(); });
    provider->addRow(kx::tr("Analysis by", "Elemzést végzi", "Analyse durch"), provider_);

    section_ = form->addSection(displayName(providerNow()));
    key_ = new SecretField;
    section_->addRow(kx::tr("API key (stored in the keyring)", "API-kulcs (kulcstartóban tárolva)",
                            "API-Schlüssel (im Schlüsselbund gespeichert)"),
                     key_);
    claudeRow_ =
        section_->addRow(kx::tr("Model", "Modell", "Modell"),
                         boundTextField(QStringLiteral("ai.model"), QStringLiteral("claude-sonnet-5-5")));
    openAIRow_ =
        section_->addRow(kx::tr("Model", "Modell", "Modell"),
                         boundTextField(QStringLiteral("ai.openaiModel"), QStringLiteral("gpt-5.5")));
    openAINote_ = section_->addNote(
        kx::tr("Check the exact model name in your OpenAI account; it is used as typed.",
               "Az OpenAI-fiókodban ellenőrizd a pontos modellnevet; úgy megy, ahogy beírod.",
               "Prüfe den genauen Modellnamen in deinem OpenAI-Konto; er wird so verwendet, "
               "wie du ihn eingibst."));
    section_->addRow(kx::tr("Answer language", "Válasz nyelve", "Antwortsprache"),
                     boundTextField(QStringLiteral("ai.language"), QStringLiteral("English")));
    section_->addNote(
        kx::tr("The editor's AI panel sends the current screenshot (downscaled to 1568 px) to the selected "
               "API. Nothing "
               "is sent unless you press Analyze.",
               "A szerkesztő AI panelje az aktuális képernyőképet (max. 1568 px-re kicsinyítve) küldi a "
               "kiválasztott "
               "API-nak. Csak az „Elemzés” gombra küldünk bármit.",
               "Das AI-Feld des Editors sendet den aktuellen Screenshot (auf 1568 px verkleinert) an die "
               "gewählte API. "
               "Nichts wird gesendet, solange du nicht auf Analysieren drückst."));
    providerChanged();
}

QLabel* AITab::providerHeader() const
{
    return section_->header();
}

void AITab::providerChanged()
{
    const QString provider = providerNow();
    const bool openai = provider == QLatin1String("openai");
    section_->header()->setText(displayName(provider));
    claudeRow_->setVisible(!openai);
    openAIRow_->setVisible(openai);
    openAINote_->parentWidget()->setVisible(openai);
    // A pending edit goes to the account it was typed for; the new one is read, never written.
    if (key_->account() != accountFor(provider))
        key_->setAccount(accountFor(provider));
}

}  // namespace kx
