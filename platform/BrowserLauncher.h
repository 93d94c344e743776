#pragma once

#include <functional>
#include <string>

class QObject;

namespace vantorel {

class TPromptService;

// The browser command: $BROWSER when set, else xdg-open.
std::string BrowserCommand();

// Starts the web browser with an address, without waiting for it. A failure reads: the reason, a
// blank and the browser command, followed by the address in a paragraph of its own, which the
// user may still open by hand. When the command cannot start, returns false with that text in
// failure. When it starts but ends with an error (a non-zero exit status or a signal),
// endedWithError gets the text from the event loop of the calling thread, unless context is gone
// by then; with no context, or no application object, nobody watches the end. The command is
// reaped when it ends and never ended by the program.
bool LaunchBrowser(const std::string &address, std::string &failure, QObject *context,
                   std::function<void(const std::string &failure)> endedWithError);

// The browser start of a window: both kinds of failure show in an error box of prompts, the later
// one as long as the window lives.
std::function<bool(const std::string &address, std::string &failure)> WindowBrowserStart(QObject &window,
                                                                                         TPromptService &prompts);

} // namespace vantorel
