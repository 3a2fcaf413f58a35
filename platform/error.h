// Run-time errors: a failing platform operation throws one; the few places that trap
// errors catch it, everything else lets it reach the handler boundary (see fatal.h).
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class RuntimeError : public std::runtime_error {
  public:
    RuntimeError(int number, const std::string& description)
        : std::runtime_error(description), number_(number) {}
    int number() const { return number_; }
    std::string description() const { return what(); }

  private:
    int number_;
};

// Error numbers the program raises; the descriptions carry the detail.
namespace err {
constexpr int Overflow = 6;
constexpr int FileNotFound = 53;
constexpr int BadFileMode = 54;
constexpr int FileAlreadyOpen = 55;
constexpr int DeviceIoError = 57;
constexpr int DiskFull = 61;
constexpr int InputPastEnd = 62;
constexpr int BadFileNumber = 52;
constexpr int TooManyFiles = 67;
constexpr int DeviceUnavailable = 68;
constexpr int PermissionDenied = 70;
constexpr int PathFileAccess = 75;
constexpr int PathNotFound = 76;
constexpr int InvalidPropertyValue = 380;
constexpr int InvalidPortNumber = 8002;
constexpr int PortAlreadyOpen = 8005;
constexpr int PortNotOpen = 8018;
constexpr int Internal = 51;
}  // namespace err

// Maps an errno value to an error number and "what: system text".
RuntimeError fromErrno(int errnum, const std::string& what);

}  // namespace platform
