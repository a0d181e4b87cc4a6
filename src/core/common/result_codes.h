// The result codes that cross module boundaries. Every operation of the core
// returns one of these (or an operating-system error code, or a negative code
// reported by a device); no other bare numbers are used as results.
#pragma once

namespace scrivel {

inline constexpr int kOk = 0;                // success
inline constexpr int kCancelled = 2;         // the progress callback asked to stop
inline constexpr int kDeviceGone = -1;       // device disconnected or backup stopped
inline constexpr int kWrongPassword = -110;  // the backup password does not open the keybag
inline constexpr int kShortRead = 30;        // a file ended inside a page, or a read returned nothing
inline constexpr int kBadFile = 87;          // missing, unopenable or wrong kind of file; a record that fails a test
inline constexpr int kQueryError = 1006;     // a database query failed
inline constexpr int kMbdbUnopenable = 6009; // Manifest.mbdb cannot be opened

}  // namespace scrivel
