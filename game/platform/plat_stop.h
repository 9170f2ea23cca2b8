// Stop signals: SIGTERM and SIGINT end the client at any time. Normally the
// request closes the window at the next message pump (the usual shutdown,
// which says goodbye to the server); while a message box waits, the process
// ends at once and takes the box with it.
#pragma once

// Installs the handlers (platform_main, before anything else).
void stop_watch_signals();
// Puts back the handlers that were there before (platform_main, on return).
void stop_unwatch_signals();
// 1 once a stop signal came.
int stop_requested();
// Brackets a modal box: returns 0 (and shows nothing) when a stop already
// came, else 1; stop_box_closed must follow a 1.
int stop_box_opening();
void stop_box_closed();
