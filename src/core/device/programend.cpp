#include "core/device/programend.h"

#include "core/device/deviceconversation.h"

#include <QTimer>

namespace {

constexpr const char *FinishingWriteStatus = "Das Setup wird noch fertig geschrieben …";
constexpr const char *CutWriteQuestion =
    "Das Setup wird gerade in den KT 290 geschrieben und ist in wenigen Sekunden fertig.\n\n"
    "Trotzdem sofort beenden? Das im KT 290 gespeicherte Setup ist dann womöglich "
    "unvollständig.";
constexpr const char *WindowEnded = "vtk290 wurde beendet. Jeder Befehl hat das Gerät ganz "
                                    "erreicht, der Kalibrierwiderstand ist aus.";

// The command line's words on an interruption.
constexpr const char *Stopping = "Wird abgebrochen …";
constexpr const char *FinishingWrite =
    "Das Setup wird noch fertig geschrieben … (ein zweites Strg+C bricht nach dem laufenden "
    "Befehl ab; das im Gerät gespeicherte Setup ist dann womöglich unvollständig)";
constexpr const char *ForcedStop = "Wird nach dem laufenden Befehl abgebrochen …";
// … and on the state it left the device in.
constexpr const char *InterruptedSafely =
    "Abgebrochen. Jeder Befehl hat das Gerät ganz erreicht, der Kalibrierwiderstand ist aus: "
    "das Gerät arbeitet normal weiter.";
constexpr const char *InterruptedAfterWrite =
    "Abgebrochen, nachdem das Setup vollständig geschrieben und im Gerät gespeichert wurde "
    "(\"swr1\"); es wurde nicht mehr zurückgelesen.";
constexpr const char *WriteCutOff =
    "Das Setup wurde nicht vollständig geschrieben: nach %1 von %2 Befehlen unterbrochen, ohne "
    "\"swr1\". Das im Gerät gespeicherte Setup ist womöglich unvollständig.";

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

ProgramEnd::ProgramEnd(DeviceConversation &conversation, Front front, int graceMs, QObject *parent)
    : QObject(parent)
    , m_conversation(conversation)
    , m_front(front)
    , m_graceMs(graceMs) {
    connect(&m_conversation, &DeviceConversation::operationChanged, this,
            &ProgramEnd::onOperationChanged);
}

ProgramEnd::Answer ProgramEnd::request() {
    if (!m_conversation.isBusy()) {
        m_pending = false;
        m_conversation.shutDown();
        return Answer::Now;
    }
    const bool ask = m_pending && m_conversation.isFinishingWrite();
    // The end waits for a safe point, but not for ever.
    m_conversation.shutDown(m_graceMs);
    m_pending = true;
    return ask ? Answer::AskToCut : Answer::Wait;
}

void ProgramEnd::cutWrite() {
    m_conversation.forceStop();
}

QString ProgramEnd::waitingText() const {
    return m_conversation.isFinishingWrite() ? text(FinishingWriteStatus) : QString();
}

// The window: the first interruption ends the program as "Beenden" does, a second one cuts even
// a setup write after the command under way. The command line: the first stops the command at
// its next safe point (a setup write is finished first), a second one cuts.
ProgramEnd::Interruption ProgramEnd::interrupt(int count) {
    ++m_interruptions;
    const bool finishing = m_conversation.isFinishingWrite();
    Interruption interruption;
    if (m_front == Front::Window) {
        if (count > 1) {
            m_conversation.forceStop();
            interruption.close = !m_pending;
        } else {
            if (finishing)
                interruption.text = text(FinishingWriteStatus);
            interruption.close = true;
        }
        return interruption;
    }
    if (count == 1) {
        interruption.text = text(finishing ? FinishingWrite : Stopping);
        m_conversation.shutDown();
    } else {
        if (finishing)
            interruption.text = text(ForcedStop);
        m_conversation.forceStop();
    }
    return interruption;
}

QString ProgramEnd::stateText(const DeviceConversation &conversation, Front front,
                              const std::function<QString()> &cutOffText) {
    const DeviceConversation::WriteProgress write = conversation.lastWrite();
    if (front == Front::Window)
        return write.cutOff() && cutOffText ? cutOffText() : text(WindowEnded);
    if (write.cutOff())
        return text(WriteCutOff).arg(write.sent).arg(write.total);
    return text(write.stored ? InterruptedAfterWrite : InterruptedSafely);
}

QString ProgramEnd::cutWriteQuestion() {
    return text(CutWriteQuestion);
}

// The end goes on once the operation that held it back has ended; the front end closes from the
// event loop, outside the operation's last signal.
void ProgramEnd::onOperationChanged() {
    if (m_conversation.isBusy() || !m_pending)
        return;
    m_pending = false;
    QTimer::singleShot(0, this, &ProgramEnd::mayClose);
}
