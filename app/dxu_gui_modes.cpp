// Window modes, the about box, help, and the entries that open the dialogs.
#include "app/dxu_gui.h"

#include "app/installed_manual.h"
#include "app/version.h"
#include "multidevice/multidxudialog.h"
#include "network/finddialog.h"
#include "tools/dividebydialog.h"

#include "device/record_ranges.h"
#include "device/usb_instrument.h"

#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QMenuBar>
#include <QStyle>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>
#include <QWindow>

#include <algorithm>

#ifdef Q_OS_WIN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace {

// The window as the form draws it, and the height of the compact layout.
constexpr int DrawnWidth = 310;
constexpr int DrawnHeight = 678;
constexpr int CompactHeight = 160;

} // namespace

// The form is drawn for the fonts of Windows. Where the fonts here need more
// room (every value of the time boxes, every combo item, the titles), the
// widgets grow and those beside and below them move along; the window keeps a
// fixed size. The content sits in a scroll area, which scrolls only on a
// screen too low for the window (a scale of 2 on a 1200 px screen).
void dxu_gui::fitFormToFonts()
{
    const int chrome = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    const int lowest = ui.label_8->geometry().bottom() + 1;
    const QSize drawn(DrawnWidth, std::max(DrawnHeight - chrome, lowest));
    FitOptions options;
    options.keepSize = {ui.dl};
    options.moreTexts = [this](const QWidget *widget) -> QStringList {
        if (widget == ui.previewGroup)
            return {tr("Signal Preview for Generator#1"), tr("Signal Preview for Generator#2")};
        if (widget == ui.label || widget == ui.label_18)
            return {tr("Period, us:")};
        // The time boxes in microseconds.
        if (auto *box = qobject_cast<const QDoubleSpinBox *>(widget))
            return spinBoxTexts(0, RecordRanges::MaxTimeMs * 1000, 2, box->prefix(), box->suffix(),
                                box->fontMetrics());
        return {};
    };
    formStretch = fitToFonts(ui.centralWidget, drawn, options);
    normalContentSize = formStretch.map(QRect(QPoint(0, 0), drawn)).size();
    auto *scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("centralScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus); // not a stop of its own in the tab order
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(takeCentralWidget());
    setCentralWidget(scroll);
    fixWindowSize(normalContentSize);
}

// Fixes the window at the content's size, or at the height the screen
// leaves, with a scroll bar beside the content.
void dxu_gui::fixWindowSize(QSize content)
{
    ui.centralWidget->setFixedSize(content);
    QSize window(content.width(), content.height() + menuBar()->sizeHint().height() +
                                      statusBar()->sizeHint().height());
    // The title bar is not known before the window is shown; the style's
    // guess at it, and its frame.
    const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight) + 8;
    const int room = screen()->availableGeometry().height() - titleBar;
    if (window.height() > room) {
        window.setHeight(room);
        window.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    }
    setFixedSize(window);
}

void dxu_gui::alwaysOnTop(bool on)
{
    // QWidget::setWindowFlags would hide and re-create the window; the native
    // window's own flag changes the layer in place. The flag is kept on
    // Windows too, so that the window's state says what the screen shows.
    if (QWindow *window = windowHandle())
        window->setFlag(Qt::WindowStaysOnTopHint, on);
    else
        setWindowFlag(Qt::WindowStaysOnTopHint, on);
#ifdef Q_OS_WIN
    SetWindowPos(reinterpret_cast<HWND>(winId()), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
#endif
}

void dxu_gui::about()
{
    QMessageBox::about(this, tr("About"),
                       tr("<b>Halvorn Inc.<br>Halvorn DXU USB/Ethernet Interface</b><br>"
                          "<a href=\"https://www.halvorn.example/\">www.halvorn.example</a><br>"
                          "<br>Version %1 (%2)")
                           .arg(QLatin1String(DxuVersion), QLatin1String(DxuBuildDate)));
}

// The help file is supplied apart from the program. Without it the manual
// installed with the program stands in for it (on Windows too: the folder
// scripts/build-windows makes holds it); with neither, nothing is opened, as
// a desktop's opener would otherwise report the missing file in a window of
// its own.
void dxu_gui::help()
{
    const QString file = QCoreApplication::applicationDirPath() + QStringLiteral("/dxuhelp.chm");
    if (QFileInfo::exists(file) && QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
        return;
    const QString manual = installedManual(QCoreApplication::applicationDirPath());
    if (!manual.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(manual)))
        return;
    // Nothing opened it (no help file, no desktop opener): say where to look.
    const QString where =
        manual.isEmpty()
            ? tr("The help file belongs at %1; the manual is not installed.").arg(file)
            : tr("The help file belongs at %1; the manual is at %2.").arg(file, manual);
    QMessageBox box(QMessageBox::Information, tr("Help"),
                    tr("No program could open the help.") + QLatin1Char(' ') + where,
                    QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

FindDialog *dxu_gui::networkSettingsDialog()
{
    if (!networkDialog) {
        networkDialog = new FindDialog(usbLink.get(), this);
        connect(networkDialog, &FindDialog::usbDeviceLost, this, &dxu_gui::usbUnplugged);
    }
    return networkDialog;
}

// The slave dialog lists the profiles there were at start-up, as it would
// had it been made then.
multidxudialog *dxu_gui::slaveControlDialog()
{
    if (!slaveDialog)
        slaveDialog = new multidxudialog(this, slaveProfileNames);
    return slaveDialog;
}

dividebyDialog *dxu_gui::dividerCalculator()
{
    if (!dividerDialog)
        dividerDialog = new dividebyDialog(this);
    return dividerDialog;
}

void dxu_gui::ipsettings()
{
    FindDialog *dialog = networkSettingsDialog();
    dialog->setUsbMode(usbConnected);
    dialog->setDeviceIp(deviceIp);
    if (!dialog->readNetworkSettings())
        return; // the instrument went from the link under the read
    dialog->setModal(true);
    dialog->show();
}

void dxu_gui::showSlaveControl() { slaveControlDialog()->show(); }

void dxu_gui::divByShow()
{
    dividerCalculator()->setModal(false);
    dividerCalculator()->show();
}

// Compact mode keeps the buttons' columns and puts them into three rows of a
// window 160 high; normal mode puts them back where the fitted form has them.
void dxu_gui::switchToCompactMode(bool on)
{
    QWidget *const framed[] = {ui.previewGroup, ui.groupG1, ui.groupG2, ui.groupBox, ui.label_8};
    const AxisStretch &x = formStretch.x;
    if (on) {
        for (QWidget *widget : framed)
            widget->hide();
        ui.runGen1->move(x.map(26), 20);
        ui.stopGen1->move(x.map(26), 53);
        ui.runGen2->move(x.map(171), 20);
        ui.stopGen2->move(x.map(171), 53);
        ui.resetButton->move(x.map(171), 83);
        ui.runBoth->setGeometry(x.map(26), 83, x.map(148) - x.map(26), 31);
        const int chrome = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
        fixWindowSize(QSize(normalContentSize.width(),
                            std::max(CompactHeight - chrome, ui.runBoth->geometry().bottom() + 3)));
    } else {
        for (QWidget *widget : framed)
            widget->show();
        ui.runGen1->move(formStretch.map(QRect(26, 517, 0, 0)).topLeft());
        ui.stopGen1->move(formStretch.map(QRect(26, 550, 0, 0)).topLeft());
        ui.runGen2->move(formStretch.map(QRect(171, 517, 0, 0)).topLeft());
        ui.stopGen2->move(formStretch.map(QRect(171, 550, 0, 0)).topLeft());
        ui.resetButton->move(formStretch.map(QRect(171, 220, 0, 0)).topLeft());
        // The form's run-both button, one pixel to the right.
        QRect runBoth = formStretch.map(QRect(25, 580, 268, 34));
        runBoth.moveLeft(x.map(26));
        ui.runBoth->setGeometry(runBoth);
        fixWindowSize(normalContentSize);
    }
}
