#pragma once

#include "core/diag/livesampler.h"

#include <QObject>

#include <memory>

class DeviceConversation;
class DeviceProtocol;

// The live view's run, without windows: one live operation of the device conversation that
// reads the switch points, calibrates strain-gauge models (at the start and whenever asked),
// asks for the live values cycle after cycle and pauses while held, until the conversation
// stops it (the view closed, the device gone, the program's end). A run after a reconnection to
// the same device (F.Nr and model) goes on with the recording; any other begins a new one. It
// tells what it does by its signals; the view shows them and forwards the user's wishes.
class LiveRun final : public QObject {
    Q_OBJECT

public:
    enum class State {
        Idle,
        Running,
        Held,
        Calibrating,
        Ended,
        Disconnected,
        Connecting,
    };
    Q_ENUM(State)

    explicit LiveRun(DeviceConversation &conversation, QObject *parent = nullptr);
    ~LiveRun() override;

    // Where the samples take their time from; the current local time by default.
    void setClock(LiveSampler::Clock clock);
    // The view is open: a run starts only then, and a reconnection finishing after the view was
    // closed starts none.
    void setViewOpen(bool open);

    State state() const { return m_state; }
    bool isRunning() const { return m_running; }
    bool isHeld() const { return m_held; }
    // The recording of the present (or last) run; nothing before the first run.
    const LiveSampler *sampler() const { return m_sampler.get(); }
    // A reconnection could be tried now: a recording exists, no run, and the device is gone.
    bool mayReconnect() const;

    // Runs the live operation until the conversation stops it; false when it could not start.
    // With `resume`, the last recording goes on; otherwise a new one begins.
    bool run(bool resume = false);
    // Asks the recording's port again (every port before the first run); when the device
    // answers, a run starts: the same device goes on with the recording, another begins a new
    // one.
    bool reconnect();
    // Holds the run (no question goes out meanwhile) or lets it go on; noted in the recording.
    void setHeld(bool held);
    // The next step calibrates again (strain-gauge models); noted in the recording.
    void requestCalibration();
    // The run ends at its next safe point (the calibration resistor switched off again).
    void stop();

signals:
    void stateChanged(LiveRun::State state);
    // A run begins (`running`) or has ended.
    void runningChanged(bool running);
    // A new recording begins: what was shown of the last one goes.
    void recordingStarted();
    // The switch points have been read (LiveSampler::switchPoint1, switchPoint2).
    void switchPointsRead();
    // A sample was taken and kept.
    void sampled(const LiveSample &sample);
    // Marks were added to the recording.
    void marksChanged();

private:
    void loop(DeviceProtocol &protocol);
    void setState(State state);
    void addMark(const QString &text);
    void onConnectedChanged(bool connected);

    DeviceConversation &m_conversation;
    LiveSampler::Clock m_clock;
    std::unique_ptr<LiveSampler> m_sampler;
    State m_state = State::Idle;
    bool m_viewOpen = false;
    bool m_running = false;
    bool m_held = false;
    bool m_calibrationWanted = false;
    int m_port = 0; // the port of the recording
};
