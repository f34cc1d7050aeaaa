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

    QComboBox* providerPicker() const { return provider_; }
    SecretField* keyField() const { return key_; }
    QLabel* providerHeader() const;
    QWidget* claudeModelRow() const { return claudeRow_; }
    QWidget* openAIModelRow() const { return openAIRow_; }
    QLabel* openAINote() const { return openAINote_; }

    // "openai.apiKey" for "openai", "anthropic.apiKey" for anything else.
    static QString accountFor(const QString& provider);

private:
    void providerChanged();

    QComboBox* provider_;
    FormSection* section_;
    SecretField* key_;
    QWidget* claudeRow_;
    QWidget* openAIRow_;
    QLabel* openAINote_;
};

}  // namespace kx
