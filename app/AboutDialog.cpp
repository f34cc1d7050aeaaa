#include "app/AboutDialog.h"

#include "core/Localisation.h"
#include "ui/Brand.h"
#include "ui/Theme.h"

#include <QApplication>
#include <QLabel>
#include <QVBoxLayout>

namespace kx {

QString AboutDialog::credits()
{
    return kx::tr("Screenshots, annotations, OCR, pins and sharing – made by Orvelle.",
                  "Képernyőképek, jegyzetek, szövegfelismerés, kitűzések és megosztás – az Orvelle-től.",
                  "Screenshots, Anmerkungen, Texterkennung, Pins und Teilen – von Orvelle.");
}

AboutDialog::AboutDialog(QWidget* parent) : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(kx::tr("About Kaptorix", "A Kaptorix névjegye", "Über Kaptorix"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(32, 24, 32, 24);
    column->setSpacing(8);
    auto* icon = new QLabel;
    icon->setPixmap(QApplication::windowIcon().pixmap(64, 64));
    column->addWidget(icon, 0, Qt::AlignHCenter);
    auto* name = new QLabel(QStringLiteral("Kaptorix"));
    name->setFont(Theme::font(15, QFont::Bold));
    column->addWidget(name, 0, Qt::AlignHCenter);
    auto* version = new QLabel(kx::tr("Version %1", "Verzió: %1", "Version %1").arg(AppInfo::version()));
    column->addWidget(version, 0, Qt::AlignHCenter);
    if (Brand::logo(Theme::isDark(palette())))
        column->addWidget(new MakerLogo(34), 0, Qt::AlignHCenter);
    auto* text = new QLabel(credits());
    text->setFont(Theme::font(11));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignHCenter);
    QPalette p = text->palette();
    p.setColor(QPalette::WindowText, Theme::secondary(p));
    text->setPalette(p);
    column->addWidget(text);
    setFixedWidth(340);
}

}  // namespace kx
