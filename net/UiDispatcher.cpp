#include "UiDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace vantorel {

void PostToUiThread(std::function<void()> work)
{
    if (QCoreApplication *application = QCoreApplication::instance())
        QMetaObject::invokeMethod(application, std::move(work), Qt::QueuedConnection);
}

} // namespace vantorel
