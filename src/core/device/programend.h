#pragma once

#include <QObject>
#include <QString>

#include <functional>

class DeviceConversation;

// How the program ends, for the window program and the command line alike. An end asked for
// (the window's "Beenden", its close box, a desktop logout, Ctrl+C, SIGTERM, SIGHUP) stops the
// running operation at its next safe point; the window gives it a grace time, after which the
// operation's waits end at once. A setup write that has begun is finished through "swr1" first;
// asked again meanwhile, the end may cut it after the command under way (the window asks, a
// second signal cuts). The front end closes when it is told that it may.
class ProgramEnd final : public QObject {
    Q_OBJECT

public:
    enum class Front { Window, CommandLine };

    // How long the window's end waits for a running operation to reach a safe point.
    static constexpr int WindowGraceMs = 3000;
    // The exit code after an interruption (the shell's convention).
    static constexpr int InterruptedExitCode = 130;

    ProgramEnd(DeviceConversation &conversation, Front front, int graceMs = WindowGraceMs,
               QObject *parent = nullptr);

    // The answer to an end request.
    enum class Answer {
        Now,      // nothing runs: the front end closes now
        Wait,     // the running operation ends first; mayClose tells when
        AskToCut, // a second request while a setup write is being finished: ask whether to cut it
    };
    // The user asks the program to end (the window's close).
    Answer request();
    // The user's answer to the question: the setup write is cut after the command under way.
    void cutWrite();
    // While the end waits: what the window's status bar says ("Das Setup wird noch fertig
    // geschrieben …" while a setup write is finished), else nothing.
    QString waitingText() const;
    bool isPending() const { return m_pending; }

    // The n-th interruption (1 for the first): what the program says on it (nothing when empty),
    // and whether the window closes now (its close is an end request).
    struct Interruption {
        QString text;
        bool close = false;
    };
    Interruption interrupt(int count);
    bool wasInterrupted() const { return m_interruptions > 0; }

    // What the program says at its end after an interruption (the command line also after a
    // write cut off by a lost port): the state the device was left in. The window tells a setup
    // write cut off before "swr1" in `cutOffText`'s words (its box's, with the backup).
    static QString stateText(const DeviceConversation &conversation, Front front,
                             const std::function<QString()> &cutOffText = {});
    QString endText(const std::function<QString()> &cutOffText = {}) const {
        return stateText(m_conversation, m_front, cutOffText);
    }

    // The question before a setup write is cut, and its answers' default: "Nein".
    static QString cutWriteQuestion();

signals:
    // The operation that held the end back has ended: the front end may close now.
    void mayClose();

private:
    void onOperationChanged();

    DeviceConversation &m_conversation;
    Front m_front;
    int m_graceMs;
    bool m_pending = false;
    int m_interruptions = 0;
};
