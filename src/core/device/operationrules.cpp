#include "core/device/operationrules.h"

bool OperationRules::Allowed::operator==(const Allowed &other) const {
    return connectButton == other.connectButton && deviceOperations == other.deviceOperations &&
           idleActions == other.idleActions && rangeEditor == other.rangeEditor &&
           reconnect == other.reconnect && saveResults == other.saveResults;
}

OperationRules::Allowed OperationRules::forState(const State &state) {
    const bool busy = state.operation != DeviceConversation::Operation::None;
    const bool idle = !busy && !state.shutDown;
    Allowed allowed;
    allowed.connectButton = idle || (!state.shutDown && state.connected &&
                                     state.operation != DeviceConversation::Operation::Scan);
    allowed.deviceOperations = idle && state.connected;
    allowed.idleActions = idle;
    allowed.rangeEditor = idle && state.strainGauge;
    allowed.reconnect = idle && !state.connected;
    allowed.saveResults = !busy;
    return allowed;
}

OperationRules::State OperationRules::stateOf(const DeviceConversation &conversation) {
    return {conversation.isConnected(), conversation.operation(), conversation.isShutDown(),
            conversation.isStrainGauge()};
}

OperationRules::OperationRules(const DeviceConversation &conversation, QObject *parent)
    : QObject(parent)
    , m_conversation(conversation)
    , m_allowed(forState(stateOf(conversation))) {
    connect(&conversation, &DeviceConversation::connectedChanged, this, &OperationRules::update);
    connect(&conversation, &DeviceConversation::operationChanged, this, &OperationRules::update);
    connect(&conversation, &DeviceConversation::strainGaugeChanged, this, &OperationRules::update);
    connect(&conversation, &DeviceConversation::shuttingDown, this, &OperationRules::update);
}

// Sent whenever the conversation's state moves, also when nothing allowed has changed: an
// operation's end is where a window goes on with what waited for it.
void OperationRules::update() {
    m_allowed = forState(stateOf(m_conversation));
    emit changed(m_allowed);
}
