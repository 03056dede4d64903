#include "resource.h"

#include <QtCore/qglobal.h>
#include <mutex>

// Outside any namespace: the registration function has global linkage.
static void InitImages() { Q_INIT_RESOURCE(orvendel_images); }

void InitOrvendelResources() {
    static std::once_flag once;
    std::call_once(once, InitImages);
}

QString PngResource(int id) { return QString(":/png/%1.png").arg(id); }
QString BitmapResource(int id) { return QString(":/bitmap/%1.png").arg(id); }
QString IconResource(int id, int size) { return QString(":/icon/%1-%2.png").arg(id).arg(size); }
