#pragma once

#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>

class DeviceProtocol;

// What the main window shows of a device after one read-out.
struct ReadoutView {
    static inline const QString NoOutput = QString(7, QLatin1Char(' '));
    // The output field until "mas" has been asked.
    static inline const QString OutputNotAsked = QString(9, QLatin1Char(' '));

    QString typeText;
    bool showStrainGaugePanel = false;
    bool showCurrentPanel = false;
    bool strainGauge = false;
    QString swVersion;
    QString hwVersion;
    QString serialNumber;
    QString setupLock;
    bool setupLockHint = false;
    std::optional<QString> errorText;
    QString inputStrainGauge;  // Panel1
    QString inputCurrentPanel; // Panel2
    QString output = OutputNotAsked;
    QString switchPoint1;
    QString switchPoint2;
    // Bit value 1 relay 1, bit value 2 relay 2; nothing when the device gave no relay states.
    std::optional<int> relayBits;

    // The device's values behind the texts; nothing where the device gave none.
    std::optional<int> serialValue;
    std::optional<bool> setupLocked;
    std::optional<int> errorCode;     // 0: no error
    std::optional<double> inputValue; // mV/V on strain-gauge models, mA otherwise
    std::optional<double> outputValue;
    std::optional<double> switchPoint1Value;
    std::optional<double> switchPoint2Value;
};

// Asks the connected device for everything the main window shows, in the device's order:
// "inpmv", "inpv" or "p0", "ver", "fnr", "tasp", "fehl", the input signal ("kalr 1", "mvv0",
// "kalr 0", "mvv0" on strain-gauge models), "mas", "al1ma", "al2ma", "P2".
class DeviceReadout final {
public:
    // Gets the view after each answer, so that the window fills as the answers arrive.
    using Progress = std::function<void(const ReadoutView &view)>;

    explicit DeviceReadout(DeviceProtocol &protocol, Progress progress = {});

    ReadoutView run();

    // The device's type text, panels and strain-gauge mark from the type questions.
    void readType(ReadoutView &view);
    // The F.Nr ("fnr").
    void readSerial(ReadoutView &view);
    static void readVersions(const QString &answer, ReadoutView &view);
    static QString errorText(int code);

private:
    bool deviceGone() const;
    void report(const ReadoutView &view) const;
    void readIdentity(ReadoutView &view);
    void readInput(ReadoutView &view);
    void readOutputs(ReadoutView &view);
    QString askMilliamps(const QString &command, std::optional<double> &value);

    DeviceProtocol &m_protocol;
    Progress m_progress;
};

// The read-out as one JSON object, as scripts and the device history take it; null where the
// device gave no value.
QJsonObject ReadoutJson(const ReadoutView &view);
