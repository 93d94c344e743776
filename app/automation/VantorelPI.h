#pragma once

#include <optional>
#include <string>

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace vantorel {

inline constexpr const char *kAutomationBusName = "example.vantorel.Vantorel";
inline constexpr const char *kAutomationObjectPath = "/example/vantorel/VantorelPI";
inline constexpr const char *kAutomationInterface = "example.vantorel.IVantorelPI";

// The program's key in the registry and its two values.
inline constexpr const char *kProgramKey = "Software/Vantorel/Vantorel";
inline constexpr const char *kAppPathValue = "AppPath";
inline constexpr const char *kImageURLValue = "ImageURL";

// The automation object through which a browser's helper or a script hands a picture's address
// over (the interface in example.vantorel.IVantorelPI.xml). It writes the address into the
// registry and wakes the window titled "Vantorel" with message 1025, or starts the program from
// "AppPath" when no such window runs. Calls arrive on the UI thread and return at once: the
// download runs afterwards from the event loop.
class TVantorelPI : public QObject, protected QDBusContext {
    Q_OBJECT

public:
    // ownWindow: this program's main window, found by its title like any other (it cannot answer
    // its own channel while it waits for the answer); null when the program has none.
    explicit TVantorelPI(QWidget *ownWindow = nullptr, QObject *parent = nullptr);
    ~TVantorelPI() override;

    // Exports the object and then claims the bus name without queueing; false (and nothing
    // claimed) when the bus or the name cannot be had.
    bool Serve(QDBusConnection connection = QDBusConnection::sessionBus());

    // The interface's methods; a failure answers org.freedesktop.DBus.Error.Failed "E_FAIL".
    void AddImageURL(const QString &ImageURL);
    void Exec();

    // The work of both: true for S_OK. Without an address nothing is written and no message
    // posted.
    bool HandOver(const std::optional<std::string> &url);
    // Starts AppPath + "/vantorel" without arguments in the folder AppPath; false when it cannot.
    static bool StartProgram(const std::string &appPath);

private:
    void Answer(bool ok);
    bool FindAndBringToFront();
    void PostImageURLPending();

    QPointer<QWidget> FOwnWindow;
    std::optional<QDBusConnection> FConnection; // while served
};

} // namespace vantorel
