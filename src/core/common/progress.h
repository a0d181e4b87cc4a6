// The callbacks through which long operations report progress and are asked
// to stop. A non-empty answer asks the operation to stop; the operation then
// returns that answer as its result (the scan page answers kCancelled).
#pragma once

#include <string>
#include <system_error>

namespace scrivel {

// Overall progress of a scan or decryption, percent 0 to 100.
using ProgressCallback = std::error_code (*)(void* userData, int percent);

// Progress of one file copy: percent 100 marks a finished file; error is
// empty or the failure of that file; destination is the file being written.
using CopyProgressCallback = std::error_code (*)(void* userData, int percent, std::error_code error,
                                                 const std::string& destination);

}  // namespace scrivel
