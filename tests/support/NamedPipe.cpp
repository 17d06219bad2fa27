#include "tests/support/NamedPipe.h"

#include <QFile>
#include <chrono>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

NamedPipe::NamedPipe(const QString& path) : path_(path) {
    const QByteArray name = QFile::encodeName(path);
    made_ = ::mkfifo(name.constData(), 0644) == 0;
    if (!made_) return;
    writer_ = std::thread([this, name] {
        // The editor's own check opens the pipe for a moment without waiting;
        // a poll that met that open would count it as a reader let go. The
        // cases read right after making the pipe, so the first poll comes
        // only once they are done; a read that does wait is let go then.
        for (int waited = 0; waited < 1000 && !done_; waited += 20)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        while (!done_) {
            // A write-only open that does not wait succeeds only while a
            // reader has the pipe open, that is, while one waits on it.
            const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (fd >= 0) {
                ::close(fd);
                ++released_;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
}

NamedPipe::~NamedPipe() {
    done_ = true;
    if (writer_.joinable()) writer_.join();
}
