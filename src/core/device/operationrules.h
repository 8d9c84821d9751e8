#pragma once

#include "core/device/deviceconversation.h"

#include <QObject>

// What the user may start, decided from the device conversation's state alone. The windows only
// apply it to their controls.
//
// While an operation runs, nothing else that talks to the device can be started, and nothing
// opens a window of its own (whose event loop would halt the operation where it stands) or
// changes the setup; "Trennen" stops the operation at its next safe point. Once the program
// ends, nothing starts any more.
class OperationRules final : public QObject {
    Q_OBJECT

public:
    // The conversation's state that the rules read.
    struct State {
        bool connected = false;
        DeviceConversation::Operation operation = DeviceConversation::Operation::None;
        bool shutDown = false;
        bool strainGauge = true;
    };

    struct Allowed {
        // The connect button: "Verbinden" (the scan) while idle, "Trennen" while connected, also
        // during an operation (but the scan), to stop it at its next safe point.
        bool connectButton = false;
        // The device operations: read-out, setup read and write, log, simulation, status report,
        // live view, and a diagnostic window's own "Aktualisieren".
        bool deviceOperations = false;
        // What opens a window of its own or changes the setup: file open and save, default
        // setup, switch points, the about box; a diagnostic window's run of its own (which the
        // conversation refuses while no device is connected).
        bool idleActions = false;
        // The setting-range editor, for strain-gauge models only.
        bool rangeEditor = false;
        // A scan without a window of the main window's (the live view's reconnection).
        bool reconnect = false;
        // Saving what a window has received: not while the device talks.
        bool saveResults = false;

        bool operator==(const Allowed &other) const;
        bool operator!=(const Allowed &other) const { return !(*this == other); }
    };

    static Allowed forState(const State &state);
    static State stateOf(const DeviceConversation &conversation);

    explicit OperationRules(const DeviceConversation &conversation, QObject *parent = nullptr);

    Allowed allowed() const { return m_allowed; }

signals:
    // What is allowed has changed (also sent when an operation has ended).
    void changed(const OperationRules::Allowed &allowed);

private:
    void update();

    const DeviceConversation &m_conversation;
    Allowed m_allowed;
};

Q_DECLARE_METATYPE(OperationRules::Allowed)
