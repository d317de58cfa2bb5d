#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <vector>

class QWidget;

namespace corvane {

// Whether an event of this type is the user's input: mouse, keys, touch, drops and the like.
bool isUserInput(QEvent::Type type);

// Keeps the program deaf while long work runs on the main thread. The work keeps the window
// painted by handling events from inside it; mouse and key input among them is discarded here,
// where holding it back would replay it once the work is done, onto whatever the window shows
// then. Spans nest. Two things get input during a span: the cancel control, when the innermost
// span lets the user cancel, and a modal dialog the work itself opens (a question it asks),
// though only input made after that dialog came up.
class InputGate : public QObject {
    Q_OBJECT
public:
    explicit InputGate(QObject* parent = nullptr);
    ~InputGate() override;

    void setCancelControl(QWidget* control);

    void begin(bool cancellable);
    void end();
    bool isClosed() const { return !m_spans.empty(); }

    // Handles the events that are waiting (paints, timers, replies), discarding the input.
    void pump();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void discardWaitingInput();
    bool isAdmitted(QObject* receiver) const;
    bool reachesCancelControl(QObject* receiver, const QEvent* event) const;

    std::vector<bool> m_spans; // per open span: may the user cancel it
    QPointer<QWidget> m_cancel;
    std::vector<QPointer<QWidget>> m_admitted;
    bool m_discarding = false;
};

} // namespace corvane
