// Copies stored files out of a backup: the export's copy into the chosen
// folder and the preview's temporary copy in the work folder. Sources are
// opened read-only; a target is truncated first, and removed again when the
// copy fails or is cancelled, so no partial file is left behind.
#pragma once

#include <system_error>

#include <cstdint>
#include <string>

#include "core/common/progress.h"

namespace scrivel {

// Bytes moved per read and write.
inline constexpr std::size_t kCopyChunkSize = 65536;

// The extension lists of previewable media, "*.ext|*.ext|…". An extension
// "belongs" to a list when its text occurs anywhere in it ("mid" and "midi"
// both occur in the audio list, "p" in the image list).
extern const char* const kImageExtensions;
extern const char* const kAudioExtensions;
extern const char* const kVideoExtensions;

// Copies source to destination, creating destination's folder with its
// parents. After each chunk calls callback (when given) with
// (userData, copied * 100 / size, 0, destination); a non-zero return stops the
// copy and becomes the result. Results: 0; 87 when either file cannot be
// opened; 30 when a read fails or the source ends early; the system error
// code of a failed write. On any non-zero result the callback (when given) is
// called once more with (userData, 100, result, destination) and the partial
// destination is removed.
[[nodiscard]] std::error_code CopyOut(const std::string& source, const std::string& destination, CopyProgressCallback callback,
            void* userData);

// Makes the preview copy of source in workFolder (ending in "/"): the file's
// content type decides the target, "tmp.jpg" for pictures, "tmp.wav" for
// sound, "tmp.avi" for video. outTempPath receives the target (empty when no
// copy is made). Results: 87 when source's content is not recognised; 0 with
// no copy for a recognised type that is no picture, sound or video; otherwise
// as CopyOut. The callback (when given) receives copied * 100 / size after
// each chunk and 100 at the end.
[[nodiscard]] std::error_code ExtractPreviewFile(const std::string& workFolder, const std::string& source, std::string& outTempPath,
                       ProgressCallback callback, void* userData);

}  // namespace scrivel
