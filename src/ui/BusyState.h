#pragma once

#include <QObject>
#include <functional>
#include <vector>

// What the window is busy with, in one place, shared by every subsystem: the mouse pointer value
// (0 default, 11 busy, 99 hand), which is also the handlers' busy flag; a deletion run or put-back
// under way; a rebuild under way, during which every other handler waits; the window closed.
class BusyState : public QObject {
    Q_OBJECT
public:
    static constexpr int PointerDefault = 0;
    static constexpr int PointerBusy = 11;
    static constexpr int PointerHand = 99;

    using QObject::QObject;

    int pointer() const { return m_pointer; }
    // Sets the value; the window shows the matching pointer (pointerChanged).
    void setPointer(int value);
    bool isBusy() const { return m_pointer == PointerBusy; }

    // A deletion run or a put-back is under way.
    bool isRunning() const { return m_running; }
    // Marks a run under way for its life; started() is false when another run already was.
    class RunScope {
    public:
        explicit RunScope(BusyState& state);
        ~RunScope();
        RunScope(const RunScope&) = delete;
        RunScope& operator=(const RunScope&) = delete;
        bool started() const { return m_started; }

    private:
        BusyState& m_state;
        bool m_started;
    };

    // A rebuild lets the window paint while it lists; no other handler may run in its middle.
    bool isRebuilding() const { return m_rebuilds > 0; }
    // Marks a rebuild under way for its life; at its end the calls held meanwhile are queued, in
    // the order they came.
    class RebuildScope {
    public:
        explicit RebuildScope(BusyState& state);
        ~RebuildScope();
        RebuildScope(const RebuildScope&) = delete;
        RebuildScope& operator=(const RebuildScope&) = delete;

    private:
        BusyState& m_state;
    };
    // Runs the call now, or, while a rebuild is under way, holds it and runs it as a queued call
    // once the rebuild has finished.
    void runOrHold(std::function<void()> call);

    // The window was closed: the program is ending and nothing more may run.
    bool isUnloaded() const { return m_unloaded; }
    void setUnloaded() { m_unloaded = true; }

signals:
    void pointerChanged(int value);

private:
    void releaseHeld();

    int m_pointer = PointerDefault;
    bool m_running = false;
    int m_rebuilds = 0;
    std::vector<std::function<void()>> m_held;
    bool m_unloaded = false;
};
