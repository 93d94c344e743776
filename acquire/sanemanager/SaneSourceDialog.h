#pragma once

// The data source's own window: modeless, titled with the device's vendor and model, with "Scan"
// and "Cancel". It belongs to the source manager library, so it is a plain QDialog driven through
// callbacks (no meta-object of the library's own) and is gone before the library unloads.

#include <functional>
#include <memory>

#include <QString>
#include <QtGui/qwindowdefs.h>

class QDialog;
class QLabel;
class QPushButton;

namespace vantorel {

class TSaneSourceDialog {
public:
    // Shows the window at once. parent is the application's window: the dialog stays above it as
    // its transient child without being its child widget, so it stays usable while the
    // application disables that window. scan and cancel run on the UI thread; cancel also when the
    // window is closed.
    TSaneSourceDialog(const QString &title, const QString &device, WId parent, std::function<void()> scan,
                      std::function<void()> cancel);
    ~TSaneSourceDialog();
    TSaneSourceDialog(const TSaneSourceDialog &) = delete;
    TSaneSourceDialog &operator=(const TSaneSourceDialog &) = delete;

    // While a scan runs, Scan is disabled and the window says so.
    void SetScanning(bool scanning);
    // A failure stays in the window until the next scan.
    void ShowError(const QString &text);

    QDialog *Dialog() const { return FDialog.get(); }

private:
    std::unique_ptr<QDialog> FDialog;
    QLabel *FMessage = nullptr;
    QPushButton *FScan = nullptr;
    QPushButton *FCancel = nullptr;
};

} // namespace vantorel
