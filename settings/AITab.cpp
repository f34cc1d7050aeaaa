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
    m_provider = boundPicker(QStringLiteral("ai.provider"), QStringLiteral("claude"),
                             {{displayName(QStringLiteral("claude")), QStringLiteral("claude")},
                              {displayName(QStringLiteral("openai")), QStringLiteral("openai")}},
                             [this] { providerChanged(); });
    provider->addRow(kx::tr("Analysis by", "Elemzést végzi", "Analyse durch"), m_provider);

    m_section = form->addSection(displayName(providerNow()));
    m_key = new SecretField;
    m_section->addRow(kx::tr("API key (stored in the keyring)", "API-kulcs (kulcstartóban tárolva)",
                             "API-Schlüssel (im Schlüsselbund gespeichert)"),
                      m_key);
    m_claudeRow =
        m_section->addRow(kx::tr("Model", "Modell", "Modell"),
                          boundTextField(QStringLiteral("ai.model"), QStringLiteral("claude-sonnet-5-5")));
    m_openAIRow =
        m_section->addRow(kx::tr("Model", "Modell", "Modell"),
                          boundTextField(QStringLiteral("ai.openaiModel"), QStringLiteral("gpt-5.5")));
    m_openAINote = m_section->addNote(
        kx::tr("Check the exact model name in your OpenAI account; it is used as typed.",
               "Az OpenAI-fiókodban ellenőrizd a pontos modellnevet; úgy megy, ahogy beírod.",
               "Prüfe den genauen Modellnamen in deinem OpenAI-Konto; er wird so verwendet, "
               "wie du ihn eingibst."));
    m_section->addRow(kx::tr("Answer language", "Válasz nyelve", "Antwortsprache"),
                      boundTextField(QStringLiteral("ai.language"), QStringLiteral("English")));
    m_section->addNote(
        kx::tr("The editor's AI panel sends the current screenshot (downscaled to 1568 px) to the selected "
               "API. Nothing "
               "is sent unless you press Analyze.",
               "A szerkesztő AI panelje az aktuális képernyőképet (max. 1568 px-re kicsinyítve) küldi a "
               "kiválasztott "
               "API-nak. Csak az „Elemzés” gombra küldünk bármit.",
               "Das KI-Feld des Editors sendet den aktuellen Screenshot (auf 1568 px verkleinert) an die "
               "gewählte API. "
               "Nichts wird gesendet, solange du nicht auf Analysieren drückst."));
    providerChanged();
}

QLabel* AITab::providerHeader() const
{
    return m_section->header();
}

void AITab::providerChanged()
{
    const QString provider = providerNow();
    const bool openai = provider == QLatin1String("openai");
    m_section->header()->setText(displayName(provider));
    m_claudeRow->setVisible(!openai);
    m_openAIRow->setVisible(openai);
    m_openAINote->parentWidget()->setVisible(openai);
    // A pending edit goes to the account it was typed for; the new one is read, never written.
    if (m_key->account() != accountFor(provider))
        m_key->setAccount(accountFor(provider));
}

}  // namespace kx
