// Every page in English, German and Hungarian rendered offscreen into PNG artefacts, and no
// text wider than the widget that shows it: nothing clipped, nothing elided.
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "platform/Keychain.h"
#include "settings/HotKeyRecorder.h"
#include "settings/SettingsView.h"
#include "settings/UploadService.h"

#include "TestSupport.h"
#include "fakes/FakeSecretStore.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionComboBox>

namespace kx {
namespace {

// Where a widget's text does not fit, in words; empty when everything fits.
QString clipping(QWidget* w, QWidget* window)
{
    const QFontMetrics fm(w->font());
    // Inside a scroll area the visible width is the viewport's, else the window's.
    QWidget* clip = window;
    for (auto* area : window->findChildren<QScrollArea*>())
        clip = area->viewport()->isAncestorOf(w) ? area->viewport() : clip;
    const QRect r(w->mapTo(window, QPoint()), w->size());
    const QRect c(clip->mapTo(window, QPoint()), clip->size());
    if (r.left() < c.left() || r.right() > c.right())
        return QStringLiteral("runs outside the visible area");
    int need = 0, have = 0;
    if (auto* label = qobject_cast<QLabel*>(w)) {
        if (label->text().isEmpty() || !label->pixmap().isNull())
            return {};
        if (label->wordWrap()) {
            need = label->heightForWidth(label->width());
            have = label->height();
        } else {
            need = fm.horizontalAdvance(label->text());
            have = label->contentsRect().width();
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        const QString text = edit->text().isEmpty() ? edit->placeholderText() : edit->text();
        need = edit->echoMode() == QLineEdit::Password ? 0 : fm.horizontalAdvance(text) + 8;
        have = edit->width();
    } else if (auto* box = qobject_cast<QComboBox*>(w)) {
        QStyleOptionComboBox opt;
        opt.initFrom(box);
        opt.editable = false;
        const QRect field =
            box->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, box);
        for (int i = 0; i < box->count(); ++i)
            need = std::max(need, fm.horizontalAdvance(box->itemText(i)));
        have = field.width();
    } else if (auto* rec = qobject_cast<HotKeyRecorder*>(w)) {
        need = QFontMetrics(QFont(rec->font().family(), 13, QFont::DemiBold)).horizontalAdvance(rec->text()) +
               12;
        have = rec->width();
    } else if (auto* button = qobject_cast<QAbstractButton*>(w)) {
        if (button->text().isEmpty())
            return {};
        need = button->sizeHint().width();
        have = button->width();
    } else {
        return {};
    }
    if (need > have)
        return QStringLiteral("needs %1, has %2").arg(need).arg(have);
    return {};
}

// One queued upload with curl's usual error: the page must keep the window's width.
class OneQueuedUpload : public UploadService {
public:
    QFuture<QString> testConnection() override { return QtFuture::makeReadyFuture(QString()); }
    QList<Item> items() const override
    {
        return {{QUuid::createUuid(), "Kaptorix 2026-12-07 06.48.41 – Firefox – a long window title.png", 4,
                 "Failed to connect to 127.0.0.1 port 40123 after 0 ms: Couldn't connect to server"}};
    }
    void remove(const QUuid&) override {}
    bool retrying() const override { return false; }
    QFuture<RetrySummary> retryAll() override { return QtFuture::makeReadyFuture(RetrySummary{}); }
};

TEST(SettingsRender, EveryTabInThreeLanguagesFitsItsWidgets)
{
    test::FakeSecretStore keyring;
    Keychain::setStore(&keyring);
    OneQueuedUpload uploads;
    UploadService::setShared(&uploads);
    const QString dir = test::artifactDir("settings");
    for (const char* lang : {"en", "de", "hu"}) {
        Lang::overrideForTests(lang);
        Prefs::registerDefaults();
        for (const char* proto : {"webdav", "sftp"}) {
            Prefs::set("remote.protocol", proto);
            Prefs::set("imageFormat", "jpg");  // the quality slider shows
            QWidget window;
            window.setFixedSize(760, 580);
            auto* view = new SettingsView(SettingsNav::shared(), &window);
            view->setGeometry(window.rect());
            window.show();
            for (SettingsTab tab : SettingsTabs::all) {
                if (QString(proto) == "sftp" && tab != SettingsTab::upload)
                    continue;
                SettingsNav::shared().setTab(tab);
                QApplication::processEvents();
                auto* area = view->page()->findChild<QScrollArea*>();
                int shot = 0;
                for (int y = 0;; y += 400) {
                    if (area)
                        area->verticalScrollBar()->setValue(y);
                    QApplication::processEvents();
                    window.grab().save(QStringLiteral("%1/%2-%3-%4-%5.png")
                                           .arg(dir, lang)
                                           .arg(int(tab))
                                           .arg(proto)
                                           .arg(shot++));
                    if (!area || y >= area->verticalScrollBar()->maximum())
                        break;
                }
                for (QWidget* w : window.findChildren<QWidget*>()) {
                    const QString why = w->isVisible() ? clipping(w, &window) : QString();
                    EXPECT_TRUE(why.isEmpty())
                        << lang << " tab " << int(tab) << ": " << w->metaObject()->className() << " \""
                        << qPrintable(w->property("text").toString()) << "\" " << qPrintable(why);
                }
            }
        }
    }
    Lang::overrideForTests("en");
    UploadService::setShared(nullptr);
    Keychain::setStore(nullptr);
}

}  // namespace
}  // namespace kx
