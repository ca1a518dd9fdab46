#include "platform/certdlg/transient_parent.h"

#include <gdk/gdkx.h>

namespace quillet::certdlg {

GdkWindow* setTransientParent(GtkWidget* dialog, std::uintptr_t parent) {
  if (parent == 0) return nullptr;
  GdkDisplay* display = gtk_widget_get_display(dialog);
  if (!GDK_IS_X11_DISPLAY(display)) return nullptr;
  // NULL when the window does not exist (GDK traps the X error).
  GdkWindow* owner = gdk_x11_window_foreign_new_for_display(display, static_cast<Window>(parent));
  if (owner == nullptr) return nullptr;
  gdk_window_set_transient_for(gtk_widget_get_window(dialog), owner);
  return owner;
}

}  // namespace quillet::certdlg
