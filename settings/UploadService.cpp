#include "settings/UploadService.h"

#include "core/Localisation.h"

#include <QPointer>

namespace kx {

namespace {
QPointer<UploadService>& installed()
{
    static QPointer<UploadService> service;
    return service;
}
}  // namespace

UploadService* UploadService::shared()
{
    return installed() ? installed().data() : &program();
}

void UploadService::setShared(UploadService* service)
{
    installed() = service;
}

QString retrySummaryText(const UploadService::RetrySummary& s)
{
    return kx::tr(QStringLiteral("%1 of %2 sent.").arg(s.sent).arg(s.total),
                  QStringLiteral("%1 / %2 elküldve.").arg(s.sent).arg(s.total),
                  QStringLiteral("%1 von %2 gesendet.").arg(s.sent).arg(s.total));
}

}  // namespace kx
