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
    if (preset == m_preset)
        return;
    m_preset = preset;
    Q_EMIT changed();
}

void AIAnalysisModel::setCustom(const QString& question)
{
    if (question == m_custom)
        return;
    m_custom = question;
    Q_EMIT changed();
}

QString AIAnalysisModel::question() const
{
    if (m_preset == AIPreset::custom)
        return m_custom;
    const QVariant language = Prefs::value(QStringLiteral("ai.language"));
    return prompt(m_preset, language.isValid() ? language.toString() : QStringLiteral("English"));
}

void AIAnalysisModel::run(const QImage& image, const QUuid& historyID)
{
    if (m_loading)
        return;
    const QString q = question();
    if (q.trimmed().isEmpty())
        return;
    m_loading = true;
    m_error.reset();  // the previous answer stays until the new one arrives
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
        m_result = *answer;
        if (!historyID.isNull() && keepsSummary(m_preset) && m_sink)
            m_sink(historyID, *answer);
    } else if (!error.isEmpty()) {
        m_error = error;
    }
    m_loading = false;
    Q_EMIT changed();
}

}  // namespace kx
