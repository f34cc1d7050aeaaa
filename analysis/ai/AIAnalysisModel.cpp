#include "analysis/ai/AIAnalysisModel.h"

#include "analysis/ai/AIService.h"
#include "core/Prefs.h"

namespace kx {

std::shared_ptr<AIAnalysisModel> AIAnalysisModel::create(SummarySink summarySink)
{
    return std::shared_ptr<AIAnalysisModel>(new AIAnalysisModel(std::move(summarySink)));
}

void AIAnalysisModel::setPreset(AIPreset preset)
{
    if (preset == preset_)
        return;
    preset_ = preset;
    Q_EMIT changed();
}

void AIAnalysisModel::setCustom(const QString& question)
{
    if (question == custom_)
        return;
    custom_ = question;
    Q_EMIT changed();
}

QString AIAnalysisModel::question() const
{
    if (preset_ == AIPreset::custom)
        return custom_;
    const QVariant language = Prefs::value(QStringLiteral("ai.language"));
    return prompt(preset_, language.isValid() ? language.toString() : QStringLiteral("English"));
}

void AIAnalysisModel::run(const QImage& image, const QUuid& historyID)
{
    if (loading_)
        return;
    const QString q = question();
    if (q.trimmed().isEmpty())
        return;
    loading_ = true;
    error_.reset();  // the previous answer stays until the new one arrives
    Q_EMIT changed();
    // The continuations hold the model, so closing the window cannot drop the answer.
    std::shared_ptr<AIAnalysisModel> self = shared_from_this();
    AIService::analyze(image, q)
        .then(this,
              [self, historyID](const AIService::Outcome& o) { self->finish(o.answer, o.error, historyID); })
        .onCanceled(this, [self] { self->finish(std::nullopt, QString(), QUuid()); });
}

void AIAnalysisModel::finish(const std::optional<QString>& answer, const QString& error,
                             const QUuid& historyID)
{
    if (answer) {
        result_ = *answer;
        if (!historyID.isNull() && keepsSummary(preset_) && sink_)
            sink_(historyID, *answer);
    } else if (!error.isEmpty()) {
        error_ = error;
    }
    loading_ = false;
    Q_EMIT changed();
}

}  // namespace kx
