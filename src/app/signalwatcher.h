#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace quillory {

// Turns SIGHUP, SIGTERM and SIGINT into a call on the event loop, so that a
// closed terminal, a logout or Ctrl+C closes the program the same way
// File > Exit does.
class SignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalWatcher(std::function<void()> onSignal, QObject* parent = nullptr);
    ~SignalWatcher() override;

private:
    std::function<void()> m_onSignal;
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace quillory
