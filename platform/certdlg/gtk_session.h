// GTK start-up for the dialog library, which may be loaded and unloaded many times in
// one process (the host loads it for each prompt).
#pragma once

namespace quillet::certdlg {

// Makes GTK usable on the calling thread: the first call in the process keeps GTK and
// its libraries loaded for good (GLib's threads and type registry cannot be unloaded
// with this library) and leaves the process locale alone; every call then opens the
// default display if none is open. Returns false when no display can be opened.
bool startGtk();

// Handles the events still queued (for example the unmapping of a closed dialog), so
// that a window is really gone when the call that showed it returns.
void flushGtkEvents();

}  // namespace quillet::certdlg
