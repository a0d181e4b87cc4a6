// The callbacks through which long operations report progress and are asked
// to stop. A non-zero return asks the operation to stop; the operation then
// returns that value as its result (the scan page returns 2, kCancelled).
#pragma once

#include <string>

namespace scrivel {

// Overall progress of a scan or decryption, percent 0 to 100.
using ProgressCallback = int (*)(void* userData, int percent);

// Progress of one file copy: percent 100 marks a finished file; errorCode is
// 0 or the code of the failure; destination is the file being written.
using CopyProgressCallback = int (*)(void* userData, int percent, int errorCode, const std::string& destination);

}  // namespace scrivel
