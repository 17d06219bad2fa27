#pragma once
// The upload suites: the editor connected to a virtual pedal with the
// built-in algorithm chosen, and a hook that runs while a command waits for
// the pedal (the upload's handler only returns once the wait is over).

#include <QElapsedTimer>
#include <QLabel>
#include <QTimer>
#include <functional>
#include <memory>
#include <ostream>

#include "platform/Resources.h"
#include "tests/settings/StoredSettingsSupport.h"

class UploadFixture : public StoredSettingsFixture {
protected:
    void TearDown() override {
        ticker_.reset();
        StoredSettingsFixture::TearDown();
    }

    void StartWithAlgorithm() {
        StartEditor();
        ConnectThroughMenu();
        ClickAlgorithm(0);
        Pedal().ClearMessages();
        dialogs->messages.clear();
        clock->sleepLog.clear();
        NewConsoleLines();
    }

    // Runs `turn` on every turn of the event loop from now on, also inside
    // the waits of a handler, until it returns false. A wait that outlives
    // ten seconds of real time is ended by pulling the plug, so a fault can
    // fail the test but never hang it.
    void DuringWaits(std::function<bool()> turn) {
        ticker_ = std::make_unique<QTimer>();
        ticker_->setInterval(0);
        elapsed_.start();
        QObject::connect(ticker_.get(), &QTimer::timeout, [this, turn = std::move(turn)] {
            if (elapsed_.elapsed() > 10000) {
                ticker_->stop();
                ADD_FAILURE() << "the wait did not end";
                driver->Unplug();
                return;
            }
            if (!turn()) ticker_->stop();
        });
        ticker_->start();
    }

    // The texts lblStatus showed, each change once, recorded on every turn.
    std::function<void()> StatusRecorder(QStringList& shown) {
        return [&shown] {
            const QString text = formMain->lblStatus->text();
            if (shown.isEmpty() || shown.back() != text) shown << text;
        };
    }

    // The built-in image as the pedal must receive it.
    static sim::Bytes BuiltInImage() {
        const QByteArray hex = platform::ReadResource(QStringLiteral("QUENDLE_MK3_0008")).trimmed();
        const QByteArray raw = QByteArray::fromHex(hex);
        return sim::Bytes(raw.begin(), raw.end());
    }

private:
    std::unique_ptr<QTimer> ticker_;
    QElapsedTimer elapsed_;
};
