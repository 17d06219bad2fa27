#pragma once
// A window that start-up registers in its place in the creation order but
// builds only when something first uses it: a window that is not shown at
// start then costs nothing at start. It stands where the window's global
// pointer stood, so every use reads as before: the first ->, * or conversion
// to a pointer builds the window and runs its FormCreate() handler, and from
// then on it is that window. Comparing it with a pointer never builds it.

#include <cstddef>
#include <functional>
#include <utility>

template <class W>
class DeferredWindow {
public:
    DeferredWindow() = default;
    DeferredWindow(const DeferredWindow&) = delete;
    DeferredWindow& operator=(const DeferredWindow&) = delete;

    // From now on the first use builds the window with `construct`, then runs
    // its FormCreate(). Replaces any earlier registration (not the window).
    void Defer(std::function<W*()> construct) {
        window_ = nullptr;
        construct_ = std::move(construct);
    }
    // Forgets the window and any registration (the window itself is owned by
    // its parent).
    DeferredWindow& operator=(std::nullptr_t) {
        window_ = nullptr;
        construct_ = nullptr;
        return *this;
    }

    // The window, built now if it is registered and not built yet; null when
    // there is none.
    W* get() const {
        if (!window_ && construct_) {
            auto construct = std::move(construct_);
            construct_ = nullptr;
            window_ = construct();
            // Stored before its handler runs, which may use the global.
            if (window_) window_->FormCreate();
        }
        return window_;
    }
    // The window if it has been built; never builds it.
    W* built() const { return window_; }

    W* operator->() const { return get(); }
    W& operator*() const { return *get(); }
    operator W*() const { return get(); }

    friend bool operator==(const DeferredWindow& deferred, W* window) {
        return deferred.window_ == window;
    }
    friend bool operator==(const DeferredWindow& deferred, const W* window) {
        return deferred.window_ == window;
    }

private:
    mutable W* window_ = nullptr;
    mutable std::function<W*()> construct_;
};
