#pragma once
// The AI state of one editor window: the chosen preset, the own question, the last answer,
// the last error and whether a request runs. Shared ownership: a running request keeps the
// model alive after its window closed, so the answer and its summary are still applied.

#include "analysis/ai/AIPreset.h"

#include <QImage>
#include <QObject>
#include <QString>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

namespace kx {

class AIAnalysisModel : public QObject, public std::enable_shared_from_this<AIAnalysisModel> {
    Q_OBJECT

public:
    // Receives the answers that become a capture's AI summary (history entry id, answer).
    using SummarySink = std::function<void(const QUuid& historyID, const QString& summary)>;

    static std::shared_ptr<AIAnalysisModel> create(SummarySink summarySink = {});

    AIPreset preset() const { return preset_; }
    void setPreset(AIPreset preset);
    const QString& custom() const { return custom_; }
    void setCustom(const QString& question);
    const QString& result() const { return result_; }
    const std::optional<QString>& error() const { return error_; }
    bool loading() const { return loading_; }

    // The question to send: the own question for `custom`, else the preset's prompt in the
    // language of the setting "ai.language" (English when absent).
    QString question() const;

    // Starts one analysis of `image` and returns at once; nothing while one runs or when the
    // question is blank. The answer arrives on this thread; a `describe` or `seo` answer (the
    // preset chosen when it arrives decides) goes to the summary sink when historyID is set.
    void run(const QImage& image, const QUuid& historyID);

Q_SIGNALS:
    void changed();

private:
    explicit AIAnalysisModel(SummarySink sink) : sink_(std::move(sink)) {}
    void finish(const std::optional<QString>& answer, const QString& error, const QUuid& historyID);

    AIPreset preset_ = AIPreset::describe;
    QString custom_;
    QString result_;
    std::optional<QString> error_;
    bool loading_ = false;
    SummarySink sink_;
};

}  // namespace kx
