#include "platform/certdlg/gtk_session.h"

#include <dlfcn.h>
#include <gtk/gtk.h>

namespace quillet::certdlg {
namespace {

// Marks the process once GTK's start-up has begun. The mark lives in GLib's quark table,
// which outlives this library: a static of ours would be lost each time it is unloaded.
constexpr char kStartedMark[] = "quillet-certdlg-gtk-started";

// Keeps libgtk-3 (and with it GDK, GLib, GObject, GIO, Pango, Cairo) loaded after this
// library is unloaded.
void pinGtkLibraries() { dlopen("libgtk-3.so.0", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE); }

// Pins GTK as soon as this library is loaded: unloading GTK's libraries with ours would
// leave GLib's type registry and threads pointing into unmapped code.
__attribute__((constructor)) void pinGtkAtLoad() { pinGtkLibraries(); }

}  // namespace

bool startGtk() {
  if (g_quark_try_string(kStartedMark) == 0) {
    pinGtkLibraries();
    // The host sets only the character-type locale and relies on the rest being "C".
    gtk_disable_setlocale();
    g_quark_from_string(kStartedMark);
  }
  if (gdk_display_get_default() != nullptr) return true;
  return gtk_init_check(nullptr, nullptr) != FALSE;
}

void flushGtkEvents() {
  while (gtk_events_pending()) gtk_main_iteration();
}

}  // namespace quillet::certdlg
