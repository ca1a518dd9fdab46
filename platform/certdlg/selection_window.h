// The GTK window of the certificate selection dialog.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/certdlg/offered_certificates.h"

namespace quillet::certdlg {

// What the user did.
struct Selection {
  // True for OK (the button, Enter, or a double click on a row); false for Cancel,
  // Escape or closing the window.
  bool confirmed = false;
  // The selected row when confirmed, if any.
  std::optional<std::size_t> row;
};

// What the window shows.
struct SelectionRequest {
  std::string title;  // UTF-8 window title
  const std::vector<OfferedCertificate>* rows = nullptr;
  std::optional<std::size_t> preselected;  // row selected at start
  std::uintptr_t parent = 0;               // native owner window, 0 for none
};

// Shows the modal dialog (GTK started) and returns when the user closes it; the window
// is gone on return. Keyboard: arrows move the selection, Enter confirms, Escape cancels;
// typing searches the owner column.
Selection runSelectionWindow(const SelectionRequest& request);

}  // namespace quillet::certdlg
