// How errors travel: one policy for the program, its platform and the test fakes.
//
// - A platform operation that fails throws RuntimeError: a number, and a description the
//   operator can act on. Nothing else is thrown for a failure outside the program.
// - A fault of the program itself (a control its window does not have, a table that does
//   not hold together) is a std::logic_error, which nothing traps.
// - A handler traps RuntimeError only where the program says what happens instead, and
//   catches nothing else:
//     the receive handler       a failing step has no effect; the handler goes on
//     starting a download       the records are kept, a box says why, idle again
//     opening the link          a box says why; PORT can choose another port
//     writing PORT.DAT at exit  a box says why; the old file stays whole
//     reading PORT.DAT          defaults and the port dialog; the reason is logged
//     reading the crash journal it is moved aside, never deleted; a box names it
//     the file dialog           a save's reason shows in a box; a load shows
//                               "!! non file !!" and its reason is logged
// - Everything else reaches the handler boundary (fatal.h): the one error report, then
//   the process ends at once.
// - What happens to the platform without an operation failing (a line error, a hang-up)
//   reaches the program through its interface as an event; it may also be logged
//   (log.h), which is never the only way it is told.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

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
constexpr int NoSuchElement = 340;  // a control array has no element of that index
constexpr int InvalidPropertyValue = 380;
constexpr int InvalidPortNumber = 8002;
constexpr int PortAlreadyOpen = 8005;
constexpr int PortNotOpen = 8018;
constexpr int Internal = 51;
}  // namespace err

// Text from a file or the operator as a message quotes it: at most `limit` bytes, cut
// with "..." (a settings field may be megabytes long).
std::string shortened(std::string_view text, size_t limit = 80);

}  // namespace platform
