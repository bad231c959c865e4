#include "sources/ListFileText.h"

#include <QStringDecoder>

namespace Main {

QString fromAnsiCodePage(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::System, QStringDecoder::Flag::Stateless);
    return decoder(bytes);
}

} // namespace Main
