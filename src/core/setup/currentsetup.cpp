#include "core/setup/currentsetup.h"

CurrentSetup::CurrentSetup(QObject *parent)
    : QObject(parent) {}

void CurrentSetup::set(const SetupFields &fields, Origin origin, const QString &filePath) {
    m_fields = fields;
    m_origin = origin;
    m_filePath = origin == Origin::File ? filePath : QString();
    emit fieldsChanged();
    emit originChanged(origin);
}

bool CurrentSetup::applyText(const QString &text, Origin origin, const QString &filePath) {
    if (!SetupTextAccepted(text))
        return false;
    setSourceText(text);
    set(SetupFieldsFromText(text), origin, filePath);
    return true;
}

void CurrentSetup::setDeviceText(const QString &text) {
    if (applyText(text, Origin::Device))
        return;
    setSourceText(text);
    m_origin = Origin::Device;
    m_filePath.clear();
    emit originChanged(m_origin);
}

void CurrentSetup::setSourceText(const QString &text) {
    m_sourceText = text;
    emit sourceTextChanged(text);
}

void CurrentSetup::clearValues() {
    m_fields = ClearedSetupFields();
    emit cleared();
}
