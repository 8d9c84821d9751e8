#include "core/diag/simulationrun.h"

#include "core/diag/simulationvalues.h"

#include "core/link/allgem.h"
#include "core/link/deviceprotocol.h"

namespace {
// Pauses after the set commands, as the device needs them.
constexpr double InputOnPause = 0.5;
constexpr double StepPause = 0.2;
} // namespace

SimulationRun::SimulationRun(DeviceProtocol &protocol, View &view)
    : m_protocol(protocol)
    , m_view(view) {}

double SimulationRun::run(double inputOffset, bool strainGauge) {
    if (inputOffset == 0.0 && strainGauge)
        inputOffset = measureInputOffset();
    m_view.showProgress(40);
    bool applied = applyInput(inputOffset);
    if (applied) {
        m_view.showProgress(10);
        m_protocol.Pause(StepPause);
        m_view.showProgress(20);
        applied = applyOutput();
    }
    if (applied)
        readSwitchPointsAndRelays();
    return inputOffset;
}

// The device's own resistors add to the bridge signal; the calibration resistor shows by how
// much. An implausible result is not kept, so the next run measures again.
double SimulationRun::measureInputOffset() {
    m_view.showProgress(10);
    if (!m_protocol.Send(QStringLiteral("input 1"), InputOnPause))
        return 0.0;
    m_view.showProgress(20);
    const auto [withResistor, withoutResistor] =
        m_protocol.ReadWithCalibration(false, [this](double) { m_view.showProgress(30); });
    return SimulationValues::offsetFromReadings(withResistor, withoutResistor).value_or(0.0);
}

bool SimulationRun::applyInput(double inputOffset) {
    if (m_view.inputSimulated()) {
        m_protocol.Send(QStringLiteral("input 0"), StepPause);
        const QString text = m_view.inputText();
        const std::optional<double> value = SimulationValues::readUserNumber(text);
        if (!value) {
            m_view.showConversionError(text);
            return false;
        }
        m_protocol.Send(QStringLiteral("mvv0 ") +
                        SimulationValues::deviceInputText(*value + inputOffset));
        return true;
    }
    m_view.clearMeasuredInput();
    m_protocol.Send(QStringLiteral("input 1"), InputOnPause);
    const double input = ask("mvv0");
    if (HasValue(input))
        m_view.showMeasuredInput(input - inputOffset);
    return true;
}

bool SimulationRun::applyOutput() {
    if (m_view.outputSimulated()) {
        const QString text = m_view.outputText();
        // Checked like the input, before anything of the output goes to the device.
        if (!SimulationValues::readUserNumber(text)) {
            m_view.showConversionError(text);
            return false;
        }
        m_protocol.Send(QStringLiteral("maaus 0"), StepPause);
        m_protocol.Send(QStringLiteral("mas ") + CommaToPoint(text.trimmed()));
        return true;
    }
    m_protocol.Send(QStringLiteral("maaus 1"), StepPause);
    m_view.showOutput(ask("mas"));
    return true;
}

void SimulationRun::readSwitchPointsAndRelays() {
    m_view.showProgress(30);
    m_protocol.Pause(StepPause);
    m_view.showProgress(40);
    m_view.showSwitchPoint(1, ask("al1ma"));
    m_view.showProgress(50);
    m_protocol.Pause(StepPause);
    m_view.showProgress(60);
    m_view.showSwitchPoint(2, ask("al2ma"));
    m_view.showProgress(70);
    m_protocol.Pause(StepPause);
    m_view.showProgress(85);
    m_view.showRelays(ask("P2"));
    m_view.showProgress(100);
    m_protocol.Pause(StepPause);
}

double SimulationRun::ask(const char *command) {
    return m_protocol.DeviceQueryNumber(QLatin1String(command));
}
