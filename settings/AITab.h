#pragma once
// The AI page: provider, its API key in the keyring, model names and the answer language.
#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;

namespace kx {

class FormSection;
class SecretField;

class AITab : public QWidget {
    Q_OBJECT
public:
    explicit AITab(QWidget* parent = nullptr);

    QComboBox* providerPicker() const { return m_provider; }
    SecretField* keyField() const { return m_key; }
    QLabel* providerHeader() const;
    QWidget* claudeModelRow() const { return m_claudeRow; }
    QWidget* openAIModelRow() const { return m_openAIRow; }
    QLabel* openAINote() const { return m_openAINote; }

    // "openai.apiKey" for "openai", "anthropic.apiKey" for anything else.
    static QString accountFor(const QString& provider);

private:
    void providerChanged();

    QComboBox* m_provider;
    FormSection* m_section;
    SecretField* m_key;
    QWidget* m_claudeRow;
    QWidget* m_openAIRow;
    QLabel* m_openAINote;
};

}  // namespace kx
