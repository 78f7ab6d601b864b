#include "application_icon.h"

#include <QFile>

namespace ringlark {

QIcon applicationIcon()
{
    QIcon icon;
    for (const QString &file : {QStringLiteral(":/ringlark/icons/16x16/ringlark.png"),
                                QStringLiteral(":/ringlark/icons/32x32/ringlark.png")}) {
        if (QFile::exists(file))
            icon.addFile(file);
    }
    return icon;
}

} // namespace ringlark
