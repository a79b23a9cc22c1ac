#include "report/file_uri.h"

namespace stylo::report {
namespace {

bool windows_drive(std::string_view name) {
  return name.size() >= 3 && ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')) &&
         name[1] == ':' && (name[2] == '/' || name[2] == '\\');
}

void append_encoded(std::string& out, std::string_view text, bool backslash_separates) {
  static constexpr char hex[] = "0123456789ABCDEF";
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
        byte == '-' || byte == '.' || byte == '_' || byte == '~' || byte == '/') {
      out += c;
    } else if (byte == '\\' && backslash_separates) {
      out += '/';
    } else {
      out += '%';
      out += hex[byte >> 4];
      out += hex[byte & 15];
    }
  }
}

}  // namespace

bool has_relative_uri(std::string_view name) { return !(name.starts_with('/') || windows_drive(name)); }

std::string file_uri(std::string_view name) {
  std::string uri;
  if (windows_drive(name)) {
    uri = "file:///";
    uri += name.substr(0, 2);
    append_encoded(uri, name.substr(2), true);
    return uri;
  }
  if (name.starts_with('/')) {
    uri = "file://";
    append_encoded(uri, name, false);
    return uri;
  }
  while (name.starts_with("./")) {
    name.remove_prefix(2);
    while (name.starts_with('/')) name.remove_prefix(1);
  }
  append_encoded(uri, name, false);
  return uri;
}

}  // namespace stylo::report
