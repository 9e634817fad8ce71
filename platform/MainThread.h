// Running work on the main thread: at once from any thread, or after a
// delay. The work runs on the next turn of the main event loop; with a
// context object it is dropped when that object is destroyed first.
#pragma once

#include <functional>

class QObject;

namespace platform {

bool isMainThread();

// performSelectorOnMainThread: queues work on the main thread. With
// waitUntilDone from another thread, returns once work has run (on the main
// thread itself the work then runs at once).
void performOnMainThread(std::function<void()> work, bool waitUntilDone = false, QObject* context = nullptr);

// performSelector:afterDelay: runs work on the main thread after seconds
// (0: on the next turn of the event loop). Callable from any thread.
void performAfterDelay(double seconds, std::function<void()> work, QObject* context = nullptr);

} // namespace platform
