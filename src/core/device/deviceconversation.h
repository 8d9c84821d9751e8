#pragma once

#include "core/device/connectionscan.h"
#include "core/device/devicereadout.h"
#include "core/diag/logfetch.h"
#include "core/diag/statusreport.h"
#include "core/link/deviceprotocol.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class ComLink;
class QTimer;
struct SetupFields;

// The one owner of the conversation with the device: the link, the connection, the device
// model, and which operation talks to the device now. Operations run one at a time; one that is
// asked for while another runs (or, but for the scan, while no device is connected) is refused
// at once and sends nothing. A running operation can be asked to stop: it ends at its next safe
// point (a command being sent is finished, the calibration resistor is switched off again, no
// further port is opened and no further question asked).
//
// Windows and the command line observe it through its signals; neither keeps its own copy of
// this state.
class DeviceConversation final : public QObject {
    Q_OBJECT

public:
    enum class Operation {
        None,
        Scan,
        Readout,
        SetupRead,
        SetupWrite,
        StatusReport,
        Log,
        Simulation,
        Terminal,
        Live,
    };
    Q_ENUM(Operation)

    explicit DeviceConversation(ComLink &link, QObject *parent = nullptr);
    ~DeviceConversation() override;

    bool isConnected() const { return m_connected; }
    // The connected port's number (COM1 … COM8), 0 while disconnected.
    int port() const { return m_port; }
    // The strain-gauge mark: set at the start, cleared at every read-out and set again when the
    // device turns out to be a strain-gauge model.
    bool isStrainGauge() const { return m_strainGauge; }
    void setStrainGauge(bool strainGauge);

    Operation operation() const { return m_operation; }
    bool isBusy() const { return m_operation != Operation::None; }
    // A device operation could start now: idle, connected, and the program not ending.
    bool deviceOperationsAllowed() const;
    // The last operation that ended was stopped before its end (by a stop request, the
    // program's end or a disconnection asked for while it ran).
    bool lastOperationStopped() const { return m_lastStopped; }

    // How far the last setup write came: set commands sent of all, and whether "swr1" (the
    // device stores the setup) went out after the last of them.
    struct WriteProgress {
        int sent = 0;
        int total = 0;
        bool stored = false;
        // Started but not stored: the device's stored setup may be incomplete.
        bool cutOff() const { return sent > 0 && !stored; }
    };
    WriteProgress lastWrite() const { return m_lastWrite; }
    // A setup write has sent its first set command and is being finished through "swr1": a stop
    // at the safe point waits for it.
    bool isFinishingWrite() const { return m_protocol.isFinishing(); }
    bool isShutDown() const { return m_shutDown; }

    // The operations. Each gives nothing (or false) when it was refused.
    // Finds the device on COM1 … COM8; the first port that answers stays open as the connection.
    std::optional<ConnectionScan::Result> connectDevice();
    // The same for the one port COMn.
    std::optional<ConnectionScan::Result> connectDevice(int port);
    // Takes the port that the link has open already as the connection to the device on COMn
    // (a front end that opened a port of its choice); false when none is open or one is busy.
    bool adoptOpenPort(int port);
    // Closes the connection now, or at the running operation's next safe point.
    void disconnectDevice();
    // Reads the device's identity and values; readoutChanged tells each step as the answers come.
    std::optional<ReadoutView> readout(const DeviceReadout::Progress &progress = {});
    // What the last read-out showed (empty before the first and while one begins).
    const ReadoutView &lastReadout() const { return m_lastReadout; }
    // The device's type text and F.Nr as the last read-out, identification or setup print gave
    // them (empty where none did); cleared when the connection ends.
    QString typeText() const { return m_typeText; }
    QString serialNumber() const { return m_serialNumber; }
    // The device's model from the type questions alone ("inpmv", then "inpv" or "p0"), without
    // the calibration resistor; sets the strain-gauge mark. With `serial` also its F.Nr.
    std::optional<ReadoutView> identify(bool serial = false);
    // Every port of first … last asked for its name in turn, each closed again; a KT 290 is
    // identified (type and F.Nr). Needs no connection and leaves none.
    std::optional<QList<ConnectionScan::PortFinding>>
    surveyPorts(int first = ConnectionScan::FirstPort, int last = ConnectionScan::LastPort);
    // The device's setup print (the answer to "spr"); empty when the device gave none.
    std::optional<QString> readSetup();
    // Sends the set commands of a setup with the pauses the device needs and stores it with
    // "swr1". The caller makes sure that the setup is complete. Once the first set command is
    // out, a stop request lets the write run to its "swr1"; only forceStop cuts it after the
    // command under way (lastWrite tells how far it came).
    bool writeSetup(const SetupFields &fields);
    bool statusReport(const StatusReport::LineSink &addLine, QString *setupPrint = nullptr,
                      QStringList *unanswered = nullptr);
    // The device's log; nothing when refused or when the device did not answer.
    std::optional<QString> fetchLog(const LogFetch::Progress &progress = {});
    // Characters typed into the status window's terminal, each sent alone without CR.
    bool sendKeys(const QString &keys);
    // What the device sent in answer to typed keys; nothing while another operation runs, whose
    // answers it would take away.
    QString takeTerminalEcho();
    // A window's own sequence of exchanges (the simulation, the live view) as one operation: the
    // steps get the protocol for as long as the operation runs, and only then.
    bool run(Operation operation, const std::function<void(DeviceProtocol &)> &steps);
    // Ends a simulation on the device ("res"); also while the program ends. A disconnection
    // ends a simulation that was not ended before the port is closed.
    bool endSimulation();

    // The running operation ends at its next safe point.
    void requestStop();
    // The running operation ends after the command under way, a setup write too.
    void forceStop();
    // The program ends: the running operation stops at its next safe point and no other starts.
    // With a grace time, the waits of an operation still running after it end at once (the
    // character pacing still holds), so that it runs out quickly; a setup write that is being
    // finished keeps its pauses until its "swr1".
    void shutDown(std::optional<int> graceMs = std::nullopt);

signals:
    void connectedChanged(bool connected);
    void strainGaugeChanged(bool strainGauge);
    // An operation started, or (None) the running one ended.
    void operationChanged(DeviceConversation::Operation operation);
    // A read-out began (an empty view) or has come one answer further.
    void readoutChanged(const ReadoutView &view);
    // A read-out has ended with this view (also one stopped before its end).
    void readoutFinished(const ReadoutView &view);
    // The port was lost (the device unplugged, the server gone) during this operation
    // (None: between operations).
    void deviceLost(DeviceConversation::Operation operation);
    // The scan opens and asks this port (COMn) now.
    void scanAsking(const QString &port);
    // Bytes sent to (sent) or received from the device, as they cross the port.
    void traffic(bool sent, const QByteArray &bytes);
    // The program has begun to end (the first shutDown): no operation starts any more.
    void shuttingDown();

private:
    class Scope;
    bool mayStart(Operation operation) const;
    std::optional<ConnectionScan::Result> connectDevice(int first, int last);
    void setConnected(bool connected, int port);
    void closeConnection();
    void onPortLost();

    ComLink &m_link;
    DeviceProtocol m_protocol;
    bool m_connected = false;
    int m_port = 0;
    bool m_strainGauge = true;
    Operation m_operation = Operation::None;
    bool m_disconnectPending = false;
    bool m_simulationActive = false;
    bool m_lastStopped = false;
    bool m_shutDown = false;
    QTimer *m_shutDownGrace = nullptr;
    WriteProgress m_lastWrite;
    ReadoutView m_lastReadout;
    QString m_typeText;
    QString m_serialNumber;
};
