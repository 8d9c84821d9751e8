// readout: what the main window shows of the device, as lines or as JSON.
#include "cli/clitexts.h"
#include "cli/commands.h"
#include "core/device/deviceconversation.h"

#include <QJsonDocument>

#include <iterator>

namespace Cli {

namespace {

constexpr const char *ProgressReadout = "Gerät wird ausgelesen …";
constexpr const char *NoReadout = "Das Gerät hat nicht vollständig geantwortet; ohne Wert: %1.";

constexpr const char *ReadoutLabels[] = {
    "Typ",      "Hardwareversion", "Softwareversion", "F.Nr", "Setupsperre",
    "Fehler",   "Eingang",         "Ausgang",         "SP1",  "SP2",
    "Relais 1", "Relais 2",
};
constexpr const char *NoError = "keiner";
constexpr const char *RelayClosed = "geschlossen";
constexpr const char *RelayOpen = "offen";

QString relayText(const std::optional<int> &bits, int bit) {
    if (!bits)
        return {};
    return text((*bits & bit) ? RelayClosed : RelayOpen);
}

// What the main window shows as the input: the field of the panel it shows.
QString inputText(const ReadoutView &view) {
    return view.showStrainGaugePanel ? view.inputStrainGauge : view.inputCurrentPanel;
}

// The read-out as text lines, "label: value", as the main window shows it.
QStringList readoutLines(const ReadoutView &view) {
    const QString values[] = {
        view.typeText,
        view.hwVersion,
        view.swVersion,
        view.serialNumber,
        view.setupLock,
        view.errorText ? *view.errorText : text(NoError),
        inputText(view),
        view.output,
        view.switchPoint1,
        view.switchPoint2,
        relayText(view.relayBits, 1),
        relayText(view.relayBits, 2),
    };
    QStringList lines;
    for (std::size_t i = 0; i < std::size(ReadoutLabels); ++i) {
        const QString label = text(ReadoutLabels[i]) + QLatin1Char(':');
        lines << (label.leftJustified(17) + values[i].trimmed()).trimmed();
    }
    return lines;
}

// The read-out's fields without value, by their labels.
QStringList missingReadoutFields(const ReadoutView &view) {
    const std::pair<bool, const char *> fields[] = {
        {!view.typeText.isEmpty(), "Typ"},
        {bool(view.serialValue), "F.Nr"},
        {bool(view.setupLocked), "Setupsperre"},
        {bool(view.errorCode), "Fehler"},
        {bool(view.inputValue), "Eingang"},
        {bool(view.outputValue), "Ausgang"},
        {bool(view.switchPoint1Value), "SP1"},
        {bool(view.switchPoint2Value), "SP2"},
        {bool(view.relayBits), "Relais 1, Relais 2"},
    };
    QStringList missing;
    for (const auto &[given, label] : fields) {
        if (!given)
            missing << text(label);
    }
    return missing;
}

} // namespace

int Readout(Session &session, const QStringList &) {
    if (const int code = session.connectDevice())
        return code;
    int answers = 0;
    const std::optional<ReadoutView> view =
        session.conversation().readout([&session, &answers](const ReadoutView &) {
            session.progress(text(ProgressReadout) + QStringLiteral(" %1").arg(++answers));
        });
    session.endProgress();
    if (const int code = session.afterOperation(view.has_value()))
        return code;
    if (session.options().json)
        outJson(QJsonDocument(ReadoutJson(*view)));
    else
        out(readoutLines(*view).join(QLatin1Char('\n')));
    // The read-out is given as far as it goes; a script learns that it is not whole.
    if (const QStringList missing = missingReadoutFields(*view); !missing.isEmpty()) {
        err(text(NoReadout).arg(missing.join(QStringLiteral(", "))));
        return NoAnswer;
    }
    return Done;
}

} // namespace Cli
