#pragma once
// The editor keeps much of its state program-wide: flags, tables, the seams'
// installed implementations, registered resources, the console's waiting
// lines, the application's look and Qt's quit. A test program run directly
// runs all its cases in one process, so whatever one case leaves there would
// be the next one's starting point.
// ProcessStateGuard takes a copy of that state when it is made and puts it
// back when it goes; EditorFixture holds one, so every editor case starts from
// the same state whatever ran before it.

#include <gtest/gtest.h>
#include <QByteArray>
#include <QString>
#include <memory>

class ProcessStateGuard {
public:
    ProcessStateGuard();
    ~ProcessStateGuard();
    ProcessStateGuard(const ProcessStateGuard&) = delete;
    ProcessStateGuard& operator=(const ProcessStateGuard&) = delete;

private:
    struct Saved;
    std::unique_ptr<Saved> saved_;
};

// For cases that change program-wide state without the editor fixture.
class GuardedTest : public ::testing::Test {
private:
    ProcessStateGuard processState_;
};

// Sets an environment variable for a scope and puts back what was there
// (or its absence) at the end, also when an assertion leaves the case early.
class ScopedEnvironment {
public:
    // Unset when value is null.
    ScopedEnvironment(const char* name, const char* value);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    QByteArray name_;
    QByteArray previous_;
    bool wasSet_;
};
