#include "core/common/sqlite_uri.h"

namespace scrivel {

std::string ReadOnlySqliteUri(const std::string& path) {
  std::string uri = "file:";
  for (const char c : path) {
    // The characters that would end the path part of a URI.
    switch (c) {
      case '%': uri += "%25"; break;
      case '?': uri += "%3f"; break;
      case '#': uri += "%23"; break;
      default: uri += c;
    }
  }
  uri += "?mode=ro&immutable=1";
  return uri;
}

}  // namespace scrivel
