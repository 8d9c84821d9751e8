#pragma once

#include "core/setup/setupfields.h"

#include <QObject>
#include <QString>

// The setup the program holds: the nine fields a write sends, where they came from, and the
// setup text they were last read from. Reading from the device, a file or the default, editing,
// saving, comparing and writing all work on this one object; the setup dialogs show it and hand
// their edits back to it.
class CurrentSetup final : public QObject {
    Q_OBJECT

public:
    enum class Origin {
        Default, // the program's start or "Default"
        Device,  // read from the device (also a read that gave no setup)
        File,    // opened from a setup file
        Changed, // edited in a setup dialog
    };
    Q_ENUM(Origin)

    explicit CurrentSetup(QObject *parent = nullptr);

    const SetupFields &fields() const { return m_fields; }
    Origin origin() const { return m_origin; }
    // The file the setup came from (Origin::File), as given.
    QString filePath() const { return m_filePath; }
    // The device print or file text the setup was last read from.
    QString sourceText() const { return m_sourceText; }

    void set(const SetupFields &fields, Origin origin, const QString &filePath = {});
    void setDefault() { set(DefaultSetupFields(), Origin::Default); }
    // Reads a setup text (device print or file) through the one reader; false, and nothing
    // changed, when the text holds no setup.
    bool applyText(const QString &text, Origin origin, const QString &filePath = {});
    // The device print as it came, also when it holds no setup: the origin is the device.
    void setDeviceText(const QString &text);
    // A read has begun: every value is taken away, the origin stays.
    void clearValues();

signals:
    // New fields were set (not by clearValues).
    void fieldsChanged();
    // clearValues ran: the fields have no values now.
    void cleared();
    // Set again with each setting of the fields and with each device print.
    void originChanged(CurrentSetup::Origin origin);
    void sourceTextChanged(const QString &text);

private:
    void setSourceText(const QString &text);

    SetupFields m_fields = DefaultSetupFields();
    Origin m_origin = Origin::Default;
    QString m_filePath;
    QString m_sourceText;
};
