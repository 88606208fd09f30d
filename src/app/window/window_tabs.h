#pragma once

class QGroupBox;
class QWidget;

namespace norvale {

class RecordTable;
struct WindowControls;

// Each builds one tab page with its controls in their initial state and records them in
// `controls`. No handler is connected here.
QWidget* BuildDownloadTab(WindowControls& controls);
QWidget* BuildViewTab(WindowControls& controls, RecordTable& records);
QWidget* BuildSettingsTab(WindowControls& controls);
QWidget* BuildDisplayMeterTab(WindowControls& controls);
QWidget* BuildDialerTab(WindowControls& controls);
QWidget* BuildNorvaleTab(WindowControls& controls);
// The database path, "Browse for Palm Database" and the separation options (the "Norvale" tab's
// controls), for the Download tab; hidden, as they start.
QGroupBox* BuildPalmDatabaseFrame(WindowControls& controls);

}  // namespace norvale
