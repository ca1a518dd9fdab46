// The certificates the selection dialog offers: every certificate of the given stores
// that the caller's filter accepts, in store order and enumeration order, with the
// texts of its row.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32.h"

namespace quillet::certdlg {

// One row of the list. Holds its own reference to the context.
struct OfferedCertificate {
  PCCERT_CONTEXT context = nullptr;
  std::string owner;
  std::string issuer;
  std::string validTo;
};

// The offered certificates; releases their references when destroyed.
class OfferedCertificates {
 public:
  // Enumerates the cCertStore stores of the structure (NULL handles skipped) and keeps
  // the certificates for which pfnFilter returns TRUE (all when it is NULL).
  explicit OfferedCertificates(const CERT_SELECT_STRUCT_W& request);
  ~OfferedCertificates();
  OfferedCertificates(const OfferedCertificates&) = delete;
  OfferedCertificates& operator=(const OfferedCertificates&) = delete;

  const std::vector<OfferedCertificate>& rows() const { return rows_; }

  // Returns the row holding the same certificate as `certificate` (same context, or the
  // same SHA-1 hash), or nothing (also for NULL). Exported from the dialog library (its
  // tests call it), so the name keeps its spelling.
  std::optional<std::size_t> RowOf(PCCERT_CONTEXT certificate) const;

 private:
  std::vector<OfferedCertificate> rows_;
};

}  // namespace quillet::certdlg
