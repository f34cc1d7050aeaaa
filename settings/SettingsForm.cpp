#include "settings/SettingsForm.h"

#include "core/Prefs.h"
#include "core/PrefsNotifier.h"
#include "ui/Theme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <limits>

namespace kx {

namespace {

// The rounded card behind a section's rows.
class Card : public QWidget {
public:
    explicit Card(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
        p.fillPath(path, Theme::primary(palette(), 0.045));
        p.setPen(QPen(Theme::primary(palette(), 0.07), 0.5));
        p.drawPath(path);
    }
};

// A hairline above a row of a card; it shows and hides with its row, so a hidden row never
// leaves two lines on top of each other.
class Hairline : public QWidget {
public:
    Hairline(QWidget* parent, QWidget* row) : QWidget(parent)
    {
        setObjectName(QStringLiteral("hairline"));
        setFixedHeight(1);
        row->installEventFilter(this);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect().adjusted(12, 0, 0, 0), Theme::primary(palette(), 0.07));
    }
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::ShowToParent)
            show();
        else if (e->type() == QEvent::HideToParent)
            hide();
        return false;
    }
};

QWidget* rowWith(QWidget* parent, QLabel* label, QWidget* control)
{
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(12, 7, 12, 7);
    h->setSpacing(12);
    if (!label) {
        h->addWidget(control, 1);
        return row;
    }
    // Text fields share the row with their label; other controls keep their own width.
    const bool field = qobject_cast<QLineEdit*>(control) || control->findChild<QLineEdit*>();
    h->addWidget(label, 1);
    h->addWidget(control, field ? 2 : 0);
    return row;
}

}  // namespace

QVariant settingValue(const QString& key, const QVariant& fallback)
{
    const QVariant v = Prefs::value(key);
    return v.isValid() ? v : fallback;
}

FormSection::FormSection(const QString& header, QWidget* parent) : QWidget(parent)
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(6);
    header_ = new QLabel(header, this);
    header_->setTextFormat(Qt::PlainText);
    header_->setFont(Theme::font(12, QFont::DemiBold));
    header_->setContentsMargins(4, 0, 4, 0);
    v->addWidget(header_);
    auto* card = new Card(this);
    rows_ = new QVBoxLayout(card);
    rows_->setContentsMargins(0, 3, 0, 3);
    rows_->setSpacing(0);
    v->addWidget(card);
}

void FormSection::append(QWidget* row)
{
    if (rows_->count() > 0)
        rows_->addWidget(new Hairline(this, row));
    rows_->addWidget(row);
}

QWidget* FormSection::addWidget(QWidget* widget)
{
    QWidget* row = rowWith(this, nullptr, widget);
    append(row);
    return row;
}

QWidget* FormSection::addRow(const QString& label, QWidget* control)
{
    auto* text = new QLabel(label, this);
    text->setTextFormat(Qt::PlainText);
    text->setFont(Theme::font(13));
    text->setWordWrap(true);
    QWidget* row = rowWith(this, text, control);
    append(row);
    return row;
}

QLabel* FormSection::addNote(const QString& text)
{
    QLabel* note = captionLabel(text);
    addWidget(note);
    return note;
}

SettingsForm::SettingsForm(QWidget* parent) : QScrollArea(parent)
{
    // The controls inside take the focus, the scrolled area itself shows none.
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    auto* content = new QWidget(this);
    sections_ = new QVBoxLayout(content);
    sections_->setContentsMargins(24, 8, 24, 20);
    sections_->setSpacing(18);
    sections_->addStretch(1);
    setWidget(content);
    viewport()->setAutoFillBackground(false);
    content->setAutoFillBackground(false);
}

FormSection* SettingsForm::addSection(const QString& header)
{
    auto* section = new FormSection(header, widget());
    sections_->insertWidget(sections_->count() - 1, section);
    return section;
}

QPalette captionPalette(QPalette pal)
{
    pal.setColor(QPalette::WindowText, Theme::secondary(pal));
    return pal;
}

QLabel* captionLabel(const QString& text, bool wrap)
{
    auto* label = new QLabel(text);
    // Captions carry the servers' and the system's own words, which are never markup.
    label->setTextFormat(Qt::PlainText);
    label->setFont(Theme::font(11));
    label->setWordWrap(wrap);
    label->setPalette(captionPalette(label->palette()));
    return label;
}

QString plainToolTip(const QString& text)
{
    // A tool tip is taken as markup when it looks like markup; escaped inside a paragraph it
    // always shows the text as it is.
    QString escaped = text.toHtmlEscaped();
    escaped.replace('\n', QStringLiteral("<br>"));
    return QStringLiteral("<p>") + escaped + QStringLiteral("</p>");
}

ElidedLabel::ElidedLabel(const QString& text, QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    // Any width will do: the text is cut to the width it gets, never the other way round.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setFullText(text);
}

void ElidedLabel::setFullText(const QString& text)
{
    full_ = text;
    setToolTip(text.isEmpty() ? QString() : plainToolTip(text));
    elide();
}

void ElidedLabel::setElideMode(Qt::TextElideMode mode)
{
    mode_ = mode;
    elide();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {0, QLabel::minimumSizeHint().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* e)
{
    QLabel::resizeEvent(e);
    elide();
}

void ElidedLabel::elide()
{
    QString line = full_;
    line.replace('\n', ' ');
    const QString shown = fontMetrics().elidedText(line, mode_, std::max(0, contentsRect().width()));
    if (shown != text())
        setText(shown);
}

void followSetting(QWidget* control, const QString& key, std::function<void()> show)
{
    QObject::connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, control,
                     [key, show = std::move(show)](const QString& changed) {
                         if (changed == key)
                             show();
                     });
}

QCheckBox* boundToggle(const QString& text, const QString& key, bool fallback)
{
    auto* box = new QCheckBox(text);
    box->setFont(Theme::font(13));
    box->setChecked(settingValue(key, fallback).toBool());
    followSetting(box, key, [box, key, fallback] { box->setChecked(settingValue(key, fallback).toBool()); });
    // clicked: only the user's changes, never the initial state.
    QObject::connect(box, &QCheckBox::clicked, box, [key](bool on) { Prefs::set(key, on); });
    return box;
}

QLineEdit* boundTextField(const QString& key, const QString& fallback, const QString& placeholder)
{
    auto* field = new QLineEdit;
    field->setFont(Theme::font(13));
    field->setMinimumWidth(180);
    field->setText(settingValue(key, fallback).toString());
    field->setPlaceholderText(placeholder);
    field->setCursorPosition(0);
    followSetting(field, key, [field, key, fallback] {
        // The field's own edits come back as they were typed: the cursor stays where it is.
        const QString now = settingValue(key, fallback).toString();
        if (field->text() != now)
            field->setText(now);
    });
    QObject::connect(field, &QLineEdit::textEdited, field, [key](const QString& t) { Prefs::set(key, t); });
    return field;
}

QComboBox* boundPicker(const QString& key, const QString& fallback,
                       const QList<QPair<QString, QString>>& choices, std::function<void()> onPicked)
{
    auto* box = new QComboBox;
    box->setFont(Theme::font(13));
    for (const auto& [shown, stored] : choices)
        box->addItem(shown, stored);
    box->setCurrentIndex(box->findData(settingValue(key, fallback).toString()));
    followSetting(box, key, [box, key, fallback, onPicked] {
        const int index = box->findData(settingValue(key, fallback).toString());
        if (index == box->currentIndex())
            return;
        box->setCurrentIndex(index);
        if (onPicked)
            onPicked();
    });
    QObject::connect(box, &QComboBox::activated, box, [box, key, onPicked](int index) {
        if (index < 0)
            return;
        Prefs::set(key, box->itemData(index).toString());
        if (onPicked)
            onPicked();
    });
    return box;
}

Stepper::Stepper(int value, int minimum, int maximum, int step, std::function<QString(int)> label,
                 QWidget* parent)
    : QWidget(parent),
      value_(std::max(minimum, value)),
      min_(minimum),
      max_(maximum),
      step_(step),
      text_(std::move(label))
{
    auto* h = new QHBoxLayout(this);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(2);
    label_ = new QLabel(this);
    label_->setFont(Theme::font(13));
    h->addWidget(label_, 1);
    minus_ = new QToolButton(this);
    minus_->setText(QStringLiteral("−"));
    plus_ = new QToolButton(this);
    plus_->setText(QStringLiteral("+"));
    for (QToolButton* b : {minus_, plus_}) {
        b->setFont(Theme::font(13, QFont::DemiBold));
        b->setFixedSize(qMax(26, b->sizeHint().width()), 22);
        h->addWidget(b);
    }
    connect(minus_, &QToolButton::clicked, this, [this] { stepBy(-1); });
    connect(plus_, &QToolButton::clicked, this, [this] { stepBy(1); });
    refresh();
}

void Stepper::stepBy(int direction)
{
    const int next = qBound(min_, value_ + direction * step_, max_);
    if (next == value_)
        return;
    value_ = next;
    refresh();
    if (onStepped)
        onStepped(value_);
}

void Stepper::setValue(int value)
{
    value_ = std::max(min_, value);
    refresh();
}

void Stepper::refresh()
{
    label_->setText(text_(value_));
    minus_->setEnabled(value_ > min_);
    plus_->setEnabled(value_ < max_);
}

Stepper* boundStepper(const QString& key, int fallback, int step, std::function<QString(int)> label)
{
    // The range the settings store reads the value into, and the value as it reads it: what is
    // shown is what acts.
    const std::optional<Prefs::Range> range = Prefs::offeredRange(key);
    const auto acting = [key, fallback, ranged = range.has_value()] {
        return ranged ? Prefs::integer(key) : settingValue(key, fallback).toInt();
    };
    auto* stepper =
        new Stepper(acting(), range ? int(range->least) : 0,
                    range ? int(range->greatest) : std::numeric_limits<int>::max(), step, std::move(label));
    stepper->onStepped = [key](int v) { Prefs::set(key, v); };
    followSetting(stepper, key, [stepper, acting] { stepper->setValue(acting()); });
    return stepper;
}

}  // namespace kx
