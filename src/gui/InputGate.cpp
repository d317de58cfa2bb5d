#include "gui/InputGate.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace corvane {

namespace {

bool isMouseClick(QEvent::Type type) {
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
        return true;
    default:
        return false;
    }
}

} // namespace

bool isUserInput(QEvent::Type type) {
    if (isMouseClick(type)) {
        return true;
    }
    switch (type) {
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ShortcutOverride:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::Gesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
        return true;
    default:
        return false;
    }
}

namespace {

// The widget an event for `receiver` is meant for: the widget itself, or the top-level widget of
// a window.
QWidget* topLevelOf(QObject* receiver, const std::vector<QPointer<QWidget>>& candidates) {
    if (auto* widget = qobject_cast<QWidget*>(receiver)) {
        return widget->window();
    }
    if (auto* window = qobject_cast<QWindow*>(receiver)) {
        for (const QPointer<QWidget>& candidate : candidates) {
            if (candidate && candidate->windowHandle() == window) {
                return candidate;
            }
        }
    }
    return nullptr;
}

} // namespace

InputGate::InputGate(QObject* parent) : QObject(parent) {}

InputGate::~InputGate() {
    if (isClosed() && QCoreApplication::instance()) {
        QCoreApplication::instance()->removeEventFilter(this);
    }
}

void InputGate::setCancelControl(QWidget* control) {
    m_cancel = control;
}

void InputGate::begin(bool cancellable) {
    if (m_spans.empty() && QCoreApplication::instance()) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    m_spans.push_back(cancellable);
}

void InputGate::end() {
    if (m_spans.empty()) {
        return;
    }
    m_spans.pop_back();
    if (m_spans.empty()) {
        // Input that came in while the last of the work ran is still waiting: it goes too.
        discardWaitingInput();
        if (QCoreApplication::instance()) {
            QCoreApplication::instance()->removeEventFilter(this);
        }
        m_admitted.clear();
    }
}

void InputGate::pump() {
    const bool ownSpan = !isClosed();
    if (ownSpan) {
        begin(false);
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (ownSpan) {
        end();
    }
}

void InputGate::discardWaitingInput() {
    const bool was = m_discarding;
    m_discarding = true;
    // Timers and sockets wait: their handlers could act on a window that is not ready.
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers |
                                    QEventLoop::X11ExcludeTimers);
    m_discarding = was;
}

bool InputGate::isAdmitted(QObject* receiver) const {
    QWidget* top = topLevelOf(receiver, m_admitted);
    return top && std::any_of(m_admitted.begin(), m_admitted.end(),
                              [top](const QPointer<QWidget>& admitted) { return admitted == top; });
}

bool InputGate::reachesCancelControl(QObject* receiver, const QEvent* event) const {
    if (m_spans.empty() || !m_spans.back() || !m_cancel || !m_cancel->isEnabled() ||
        !m_cancel->isVisible() || !isMouseClick(event->type())) {
        return false;
    }
    if (auto* widget = qobject_cast<QWidget*>(receiver)) {
        return widget == m_cancel || m_cancel->isAncestorOf(widget);
    }
    // Clicks from the window system reach the window first, then the widget under the pointer.
    auto* window = qobject_cast<QWindow*>(receiver);
    QWidget* top = m_cancel->window();
    if (!window || top->windowHandle() != window) {
        return false;
    }
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    QWidget* hit = top->childAt(mouse->position().toPoint());
    return hit && (hit == m_cancel || m_cancel->isAncestorOf(hit));
}

bool InputGate::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ShowToParent) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->isWindow() && widget->isModal() && !isAdmitted(widget)) {
            // Input made before the dialog came up was meant for the window behind it; it
            // must not answer the dialog.
            discardWaitingInput();
            m_admitted.emplace_back(widget);
        }
        return false;
    }
    if (!isUserInput(event->type())) {
        return false;
    }
    if (!m_discarding && (isAdmitted(watched) || reachesCancelControl(watched, event))) {
        return false;
    }
    return true;
}

} // namespace corvane
