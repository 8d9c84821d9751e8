#include "core/device/deviceconversation.h"

#include "core/link/ucom.h"
#include "core/setup/setupfields.h"

#include <QTimer>

namespace {
// The device stores the setup in its permanent memory after "swr1" and needs this long.
constexpr double StoreSetupSeconds = 1.0;
} // namespace

// Marks one operation as running for as long as it lives and tells the observers; at its end a
// disconnection asked for meanwhile is carried out.
class DeviceConversation::Scope final {
public:
    Scope(DeviceConversation &owner, Operation operation)
        : m_owner(owner) {
        m_owner.m_protocol.setStop(m_owner.m_shutDown ? DeviceProtocol::Stop::AtSafePoint
                                                      : DeviceProtocol::Stop::None);
        m_owner.m_operation = operation;
        emit m_owner.operationChanged(operation);
    }

    ~Scope() {
        m_owner.m_protocol.setFinishing(false);
        m_owner.m_lastStopped = m_owner.m_protocol.stopping() || m_owner.m_disconnectPending;
        // A forced stop stays in force while the program ends.
        if (m_owner.m_protocol.stop() != DeviceProtocol::Stop::Now)
            m_owner.m_protocol.setStop(m_owner.m_shutDown ? DeviceProtocol::Stop::AtSafePoint
                                                          : DeviceProtocol::Stop::None);
        m_owner.m_operation = Operation::None;
        if (m_owner.m_disconnectPending) {
            m_owner.m_disconnectPending = false;
            m_owner.closeConnection();
        }
        emit m_owner.operationChanged(Operation::None);
    }

    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

private:
    DeviceConversation &m_owner;
};

DeviceConversation::DeviceConversation(ComLink &link, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_protocol(link) {
    connect(&m_link, &ComLink::portLost, this, &DeviceConversation::onPortLost);
    connect(&m_link, &ComLink::traffic, this, &DeviceConversation::traffic);
}

DeviceConversation::~DeviceConversation() = default;

void DeviceConversation::setStrainGauge(bool strainGauge) {
    if (m_strainGauge == strainGauge)
        return;
    m_strainGauge = strainGauge;
    emit strainGaugeChanged(strainGauge);
}

bool DeviceConversation::deviceOperationsAllowed() const {
    return !isBusy() && m_connected && !m_shutDown;
}

bool DeviceConversation::mayStart(Operation operation) const {
    if (isBusy() || m_shutDown)
        return false;
    return operation == Operation::Scan ? !m_connected : m_connected;
}

void DeviceConversation::setConnected(bool connected, int port) {
    m_port = connected ? port : 0;
    if (m_connected == connected)
        return;
    m_connected = connected;
    if (!connected) {
        m_typeText.clear();
        m_serialNumber.clear();
    }
    emit connectedChanged(connected);
}

// The adapter was pulled or the device vanished: the port is closed already, and a running
// operation asks nothing more.
void DeviceConversation::onPortLost() {
    m_simulationActive = false;
    if (m_connected)
        emit deviceLost(m_operation);
    setConnected(false, 0);
}

std::optional<ConnectionScan::Result> DeviceConversation::connectDevice() {
    return connectDevice(ConnectionScan::FirstPort, ConnectionScan::LastPort);
}

std::optional<ConnectionScan::Result> DeviceConversation::connectDevice(int port) {
    return connectDevice(port, port);
}

std::optional<ConnectionScan::Result> DeviceConversation::connectDevice(int first, int last) {
    if (!mayStart(Operation::Scan))
        return std::nullopt;
    Scope scope(*this, Operation::Scan);
    const ConnectionScan::Result result =
        ConnectionScan(m_protocol).run(first, last, [this](const QString &port) {
            emit scanAsking(port);
        });
    if (result.found && m_link.ComHandleValid())
        setConnected(true, result.port);
    return result;
}

bool DeviceConversation::adoptOpenPort(int port) {
    if (isBusy() || m_shutDown || !m_link.ComHandleValid())
        return false;
    setConnected(true, port);
    return true;
}

void DeviceConversation::disconnectDevice() {
    if (isBusy()) {
        m_disconnectPending = true;
        requestStop();
        return;
    }
    closeConnection();
}

// A simulation still on is ended first; other exchanges are held back while "res" goes out.
void DeviceConversation::closeConnection() {
    if (m_simulationActive && m_link.ComHandleValid()) {
        m_simulationActive = false;
        m_operation = Operation::Simulation;
        m_protocol.SendAlways(QStringLiteral("res"));
        m_operation = Operation::None;
    }
    m_link.ComClose();
    setConnected(false, 0);
}

std::optional<ReadoutView> DeviceConversation::readout(const DeviceReadout::Progress &progress) {
    if (!mayStart(Operation::Readout))
        return std::nullopt;
    Scope scope(*this, Operation::Readout);
    setStrainGauge(false);
    m_lastReadout = ReadoutView();
    emit readoutChanged(m_lastReadout);
    const ReadoutView view = DeviceReadout(m_protocol, [this, &progress](const ReadoutView &view) {
                                 setStrainGauge(view.strainGauge);
                                 m_lastReadout = view;
                                 emit readoutChanged(view);
                                 if (progress)
                                     progress(view);
                             }).run();
    m_typeText = view.typeText;
    if (!view.serialNumber.isEmpty())
        m_serialNumber = view.serialNumber;
    emit readoutFinished(view);
    return view;
}

std::optional<ReadoutView> DeviceConversation::identify(bool serial) {
    if (!mayStart(Operation::Readout))
        return std::nullopt;
    Scope scope(*this, Operation::Readout);
    ReadoutView view;
    DeviceReadout readout(m_protocol);
    readout.readType(view);
    setStrainGauge(view.strainGauge);
    m_typeText = view.typeText;
    if (serial && !m_protocol.ended())
        readout.readSerial(view);
    if (!view.serialNumber.isEmpty())
        m_serialNumber = view.serialNumber;
    return view;
}

std::optional<QList<ConnectionScan::PortFinding>> DeviceConversation::surveyPorts(int first,
                                                                                  int last) {
    if (!mayStart(Operation::Scan))
        return std::nullopt;
    Scope scope(*this, Operation::Scan);
    return ConnectionScan(m_protocol)
        .survey(
            [this](ConnectionScan::PortFinding &finding) {
                ReadoutView view;
                DeviceReadout readout(m_protocol);
                readout.readType(view);
                if (!m_protocol.ended())
                    readout.readSerial(view);
                finding.typeText = view.typeText;
                finding.serialNumber = view.serialNumber;
            },
            first, last);
}

std::optional<QString> DeviceConversation::readSetup() {
    if (!mayStart(Operation::SetupRead))
        return std::nullopt;
    Scope scope(*this, Operation::SetupRead);
    const QString print = m_protocol.DeviceQuery(QStringLiteral("spr"));
    if (const QString serial = SetupSerialNumber(print); !serial.isEmpty())
        m_serialNumber = serial;
    return print;
}

bool DeviceConversation::writeSetup(const SetupFields &fields) {
    if (!mayStart(Operation::SetupWrite))
        return false;
    Scope scope(*this, Operation::SetupWrite);
    const QList<SetupCommand> commands = SetupCommands(fields, m_strainGauge);
    m_lastWrite = WriteProgress{0, int(commands.size()), false};
    for (const SetupCommand &command : commands) {
        // A write that stopped half-way (port lost, forced stop) is not stored.
        if (!m_protocol.Send(command.text, command.pauseSeconds))
            return true;
        ++m_lastWrite.sent;
        // Half a setup in the device is worse than a few more seconds: once the first set
        // command is out, the write is finished through "swr1".
        m_protocol.setFinishing(true);
    }
    m_lastWrite.stored = m_protocol.Send(QStringLiteral("swr1"), StoreSetupSeconds);
    return true;
}

bool DeviceConversation::statusReport(const StatusReport::LineSink &addLine, QString *setupPrint,
                                      QStringList *unanswered) {
    if (!mayStart(Operation::StatusReport))
        return false;
    Scope scope(*this, Operation::StatusReport);
    StatusReport report(
        m_protocol, m_strainGauge,
        [this] { return LogFetch(m_protocol).run().value_or(QString()); }, addLine);
    report.build();
    if (setupPrint)
        *setupPrint = report.setupPrint();
    if (unanswered)
        *unanswered = report.unanswered();
    return true;
}

std::optional<QString> DeviceConversation::fetchLog(const LogFetch::Progress &progress) {
    if (!mayStart(Operation::Log))
        return std::nullopt;
    Scope scope(*this, Operation::Log);
    return LogFetch(m_protocol).run(progress);
}

bool DeviceConversation::sendKeys(const QString &keys) {
    if (!mayStart(Operation::Terminal))
        return false;
    Scope scope(*this, Operation::Terminal);
    for (const QChar key : keys) {
        if (m_protocol.ended())
            break;
        m_link.ComSendText(QString(key));
    }
    // What was typed is left in the device's input line (Esc, a word without CR): the next
    // question begins with a clean line.
    m_protocol.markLineUnclean();
    return true;
}

QString DeviceConversation::takeTerminalEcho() {
    if ((isBusy() && m_operation != Operation::Terminal) || !m_connected)
        return {};
    m_link.ComPoll();
    const QString received = m_link.ComRxText;
    m_link.ComRxText.clear();
    return received;
}

bool DeviceConversation::run(Operation operation,
                             const std::function<void(DeviceProtocol &)> &steps) {
    if (!mayStart(operation))
        return false;
    Scope scope(*this, operation);
    m_simulationActive = m_simulationActive || operation == Operation::Simulation;
    steps(m_protocol);
    return true;
}

bool DeviceConversation::endSimulation() {
    if (isBusy() || !m_connected)
        return false;
    Scope scope(*this, Operation::Simulation);
    m_simulationActive = false;
    m_protocol.SendAlways(QStringLiteral("res"));
    return true;
}

void DeviceConversation::requestStop() {
    if (isBusy() && m_protocol.stop() == DeviceProtocol::Stop::None)
        m_protocol.setStop(DeviceProtocol::Stop::AtSafePoint);
}

void DeviceConversation::forceStop() {
    m_protocol.setStop(DeviceProtocol::Stop::Now);
}

void DeviceConversation::shutDown(std::optional<int> graceMs) {
    if (!m_shutDown) {
        m_shutDown = true;
        emit shuttingDown();
    }
    if (m_protocol.stop() == DeviceProtocol::Stop::None)
        m_protocol.setStop(DeviceProtocol::Stop::AtSafePoint);
    if (!graceMs || !isBusy() || m_shutDownGrace)
        return;
    m_shutDownGrace = new QTimer(this);
    m_shutDownGrace->setInterval(*graceMs);
    connect(m_shutDownGrace, &QTimer::timeout, this, [this] {
        if (!isBusy())
            m_shutDownGrace->stop();
        else if (!isFinishingWrite())
            AbortWaits();
    });
    m_shutDownGrace->start();
}
