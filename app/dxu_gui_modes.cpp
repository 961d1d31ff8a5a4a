// Window modes, the about box, help, and the entries that open the dialogs.
#include "app/dxu_gui.h"

#include "app/installed_manual.h"
#include "app/version.h"
#include "multidevice/multidxudialog.h"
#include "network/finddialog.h"
#include "tools/dividebydialog.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>
#include <QWindow>

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

// The form's fixed size, and the height of the compact layout.
constexpr int WindowWidth = 310;
constexpr int NormalHeight = 678;
constexpr int CompactHeight = 160;

} // namespace

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
    if (QFileInfo::exists(file)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(file));
        return;
    }
    const QString manual = installedManual(QCoreApplication::applicationDirPath());
    if (!manual.isEmpty())
        QDesktopServices::openUrl(QUrl::fromLocalFile(manual));
}

FindDialog *dxu_gui::networkSettingsDialog()
{
    if (!networkDialog)
        networkDialog = new FindDialog(usbDevice, this);
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
    dialog->readNetworkSettings();
    dialog->setModal(true);
    dialog->show();
}

void dxu_gui::showSlaveControl() { slaveControlDialog()->show(); }

void dxu_gui::divByShow()
{
    dividerCalculator()->setModal(false);
    dividerCalculator()->show();
}

// The form fixes the window at 310 × 678; compact mode fixes it at 310 × 160
// and normal mode restores the form's size.
void dxu_gui::switchToCompactMode(bool on)
{
    QWidget *const framed[] = {ui.previewGroup, ui.groupG1, ui.groupG2, ui.groupBox, ui.label_8};
    if (on) {
        for (QWidget *widget : framed)
            widget->hide();
        ui.runGen1->move(26, 20);
        ui.stopGen1->move(26, 53);
        ui.runGen2->move(171, 20);
        ui.stopGen2->move(171, 53);
        ui.resetButton->move(171, 83);
        ui.runBoth->setGeometry(26, 83, 122, 31);
        setMinimumHeight(CompactHeight);
        setMaximumHeight(CompactHeight);
        resize(WindowWidth, CompactHeight);
    } else {
        for (QWidget *widget : framed)
            widget->show();
        ui.runGen1->move(26, 517);
        ui.stopGen1->move(26, 550);
        ui.runGen2->move(171, 517);
        ui.stopGen2->move(171, 550);
        ui.resetButton->move(171, 220);
        ui.runBoth->move(26, 580);
        ui.runBoth->setGeometry(26, 580, 268, 34);
        setMaximumHeight(NormalHeight);
        setMinimumHeight(NormalHeight);
    }
}
