// Loaded into the built program by the end-to-end test (LD_PRELOAD): once the main window's
// TWAIN button is enabled it presses it, and once the source's dialog is up it creates the file
// that $VANTOREL_TEST_DIALOG_SHOWN names and, when $VANTOREL_TEST_PRESS_SCAN is set, presses Scan.
#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

namespace {

void WatchTheProgram()
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        static bool pressed = false;
        for (QWidget *window : QApplication::topLevelWidgets()) {
            auto *button = window->findChild<QToolButton *>(QStringLiteral("ImportFromTWAINToolButton"));
            if (!pressed && button && button->isEnabled() && window->isVisible()) {
                pressed = true;
                QTimer::singleShot(0, button, &QToolButton::click);
            }
            if (window->objectName() == QLatin1String("SaneSourceDialog") && window->isVisible()) {
                QFile shown(qEnvironmentVariable("VANTOREL_TEST_DIALOG_SHOWN"));
                shown.open(QIODevice::WriteOnly);
                static bool scanned = false;
                auto *scan = window->findChild<QPushButton *>(QStringLiteral("ScanButton"));
                if (!scanned && scan && qEnvironmentVariableIsSet("VANTOREL_TEST_PRESS_SCAN")) {
                    scanned = true;
                    QTimer::singleShot(0, scan, &QPushButton::click);
                }
            }
        }
    });
    timer->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(WatchTheProgram)
