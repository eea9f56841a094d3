#pragma once
// The process-wide record of the GUI thread: set once by whoever builds the first main
// window (or by the proxy's framework start-up).

class QThread;

void setGuiThreadIfUnset(QThread* thread);
QThread* guiThread();
bool mainThreadRunning();
