#include "BusyState.h"

#include <QMetaObject>

void BusyState::setPointer(int value) {
    m_pointer = value;
    emit pointerChanged(value);
}

BusyState::RunScope::RunScope(BusyState& state) : m_state(state), m_started(!state.m_running) {
    m_state.m_running = true;
}

BusyState::RunScope::~RunScope() {
    if (m_started)
        m_state.m_running = false;
}

BusyState::RebuildScope::RebuildScope(BusyState& state) : m_state(state) {
    ++m_state.m_rebuilds;
}

BusyState::RebuildScope::~RebuildScope() {
    if (--m_state.m_rebuilds == 0)
        m_state.releaseHeld();
}

void BusyState::runOrHold(std::function<void()> call) {
    if (isRebuilding()) {
        m_held.push_back(std::move(call));
        return;
    }
    call();
}

void BusyState::releaseHeld() {
    // Queued rather than run here: the rebuild's caller finishes first. A held call that meets
    // another rebuild waits again.
    std::vector<std::function<void()>> held;
    held.swap(m_held);
    for (std::function<void()>& call : held) {
        QMetaObject::invokeMethod(
            this, [this, call = std::move(call)] { runOrHold(call); }, Qt::QueuedConnection);
    }
}
