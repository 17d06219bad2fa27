#pragma once
// --quit-when-idle: ends the program once its main window has been painted and
// the event loop has nothing left to do. The start-up bench runs the editor
// and a bare Qt window with it, so both stop at the same point.
//
// "Nothing left to do": after the first paint, the loop is about to wait; a
// probe event of the lowest priority is then posted, so every event queued so
// far is handled before it, and the loop's next wait after the probe ends the
// program.
//
// When the environment holds QUENDLE_STARTUP_T0_NS (a CLOCK_MONOTONIC time in
// nanoseconds, taken by the bench just before it started the program), the
// nanoseconds from then to the idle loop, and the processor time the program
// had used by then, are printed on standard output as
// "idle-after-ns N cpu-ns C".

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>
#include <cstdio>
#include <ctime>

class QuitWhenIdle : public QObject {
public:
    // Watches `window` (not yet shown); lives as its child.
    explicit QuitWhenIdle(QWidget* window) : QObject(window), window_(window) {
        QCoreApplication::instance()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // A paint pass runs whole within one event, so the loop can only wait
        // again once the window and its children are on the screen.
        if (event->type() == QEvent::Paint && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->window() == window_) {
            QCoreApplication::instance()->removeEventFilter(this);
            QObject::connect(QAbstractEventDispatcher::instance(),
                             &QAbstractEventDispatcher::aboutToBlock, this, [this] { Waiting(); });
        }
        return false;
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() != kProbe) return QObject::event(event);
        probed_ = true;
        return true;
    }

private:
    static constexpr QEvent::Type kProbe = static_cast<QEvent::Type>(QEvent::User + 715);

    void Waiting() {
        if (!probeSent_) {
            probeSent_ = true;
            QCoreApplication::postEvent(this, new QEvent(kProbe), Qt::LowEventPriority);
            return;
        }
        if (!probed_ || done_) return;
        done_ = true;
        const QByteArray t0 = qgetenv("QUENDLE_STARTUP_T0_NS");
        if (!t0.isEmpty()) {
            timespec now{}, cpu{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
            const long long ns = static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec;
            const long long cpuNs = static_cast<long long>(cpu.tv_sec) * 1000000000LL + cpu.tv_nsec;
            std::printf("idle-after-ns %lld cpu-ns %lld\n", ns - t0.toLongLong(), cpuNs);
            std::fflush(stdout);
        }
        QCoreApplication::quit();
    }

    QWidget* window_;
    bool probeSent_ = false;
    bool probed_ = false;
    bool done_ = false;
};
