// The console's history files may be truncated, corrupt or written by anything.
#include "HistoryArchive.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    CHistoryArchive archive(&buffer, CHistoryArchive::EMode::Load);
    // The layout of a history file: a count, then that many strings.
    quint16 count = 0;
    if (!archive.ReadCount(count))
        return 0;
    for (quint16 i = 0; i < count; ++i) {
        QString entry;
        if (!archive.ReadString(entry))
            break;
    }
    return 0;
}
