// SIGTERM, SIGINT and SIGHUP close the main window as the user's Exit would, so that its
// placement and the open project are saved. A run under way is stopped first: the window's own
// close handling waits for it.
#pragma once

class QWidget;

namespace tarnwick {

// Makes the termination signals close `window`. The handler only writes a byte into a socket
// pair; a notifier owned by the window reads it on the GUI thread, inside the event loop or any
// run's event pumping, and asks the window to close. A signal that was ignored when the program
// started (nohup) stays ignored. Installing for another window replaces the earlier one; once
// the window is gone the signals take their earlier disposition again, so that one arriving
// then still ends the program.
void CloseOnTerminationSignals(QWidget* window);

}  // namespace tarnwick
