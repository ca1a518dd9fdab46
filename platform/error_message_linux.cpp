#include "platform/error_message.h"

#include <cstring>

#include "platform/last_error.h"

namespace {

struct SystemMessage {
  DWORD code;
  const char* text;  // English, ASCII, without the final "\r\n"
};

// The system's English texts for the codes the code base sets or meets. Add a row for each
// new code a stand-in sets. Inserts such as %1 stay as they are (IGNORE_INSERTS).
constexpr SystemMessage kMessages[] = {
    {0, "The operation completed successfully."},
    {1, "Incorrect function."},
    {2, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {4, "The system cannot open the file."},
    {5, "Access is denied."},
    {6, "The handle is invalid."},
    {8, "Not enough memory resources are available to process this command."},
    {13, "The data is invalid."},
    {14, "Not enough memory resources are available to complete this operation."},
    {32, "The process cannot access the file because it is being used by another process."},
    {87, "The parameter is incorrect."},
    {109, "The pipe has been ended."},
    {122, "The data area passed to a system call is too small."},
    {126, "The specified module could not be found."},
    {127, "The specified procedure could not be found."},
    {193, "%1 is not a valid Win32 application."},
    {234, "More data is available."},
    {317,
     "The system cannot find message text for message number 0x%1 in the message file for "
     "%2."},
    {1004, "Invalid flags."},
    {1223, "The operation was canceled by the user."},
    {1812, "The specified image file did not contain a resource section."},
    {1813, "The specified resource type cannot be found in the image file."},
    {0x80070057, "The parameter is incorrect."},                      // E_INVALIDARG
    {0x80090001, "Bad UID."},                                         // NTE_BAD_UID
    {0x80090005, "Bad Data."},                                        // NTE_BAD_DATA
    {0x80090008, "Invalid algorithm specified."},                     // NTE_BAD_ALGID
    {0x80090009, "Invalid flags specified."},                         // NTE_BAD_FLAGS
    {0x8009000A, "Invalid type specified."},                          // NTE_BAD_TYPE
    {0x8009000D, "Key does not exist."},                              // NTE_NO_KEY
    {0x80090016, "Keyset does not exist"},                            // NTE_BAD_KEYSET
    {0x80090020, "An internal error occurred."},                      // NTE_FAIL
    {0x80092004, "Cannot find object or property."},                  // CRYPT_E_NOT_FOUND
    {0x80092009, "Cannot find the requested object."},                // CRYPT_E_NO_MATCH
    {0x8009200B, "Cannot find the certificate and private key for decryption."},
    {0x8009200F, "Final closure is pending until additional frees or closes."},
    {0x80092010, "The certificate is revoked."},                      // CRYPT_E_REVOKED
    {0x80092011, "No Dll or exported function was found to verify revocation."},
    {0x80092012, "The revocation function was unable to check revocation for the certificate."},
    {0x80092013,
     "The revocation function was unable to check revocation because the revocation server "
     "was offline."},
    {0x80093102, "ASN1 unexpected end of data."},                     // CRYPT_E_ASN1_EOD
    {0x8009310B, "ASN1 bad tag value met."},                          // CRYPT_E_ASN1_BADTAG
    {0x8010006B, "The card cannot be accessed because the wrong PIN was presented."},
    {0x8010006C,
     "The card cannot be accessed because the maximum number of PIN entry attempts has been "
     "reached."},
};

// The table's text for code, or null.
const char* findMessage(DWORD code) {
  for (const SystemMessage& message : kMessages) {
    if (message.code == code) return message.text;
  }
  return nullptr;
}

// Copies the ASCII text and "\r\n" into target, which holds at least length + 1 units.
void widen(const char* text, std::size_t length, LPWSTR target) {
  for (std::size_t i = 0; i < length; ++i) target[i] = static_cast<WCHAR>(text[i]);
  target[length] = L'\r';
  target[length + 1] = L'\n';
  target[length + 2] = L'\0';
}

// Sets the last-error code and returns 0, the failure result of FormatMessageW.
DWORD fail(DWORD code) {
  SetLastError(code);
  return 0;
}

}  // namespace

DWORD FormatMessageW(DWORD flags, LPCVOID /*source*/, DWORD messageId, DWORD /*languageId*/,
                     LPWSTR buffer, DWORD size, va_list* /*arguments*/) {
  if ((flags & FORMAT_MESSAGE_FROM_SYSTEM) == 0 ||
      (flags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) != 0 ||
      buffer == nullptr) {
    return fail(ERROR_INVALID_PARAMETER);
  }
  const char* text = findMessage(messageId);
  if (text == nullptr) return fail(ERROR_MR_MID_NOT_FOUND);
  std::size_t length = std::strlen(text);
  std::size_t units = length + 3;  // text, "\r\n" and the NUL
  if ((flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) != 0) {
    std::size_t count = units > size ? units : size;
    auto* allocated = static_cast<LPWSTR>(LocalAlloc(LMEM_FIXED, count * sizeof(WCHAR)));
    if (allocated == nullptr) return fail(ERROR_NOT_ENOUGH_MEMORY);
    widen(text, length, allocated);
    *reinterpret_cast<LPWSTR*>(buffer) = allocated;
  } else {
    if (size < units) return fail(ERROR_INSUFFICIENT_BUFFER);
    widen(text, length, buffer);
  }
  return static_cast<DWORD>(length + 2);
}
