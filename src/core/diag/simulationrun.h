#pragma once

#include <QString>

class DeviceProtocol;

// One run of the simulation: applies the chosen simulated input or driven output and reads back
// what the device makes of it (switch points, relays). The choice is read at the step that
// uses it, so a changed choice counts from the next step. Every exchange goes through the
// protocol, so a stop request ends the run at its next safe point.
class SimulationRun final {
public:
    // What the user chose and where the run shows what it finds.
    class View {
    public:
        virtual ~View() = default;
        virtual bool inputSimulated() const = 0;
        virtual bool outputSimulated() const = 0;
        // The texts as typed, with a decimal comma.
        virtual QString inputText() const = 0;
        virtual QString outputText() const = 0;
        virtual void showProgress(int position) = 0;
        // The measured input is about to be asked; its old value goes.
        virtual void clearMeasuredInput() = 0;
        // Only called with a value.
        virtual void showMeasuredInput(double millivoltsPerVolt) = 0;
        // NoValue when the device gave none (the same below).
        virtual void showOutput(double milliamps) = 0;
        virtual void showSwitchPoint(int point, double milliamps) = 0;
        virtual void showRelays(double relayStates) = 0;
        // The run ends at this step: the text is no number.
        virtual void showConversionError(const QString &text) = 0;
    };

    SimulationRun(DeviceProtocol &protocol, View &view);

    // Runs once; the input correction is measured first on a strain-gauge device while it is
    // 0. Gives the correction to keep for the next run.
    double run(double inputOffset, bool strainGauge);

private:
    double measureInputOffset();
    bool applyInput(double inputOffset);
    bool applyOutput();
    void readSwitchPointsAndRelays();
    double ask(const char *command);

    DeviceProtocol &m_protocol;
    View &m_view;
};
