#include "core/system/textfile.h"

#include "core/system/filewriter.h"

#include <QStringDecoder>

#include <algorithm>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Windows-1252 from 0x80 to 0x9F; the five unassigned codes map to themselves as Windows does.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encodeCp1252(QChar c) {
    const char16_t u = c.unicode();
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return char(u);
    for (int i = 0; i < 32; ++i) {
        if (Cp1252High[i] == u)
            return char(0x80 + i);
    }
    return '?';
}

QString decodeCp1252(const QByteArray &bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes.at(i));
        text[i] = QChar(b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

std::optional<QString> decodeWith(QStringConverter::Encoding encoding, QByteArrayView bytes) {
    QStringDecoder decoder(encoding, QStringConverter::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Text files hold no control characters beyond line ends, tabs, page breaks and the old
// end-of-file mark.
bool looksLikeText(const QString &text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 32 && u != '\t' && u != '\n' && u != '\v' && u != '\f' && u != '\r' && u != 0x1A)
            return false;
    }
    return true;
}

QString withCrLf(const QString &text) {
    QString result;
    result.reserve(text.size() + text.size() / 16);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r')) {
            result += CrLf;
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            result += CrLf;
        } else {
            result += c;
        }
    }
    return result;
}

} // namespace

QByteArray TextFile::encode(const QStringList &lines) {
    QByteArray bytes;
    for (const QString &line : lines) {
        for (const QChar c : line + CrLf)
            bytes += encodeCp1252(c);
    }
    return bytes;
}

std::optional<QString> TextFile::decode(const QByteArray &bytes) {
    std::optional<QString> text;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        text = decodeWith(QStringConverter::Utf8, QByteArrayView(bytes).sliced(3));
    else if (bytes.startsWith("\xFF\xFE"))
        text = decodeWith(QStringConverter::Utf16LE, QByteArrayView(bytes).sliced(2));
    else if (bytes.startsWith("\xFE\xFF"))
        text = decodeWith(QStringConverter::Utf16BE, QByteArrayView(bytes).sliced(2));
    else
        text = decodeCp1252(bytes);
    if (!text || !looksLikeText(*text))
        return std::nullopt;
    return withCrLf(*text);
}

QString TextFile::save(const QString &path, const QStringList &lines) {
    return FileWriter::save(path, encode(lines));
}

QString TextFile::withDefaultExtension(const QString &path) {
    const qsizetype separator =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (path.indexOf(QLatin1Char('.'), separator + 1) >= 0)
        return path;
    return path + QStringLiteral(".txt");
}
