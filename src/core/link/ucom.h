#pragma once

#include "core/link/serialportio.h"

#include <QObject>
#include <QString>

#include <memory>

// Waits the given time while the window system goes on: timers and clicks are handled inside
// the wait, the processor stays idle. Pending events are processed at least once.
void WaitSeconds(double seconds);

// Makes every running and later WaitSeconds return at once; used while the program ends.
void AbortWaits();
// True once the waits were aborted or an event loop was told to quit: the program is ending.
bool WaitsAborted();

// The program's one serial link to the device: one open port, the characters received and not
// yet consumed, and the characters waiting to be written. Bytes and characters map one to one
// (Latin-1) both ways.
class ComLink final : public QObject {
    Q_OBJECT

public:
    static constexpr int PollMaxBytes = 255;
    static constexpr int WriteMaxBytes = 998;
    static constexpr double CharacterPause = 0.05;

    // `localPort` serves the local serial ports, `networkPort` the network addresses
    // ("rfc2217://HOST:PORT", "tcp://HOST:PORT"); either may be a fake.
    ComLink(std::unique_ptr<SerialPortIo> localPort, std::unique_ptr<SerialPortIo> networkPort,
            QObject *parent = nullptr);
    // The local port given; network addresses are served by a NetworkPortIo.
    explicit ComLink(std::unique_ptr<SerialPortIo> localPort, QObject *parent = nullptr);
    ~ComLink() override;

    // Received characters nobody has consumed yet; the link only appends, readers clear.
    QString ComRxText;
    // Characters waiting to be written.
    QString ComTxText;

    // True while a port is open (the handle is valid).
    bool ComHandleValid() const;
    // How many times a port was opened: a new count means a line whose state is not known.
    quint64 ComOpenings() const { return m_openings; }

    // Closes any open port, empties both texts, opens the port ("COM1" … "COM8") and configures
    // it. Empty text on success, otherwise an error text; a port whose configuration failed
    // stays open until ComClose.
    QString ComOpen(const QString &portName, int baudRate);
    void ComClose();
    // After a failed ComOpen: the port exists but this user may not open it, or another
    // program holds it.
    bool ComOpenDenied() const { return m_port->openDenied(); }
    bool ComOpenBusy() const { return m_port->openBusy(); }
    // Moves at most 255 received bytes to the end of ComRxText.
    void ComPoll();
    // Writes the start of ComTxText (at most 998 characters) when the output queue is empty.
    void ComFlushTx();
    // Sends the text one character at a time with a pause of 0.05 s after each character. The
    // pacing holds even while the program ends: a command is never cut short or rushed.
    void ComSendText(const QString &text);

signals:
    // The open port reported that the device is gone; the port is closed.
    void portLost();
    // Bytes handed to the port (`sent`) or taken from it, as they went: for a trace of the line.
    void traffic(bool sent, const QByteArray &bytes);

private:
    // The port that serves the path: the local one or the network one.
    SerialPortIo &portFor(const QString &path) const;

    std::unique_ptr<SerialPortIo> m_localPort;
    std::unique_ptr<SerialPortIo> m_networkPort;
    SerialPortIo *m_port; // the one last opened
    quint64 m_openings = 0;
};
