#pragma once
/// The command line: one source file, or a list of them.
///
///   stylo <filename>
///   stylo --file-list=<file>      (use '-' as <file> for standard input)

#include <string_view>

#include "core/check.h"
#include "scanner/line_reader.h"

namespace stylo {

/// The program: takes the arguments as main receives them and returns the
/// exit status (1 for a usage error or a list that cannot be opened, else 0).
/// `method` is for the reference build, which scans a character at a time.
int run_stylo(int argc, const char* const* argv, scan_method method = scan_method::fast);

/// Checks one file, writing its warning lines; says so on standard error
/// when it cannot be opened, and ends the run when it cannot be read.
void check_one_file(std::string_view name);

/// Checks every line of the list, in order, as a file name exactly as it
/// stands (an empty line is an empty name). `list_name` is the list's name
/// for messages: a read error ends the run with "Failed while parsing".
void read_file_list(line_reader& list, std::string_view list_name);

}  // namespace stylo
