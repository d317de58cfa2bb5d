#pragma once

#include "app/Application.h"
#include "ports/Services.h"

namespace corvane {

// Holds the window deaf to input for the life of the object (see Application::beginBusy).
class BusySpan {
public:
    enum class Cancel { Refused, Allowed };

    explicit BusySpan(Application* application, Cancel cancel = Cancel::Refused)
        : m_application(application) {
        if (m_application) {
            m_application->beginBusy(cancel == Cancel::Allowed);
        }
    }
    ~BusySpan() {
        if (m_application) {
            m_application->endBusy();
        }
    }
    BusySpan(const BusySpan&) = delete;
    BusySpan& operator=(const BusySpan&) = delete;

private:
    Application* m_application;
};

} // namespace corvane
