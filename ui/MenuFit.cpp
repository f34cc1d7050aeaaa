#include "ui/MenuFit.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>

namespace kx {

namespace {

class ScrollingMenuStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override
    {
        if (hint == SH_Menu_Scrollable)
            return 1;
        return QProxyStyle::styleHint(hint, option, widget, data);
    }
};

}  // namespace

void scrollWhenTall(QMenu* menu)
{
    // One style for every such menu, over the application's own; made again should the
    // application's style be replaced.
    static QPointer<QStyle> style;
    static QString base;
    if (!style || base != QApplication::style()->name()) {
        base = QApplication::style()->name();
        style = new ScrollingMenuStyle(QStyleFactory::create(base));
        style->setParent(qApp);
    }
    menu->setStyle(style);
}

}  // namespace kx
