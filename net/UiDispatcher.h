#pragma once

#include <functional>

namespace vantorel {

// Queues work for the UI thread's event loop (the thread of the Qt application object). Safe
// from any thread; the work runs in the order it was posted.
void PostToUiThread(std::function<void()> work);

} // namespace vantorel
