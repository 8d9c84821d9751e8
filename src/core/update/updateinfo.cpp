#include "core/update/updateinfo.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

// The update information is a few lines; anything far larger is not one.
constexpr qint64 MaxInfoFileBytes = 3'100'000;

const QString ProgramShaKey = QStringLiteral("SHA256");
const QString UpdaterShaKey = QStringLiteral("UpdaterSHA256");

bool sameName(const QString &a, const QString &b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

UpdateInfo UpdateInfo::FromText(const QByteArray &bytes) {
    UpdateInfo info;
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = decode(bytes).split(lineBreak);
    SectionEntries *current = nullptr;
    for (const QString &rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        if (line.startsWith(u'[')) {
            const qsizetype close = line.indexOf(u']');
            const QString name = line.mid(1, close < 0 ? -1 : close - 1).trimmed();
            info.m_sections.append({name, {}});
            current = &info.m_sections.last();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (current == nullptr || equals < 0)
            continue;
        current->entries.append(
            {line.left(equals).trimmed(), unquote(line.mid(equals + 1).trimmed())});
    }
    return info;
}

UpdateInfo UpdateInfo::FromFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return FromText(file.read(MaxInfoFileBytes));
}

std::optional<QString> UpdateInfo::value(const QString &section, const QString &key) const {
    for (const SectionEntries &candidate : m_sections) {
        if (!sameName(candidate.name, section))
            continue;
        for (const Entry &entry : candidate.entries) {
            if (sameName(entry.key, key))
                return entry.value;
        }
        // Only the first section of a name is read.
        return std::nullopt;
    }
    return std::nullopt;
}

QString UpdateInfo::name() const {
    return value(QLatin1String(Section), QStringLiteral("Name"))
        .value_or(QLatin1String(MissingName));
}

QString UpdateInfo::version() const {
    return value(QLatin1String(Section), QStringLiteral("Version"))
        .value_or(QLatin1String(MissingVersion));
}

QString UpdateInfo::programSha256() const {
    return value(QLatin1String(Section), ProgramShaKey).value_or(QString());
}

QString UpdateInfo::updaterSha256() const {
    return value(QLatin1String(Section), UpdaterShaKey).value_or(QString());
}

bool UpdateInfo::offersProgram(const QString &runningFileName) const {
    const QString offeredName = name();
    if (offeredName == QLatin1String(MissingName) || offeredName != runningFileName)
        return false;
    return version() != QLatin1String(MissingVersion);
}

QString UpdateInfo::NewProgramFileName(const QString &name) {
    const qsizetype point = name.lastIndexOf(u'.');
    const QString stem = point < 0 ? name : name.left(point);
    return stem + QLatin1String(NewProgramExtension);
}

QString UpdateInfo::QuestionText(const QString &offeredVersion, const QString &currentVersionLine) {
    return QStringLiteral("downloadbare Version: ") + offeredVersion +
           QStringLiteral("     ihre aktuelle Version: ") + currentVersionLine +
           QStringLiteral("     Downloaden?");
}

QUrl UpdateInfo::ServerUrl(const QString &fileName) {
    QString base = qEnvironmentVariable("VTK290_UPDATE_URL");
    if (base.isEmpty())
        base = QStringLiteral(VTK290_UPDATE_URL_DEFAULT);
    QUrl url(base);
    QString path = url.path(QUrl::FullyDecoded);
    if (!path.endsWith(u'/'))
        path += u'/';
    // Decoded mode: blanks, "%" or "#" in the file name stay part of the name.
    url.setPath(path + fileName, QUrl::DecodedMode);
    return url;
}

QString UpdateInfo::decode(const QByteArray &bytes) {
    if (auto encoding = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*encoding);
        return decoder.decode(bytes);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

QString UpdateInfo::unquote(const QString &value) {
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}
