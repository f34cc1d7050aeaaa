#pragma once
// The editor's AI side panel, 340 px wide (narrower in a small window, down to what its content
// needs): preset picker, own question, Analyze and Copy, the missing-key and error notices, and
// the formatted answer; shorter than its content, it scrolls. Its state lives in the
// window's AIAnalysisModel, so hiding the panel keeps the preset, question and answer.

#include "analysis/ai/AIAnalysisModel.h"

#include <QImage>
#include <QTextEdit>
#include <QUuid>
#include <QWidget>
#include <functional>
#include <memory>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPlainTextEdit;
class QScrollArea;
class QTextBrowser;

namespace kx {

class ChromeButton;

// Selectable plain text that wraps at word boundaries, and inside a word too long for a line
// (a server's error without spaces); as tall as its text, up to kMaxHeight, then it scrolls.
class WrappingText : public QTextEdit {
    Q_OBJECT
public:
    static constexpr int kMaxHeight = 160;
    explicit WrappingText(QWidget* parent = nullptr);
    QString text() const { return toPlainText(); }
    void setText(const QString& text);  // never markup
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    int contentHeight(int width) const;
    void fit();
};

class AIPanel : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 340;

    // `image` renders the picture to send (annotations, no backdrop) when Analyze is pressed;
    // `historyID` is the capture's history entry, null when it has none; `close` hides the panel.
    static constexpr int kMinAnswerHeight = 120;

    AIPanel(std::shared_ptr<AIAnalysisModel> model, std::function<QImage()> image, const QUuid& historyID,
            std::function<void()> close, QWidget* parent = nullptr);

    const std::shared_ptr<AIAnalysisModel>& model() const { return model_; }
    // The narrowest the panel can be with every control whole (text wraps, Copy goes below
    // Analyze); any height: a short panel scrolls.
    QSize minimumSizeHint() const override;
    // The width at which the title and the model name need not wrap.
    QSize sizeHint() const override;
    QScrollArea* scrollArea() const { return scroll_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void sync();
    void refreshKey();

    std::shared_ptr<AIAnalysisModel> model_;
    std::function<QImage()> image_;
    QUuid historyID_;
    bool hasKey_ = true;
    bool wasLoading_ = false;
    int keyQuery_ = 0;

    QScrollArea* scroll_;
    QWidget* content_;
    QHBoxLayout* header_;
    QLabel* heading_;
    QLabel* modelName_;
    QComboBox* picker_;
    QWidget* customCard_;
    QPlainTextEdit* custom_;
    ChromeButton* analyze_;
    ChromeButton* copy_;
    QWidget* keyNotice_;
    QWidget* errorNotice_;
    WrappingText* errorText_;
    QWidget* hint_;
    QTextBrowser* answer_;
};

}  // namespace kx
