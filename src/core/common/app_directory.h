// The application folder: the folder of the running executable, where the
// build places config.ini, Languages/ and the templates.
#pragma once

#include <string>

namespace scrivel {

// The folder of the running executable, ending in "/". Computed on the first
// call and cached for the life of the process. Empty when the executable's
// path cannot be read.
const std::string& GetAppDirectory();

}  // namespace scrivel
