#include "SignalCloser.h"

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace vantorel {

namespace {

int gPipe[2] = {-1, -1};

extern "C" void OnCloseSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(gPipe[1], &byte, 1);
}

} // namespace

TSignalCloser::TSignalCloser(QObject *parent) : QObject(parent)
{
    if (gPipe[0] < 0 && ::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    FNotifier = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TSignalCloser::Drain);

    struct sigaction action {};
    action.sa_handler = OnCloseSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
}

TSignalCloser::~TSignalCloser()
{
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGINT, SIG_DFL);
}

void TSignalCloser::Drain()
{
    char buffer[64];
    while (::read(gPipe[0], buffer, sizeof buffer) > 0) {
    }
    emit CloseRequested();
}

} // namespace vantorel
