#pragma once
// A named pipe in place of a file the editor reads. Opening a pipe to read
// waits for a writer, and reading it waits for data; so that code that waits
// fails its test rather than hanging it, a writer opens the pipe whenever a
// reader is waiting (from a second after the pipe was made) and closes it
// again at once (the reader then sees an empty file). released() says how
// often a reader had to be let go.

#include <QString>
#include <atomic>
#include <thread>

class NamedPipe {
public:
    explicit NamedPipe(const QString& path);
    ~NamedPipe();
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    bool made() const { return made_; }
    int released() const { return released_; }

private:
    QString path_;
    bool made_ = false;
    std::atomic<bool> done_{false};
    std::atomic<int> released_{0};
    std::thread writer_;
};
