#pragma once

#include <QLoggingCategory>

// The program's record of each run: one line an event, through Qt's
// logging, so it reaches the journal when started from the desktop and the
// terminal otherwise. The program keeps no file of its own.
Q_DECLARE_LOGGING_CATEGORY(lcWizard) // "tiskarupd.wizard": what the user saw and chose
Q_DECLARE_LOGGING_CATEGORY(lcDevice) // "tiskarupd.device": the boards, the query and the transfer

// Routes the device layer's lines into lcDevice from now on.
void routeDeviceLogToQt();
