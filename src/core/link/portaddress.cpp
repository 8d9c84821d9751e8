#include "core/link/portaddress.h"

#include "core/link/portnames.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QRegularExpression>

namespace {

bool plainHost(const QString &host) {
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9._-]+$"));
    return name.match(host).hasMatch();
}

// "HOST:PORT" after the scheme; false when it is not of that form.
bool readHostPort(const QString &rest, QString &host, quint16 &port) {
    QString portText;
    if (rest.startsWith(u'[')) {
        const qsizetype close = rest.indexOf(u']');
        if (close < 0 || rest.mid(close + 1, 1) != QLatin1String(":"))
            return false;
        host = rest.mid(1, close - 1);
        if (QHostAddress(host).protocol() != QAbstractSocket::IPv6Protocol)
            return false;
        portText = rest.mid(close + 2);
    } else {
        const qsizetype colon = rest.lastIndexOf(u':');
        if (colon < 0)
            return false;
        host = rest.left(colon);
        if (!plainHost(host))
            return false;
        portText = rest.mid(colon + 1);
    }
    if (portText.endsWith(u'/'))
        portText.chop(1);
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,5}$"));
    if (!digits.match(portText).hasMatch())
        return false;
    const int number = portText.toInt();
    if (number < 1 || number > 65535)
        return false;
    port = quint16(number);
    return !host.isEmpty();
}

} // namespace

PortAddress PortAddress::parse(const QString &given) {
    PortAddress address;
    address.text = given.trimmed();
    const QString &text = address.text;
    if (text.isEmpty())
        return address;
    static const QRegularExpression com(QStringLiteral("^COM([0-9]+)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    if (const QRegularExpressionMatch m = com.match(text); m.hasMatch()) {
        const int n = m.captured(1).toInt();
        if (n >= 1 && n <= PortNames::PortCount) {
            address.kind = Kind::Com;
            address.comNumber = n;
        }
        return address;
    }
    static const QRegularExpression scheme(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]*)://(.*)$"));
    const QRegularExpressionMatch m = scheme.match(text);
    if (!m.hasMatch()) {
        address.kind = Kind::Path;
        return address;
    }
    const QString name = m.captured(1).toLower();
    const Kind kind = name == QLatin1String("rfc2217") ? Kind::Rfc2217
                      : name == QLatin1String("tcp")   ? Kind::Tcp
                                                       : Kind::Invalid;
    if (kind != Kind::Invalid && readHostPort(m.captured(2), address.host, address.port))
        address.kind = kind;
    else
        address.host.clear();
    return address;
}

QString PortAddress::problem() const {
    if (kind != Kind::Invalid)
        return {};
    if (text.startsWith(QLatin1String("COM"), Qt::CaseInsensitive) && !text.contains(u'/'))
        return QCoreApplication::translate("PortAddress",
                                           "%1: unbekannte Schnittstelle (COM1 … COM%2)")
            .arg(text)
            .arg(PortNames::PortCount);
    return QCoreApplication::translate(
               "PortAddress", "%1: ungültige Adresse (rfc2217://HOST:PORT oder tcp://HOST:PORT)")
        .arg(text);
}
