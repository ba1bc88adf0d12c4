#include "preview/image_content.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

namespace tarvix {

QImage ReadQtImage(std::span<const std::uint8_t> bytes) {
    const QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<qsizetype>(bytes.size()));
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    return reader.read();
}

}  // namespace tarvix
