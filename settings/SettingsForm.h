#pragma once
// The grouped form every settings page is made of: titled sections holding rounded cards of
// rows, and controls bound to settings keys. A bound control shows the stored value, else the
// registered default, else the page's fallback, and writes only when the user edits it.
#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QString>
#include <QVariant>
#include <functional>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QToolButton;
class QVBoxLayout;

namespace kx {

// The stored value of `key`, else its registered default, else `fallback`.
QVariant settingValue(const QString& key, const QVariant& fallback);

// One section: a header text above a card of rows separated by hairlines.
class FormSection : public QWidget {
public:
    explicit FormSection(const QString& header, QWidget* parent = nullptr);

    // A row of a label on the left and `control` on the right; returns the row.
    QWidget* addRow(const QString& label, QWidget* control);
    // A row holding only `widget` (a toggle, a note, a button row...).
    QWidget* addWidget(QWidget* widget);
    // A caption-sized note in the secondary colour, wrapped.
    QLabel* addNote(const QString& text);
    QLabel* header() const { return header_; }

private:
    void append(QWidget* row);
    QLabel* header_;
    QVBoxLayout* rows_;
};

// A vertically scrolling page of sections.
class SettingsForm : public QScrollArea {
public:
    explicit SettingsForm(QWidget* parent = nullptr);
    FormSection* addSection(const QString& header);

private:
    QVBoxLayout* sections_;
};

// A caption label (11 pt, secondary colour, plain text); wrapped when `wrap`.
QLabel* captionLabel(const QString& text, bool wrap = true);
// The secondary text colour of captions.
QPalette captionPalette(QPalette palette);

// A tool tip that shows `text` as it is, never as markup.
QString plainToolTip(const QString& text);

// One line of plain text that never widens its page: cut with "…" to the width it gets (in the
// middle by default, which keeps a file name's extension), the whole text in its tool tip.
class ElidedLabel : public QLabel {
public:
    explicit ElidedLabel(const QString& text = QString(), QWidget* parent = nullptr);
    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    void setElideMode(Qt::TextElideMode mode);
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void elide();
    QString full_;
    Qt::TextElideMode mode_ = Qt::ElideMiddle;
};

// Runs `show` whenever the value of `key` changes while `control` lives: a bound control
// shows what another Kaptorix of this user stored meanwhile, without writing it back.
void followSetting(QWidget* control, const QString& key, std::function<void()> show);

// A toggle bound to a Bool key.
QCheckBox* boundToggle(const QString& text, const QString& key, bool fallback);
// A text field bound to a String key: every edit is stored as typed.
QLineEdit* boundTextField(const QString& key, const QString& fallback,
                          const QString& placeholder = QString());
// A picker of (shown text, stored value) pairs; a stored value that is none of them selects
// nothing. `onPicked` runs after the user's choice is stored.
QComboBox* boundPicker(const QString& key, const QString& fallback,
                       const QList<QPair<QString, QString>>& choices, std::function<void()> onPicked = {});

// An integer stepper: a text built from the value, then − and + buttons.
class Stepper : public QWidget {
    Q_OBJECT
public:
    Stepper(int value, int minimum, int maximum, int step, std::function<QString(int)> label,
            QWidget* parent = nullptr);
    int value() const { return value_; }
    // Shows `value` (at least the minimum; a greater one than the maximum as it is) without
    // calling onStepped.
    void setValue(int value);
    QLabel* label() const { return label_; }
    QToolButton* minusButton() const { return minus_; }
    QToolButton* plusButton() const { return plus_; }
    // Called after a user's step with the new value.
    std::function<void(int)> onStepped;

private:
    void stepBy(int direction);
    void refresh();

    int value_, min_, max_, step_;
    std::function<QString(int)> text_;
    QLabel* label_;
    QToolButton* minus_;
    QToolButton* plus_;
};

// A stepper bound to an Int key, over the range the settings store offers for it.
Stepper* boundStepper(const QString& key, int fallback, int step, std::function<QString(int)> label);

}  // namespace kx
