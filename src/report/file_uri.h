#pragma once
/// A file name as a URI, for the formats that locate a finding by URI
/// (SARIF, and the `uri` of the JSON lines). Every byte of the name
/// survives: all but letters, digits, '-', '.', '_', '~' and '/' are
/// percent-encoded, '%' itself included, so a name that is not UTF-8 or
/// holds control characters is still given exactly.
///
/// - A relative name gives a relative URI, any leading "./" dropped:
///   "./src/my file.c" gives "src/my%20file.c". A name with ".." keeps its
///   ".." segments ("../lib/a.c"), which point where the name points.
/// - An absolute name gives a file URI: "/home/a.c" gives "file:///home/a.c",
///   and a Windows name with a drive, "C:\src\a.c" or "C:/src/a.c", gives
///   "file:///C:/src/a.c".
/// - A backslash in any other name is a byte of the name ("%5C").

#include <string>
#include <string_view>

namespace stylo::report {

std::string file_uri(std::string_view name);

/// Whether `file_uri(name)` is a relative URI.
bool has_relative_uri(std::string_view name);

}  // namespace stylo::report
