#include "core/diag/liverun.h"

#include "core/device/deviceconversation.h"
#include "core/device/operationrules.h"
#include "core/link/deviceprotocol.h"

namespace {

// While the run is held, the view's buttons are looked at this often; no question goes out
// meanwhile.
constexpr double HeldPause = 0.2;

// The events the run notes in the recording (the chart and the CSV show them).
constexpr const char *HoldMark = "Anhalten";
constexpr const char *ResumeMark = "Weiter";
constexpr const char *CalibrateMark = "Neu kalibrieren";
constexpr const char *LostMark = "Gerät getrennt";
constexpr const char *BackMark = "Wieder verbunden";

} // namespace

LiveRun::LiveRun(DeviceConversation &conversation, QObject *parent)
    : QObject(parent)
    , m_conversation(conversation) {
    connect(&m_conversation, &DeviceConversation::connectedChanged, this,
            &LiveRun::onConnectedChanged);
}

LiveRun::~LiveRun() = default;

void LiveRun::setClock(LiveSampler::Clock clock) {
    m_clock = std::move(clock);
}

void LiveRun::setViewOpen(bool open) {
    m_viewOpen = open;
}

bool LiveRun::mayReconnect() const {
    return !m_running && m_sampler &&
           OperationRules::forState(OperationRules::stateOf(m_conversation)).reconnect;
}

bool LiveRun::run(bool resume) {
    if (m_running || !m_viewOpen || !m_conversation.deviceOperationsAllowed())
        return false;
    m_port = m_conversation.port();
    if (!resume || !m_sampler) {
        m_sampler = std::make_unique<LiveSampler>(m_conversation.isStrainGauge(), m_clock);
        // The device as it was last identified: after a reconnection, the one that answered.
        m_sampler->setIdentity(m_conversation.typeText(), m_conversation.serialNumber());
        emit recordingStarted();
    }
    m_held = false;
    m_calibrationWanted = false;
    m_running = true;
    emit runningChanged(true);
    const bool ran = m_conversation.run(DeviceConversation::Operation::Live,
                                        [this](DeviceProtocol &protocol) { loop(protocol); });
    m_running = false;
    if (ran && m_state != State::Disconnected)
        setState(m_conversation.isConnected() ? State::Ended : State::Disconnected);
    emit runningChanged(false);
    return ran;
}

// Runs until the conversation is stopped (the view closed, the device gone, the program's end):
// the protocol then asks nothing more.
void LiveRun::loop(DeviceProtocol &protocol) {
    m_sampler->readSwitchPoints(protocol);
    emit switchPointsRead();
    m_calibrationWanted = m_sampler->isStrainGauge();
    while (!protocol.ended()) {
        if (m_calibrationWanted) {
            m_calibrationWanted = false;
            setState(State::Calibrating);
            m_sampler->calibrate(protocol);
            continue;
        }
        if (m_held) {
            setState(State::Held);
            protocol.Pause(HeldPause);
            continue;
        }
        setState(State::Running);
        const qsizetype marks = m_sampler->marks().size();
        if (const std::optional<LiveSample> sample = m_sampler->cycle(protocol))
            emit sampled(*sample);
        else if (m_sampler->marks().size() > marks)
            emit marksChanged();
    }
}

bool LiveRun::reconnect() {
    if (m_running || m_conversation.isConnected() || m_conversation.isBusy())
        return false;
    setState(State::Connecting);
    if (m_port > 0)
        m_conversation.connectDevice(m_port);
    else
        m_conversation.connectDevice();
    const std::optional<ReadoutView> device =
        m_conversation.isConnected() ? m_conversation.identify(true) : std::nullopt;
    if (!device || !m_viewOpen) {
        setState(State::Disconnected);
        return false;
    }
    const bool same = m_sampler && device->serialNumber == m_sampler->serialNumber() &&
                      m_conversation.isStrainGauge() == m_sampler->isStrainGauge();
    if (same)
        addMark(QString::fromUtf8(BackMark));
    return run(same);
}

void LiveRun::setHeld(bool held) {
    m_held = held;
    addMark(QString::fromUtf8(held ? HoldMark : ResumeMark));
}

void LiveRun::requestCalibration() {
    m_calibrationWanted = true;
    addMark(QString::fromUtf8(CalibrateMark));
}

void LiveRun::stop() {
    if (m_running)
        m_conversation.requestStop();
}

void LiveRun::setState(State state) {
    if (m_state == state)
        return;
    m_state = state;
    emit stateChanged(state);
}

void LiveRun::addMark(const QString &text) {
    if (!m_sampler)
        return;
    m_sampler->addMark(text);
    emit marksChanged();
}

// The loss stands in the recording, where the values end.
void LiveRun::onConnectedChanged(bool connected) {
    if (connected)
        return;
    setState(State::Disconnected);
    if (m_running)
        addMark(QString::fromUtf8(LostMark));
}
