// The owner window of the dialog, given as a native window handle.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>

namespace quillet::certdlg {

// Makes the realized `dialog` transient for the native window `parent` (an X11 window
// id) when the display is X11 and that window exists. Returns the foreign window, which
// the caller releases with g_object_unref after the dialog is gone, or NULL when the
// dialog has no owner (parent 0, another display kind, no such window).
GdkWindow* setTransientParent(GtkWidget* dialog, std::uintptr_t parent);

}  // namespace quillet::certdlg
