#include "platform/qt/byte_codec.h"

#include <QStringDecoder>

#include "platform/byte_chars.h"

namespace platform::qt {

QString decodeBytes(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
            out += QChar(u'\n');
            ++i;
        } else {
            out += QChar(byteChar(b));
        }
    }
    return out;
}

QString decodeUiText(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString s = utf8(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (utf8.hasError()) return decodeBytes(bytes);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

std::string encodeUiText(const QString& text) {
    return text.toStdString();
}

}  // namespace platform::qt
