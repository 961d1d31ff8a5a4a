#pragma once

// What the tests read or set inside the main window (its friend).

#include "app/dxu_gui.h"
#include "device/request_watchdog.h"

struct DxuGuiTestAccess
{
    static Ui::dxu_guiClass &ui(dxu_gui &w) { return w.ui; }
    static QString &deviceIp(dxu_gui &w) { return w.deviceIp; }
    static bool usbConnected(dxu_gui &w) { return w.usbConnected; }
    static bool &ethernetConnected(dxu_gui &w) { return w.ethernetConnected; }
    static QByteArray &httpResponse(dxu_gui &w) { return w.httpResponse; }
    static bool waitTimerRuns(dxu_gui &w) { return w.requestWatchdog->isRunning(); }
    static GeneratorSettings &record(dxu_gui &w) { return w.record; }
    static void fieldsToRecord(dxu_gui &w) { w.fieldsToRecord(); }
    static void recordToFields(dxu_gui &w) { w.recordToFields(); }
    static void connectSourceCombos(dxu_gui &w) { w.connectSourceCombos(); }
    static double unitFactor(dxu_gui &w) { return w.unitFactor; }
    static bool showsGen1(dxu_gui &w) { return w.previewShowsGen1; }
    static const PreviewGeometry &geometry(dxu_gui &w) { return w.previewGeometry; }
    // The dialogs are made at their first opening.
    static multidxudialog *slaveDialog(dxu_gui &w) { return w.slaveControlDialog(); }
    static FindDialog *networkDialog(dxu_gui &w) { return w.networkSettingsDialog(); }
    static dividebyDialog *dividerDialog(dxu_gui &w) { return w.dividerCalculator(); }
};
