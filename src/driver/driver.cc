#include "driver/driver.h"

#include <memory>
#include <string>

#include "driver/version.h"
#include "driver/warning_lines.h"
#include "platform/file_input.h"
#include "driver/console_output.h"
#include "core/check.h"

namespace stylo {
namespace {

constexpr std::string_view list_option = "--file-list=";

void write_usage(std::string_view program) {
  write_error_line({"Usage: ", program, " <filename>"});
  write_error_line({"or     ", program, " --file-list=<file>"});
  write_error_line({"       (use '-' as <file> for standard input)"});
  write_error_line({"Version ", version_text});
}

// The list's reader lives for the run, like the cursor's, so that its buffer
// is allocated once.
line_reader list_input;

warning_line_sink warning_lines;

// The one checker of the run: stylo checks one file at a time.
std::unique_ptr<checker> files;

// Opens a named list; a list whose first read fails ends the run.
bool open_list(const std::string& name) {
  switch (open_file(list_input, name)) {
    case open_status::opened:
      return true;
    case open_status::cannot_open:
      return false;
    case open_status::read_failed:
      break;
  }
  fail_parsing(name);
}

}  // namespace

void check_one_file(std::string_view name) {
  if (files == nullptr) files = std::make_unique<checker>();
  switch (files->check_file(name, warning_lines)) {
    case check_outcome::checked:
      return;
    case check_outcome::cannot_open:
      // Not a failure of the run: the list goes on with its next name.
      write_error_line({"Unable to open file '", name, "'"});
      return;
    case check_outcome::read_failed:
      fail_parsing(name);
  }
}

void read_file_list(line_reader& list, std::string_view list_name) {
  std::string_view name;
  for (;;) {
    switch (read_line(list, name)) {
      case read_status::line:
        // The view stays valid while the file is checked: the list is not
        // read again until check_file returns.
        check_one_file(name);
        break;
      case read_status::end:
        return;
      case read_status::error:
        fail_parsing(list_name);
    }
  }
}

int run_stylo(int argc, const char* const* argv, scan_method method) {
  files = std::make_unique<checker>(method);
  if (argc != 2) {
    write_usage(argc > 0 && argv[0] != nullptr ? argv[0] : "stylo");
    return 1;
  }
  const std::string_view argument = argv[1];
  if (argument.substr(0, list_option.size()) != list_option) {
    check_one_file(argument);
    return 0;
  }
  const std::string list_name(argument.substr(list_option.size()));
  if (list_name == "-") {
    if (!open_input(list_input, platform::standard_input(), false)) fail_parsing(list_name);
    read_file_list(list_input, list_name);
    return 0;
  }
  if (!open_list(list_name)) {
    write_error_line({"Unable to open file list '", list_name, "'"});
    return 1;
  }
  read_file_list(list_input, list_name);
  close_input(list_input);
  return 0;
}

}  // namespace stylo
