#include "HelpViewer.h"

#include <utility>

#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include "DialogPlacement.h"

namespace vantorel {

THelpViewer::THelpViewer(std::string helpFile, QWidget *parent)
    : QWidget(parent, Qt::Window), FHelpFile(std::move(helpFile))
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Vantorel Help"));
    resize(640, 520);

    Browser = new QTextBrowser(this);
    Browser->setObjectName(QStringLiteral("Browser"));
    // The help is one page: its links jump to anchors within it. An address on the web goes
    // to the desktop's browser instead of being loaded into the viewer.
    Browser->setOpenLinks(false);
    Browser->setOpenExternalLinks(false);
    connect(Browser, &QTextBrowser::anchorClicked, this, [this](const QUrl &url) {
        if (url.scheme().isEmpty() && url.path().isEmpty()) {
            Browser->scrollToAnchor(url.fragment());
            return;
        }
        const QString scheme = url.scheme().toLower();
        if (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("mailto"))
            QDesktopServices::openUrl(url);
    });

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Browser);
}

void THelpViewer::ShowContents()
{
    const QString path = QString::fromStdString(FHelpFile);
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        Browser->setHtml(QString::fromUtf8(file.readAll()));
    else
        Browser->setPlainText(QStringLiteral("The help file could not be opened:\n%1").arg(path));
    setWindowState(windowState() & ~Qt::WindowMinimized);
    // Where the window manager would put it, it may overlap the screen's edge or stand on a
    // screen that is gone; it opens on the main window's.
    if (!isVisible() && parentWidget())
        CentreOnOwnersScreen(*this, *parentWidget());
    show();
    raise();
    activateWindow();
}

void THelpViewer::Quit() { close(); }

void THelpViewer::keyPressEvent(QKeyEvent *event)
{
    // Escape closes it, as it closes every dialog of the program.
    if (event->matches(QKeySequence::Cancel))
        close();
    else
        QWidget::keyPressEvent(event);
}

} // namespace vantorel
