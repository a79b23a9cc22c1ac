#include "core/check.h"

#include "scanner/fast_scan.h"
#include "scanner/file_scan.h"
#include "scanner/source_cursor.h"

namespace stylo {

checker::checker(scan_method method) : cursor_(std::make_unique<cursor_state>()), method_(method) {}

checker::~checker() = default;

check_outcome checker::scan_opened(finding_sink& sink) {
  cursor_state& c = *cursor_;
  reset_cursor(c);
  c.sink = &sink;
  if (method_ == scan_method::plain) {
    scan_file_plain(c);
  } else {
    scan_file_fast(c);
  }
  c.sink = nullptr;
  close_source(c);
  return c.read_failed ? check_outcome::read_failed : check_outcome::checked;
}

check_outcome checker::check_file(std::string_view name, finding_sink& sink) {
  switch (open_source(*cursor_, name)) {
    case open_status::opened:
      return scan_opened(sink);
    case open_status::cannot_open:
      return check_outcome::cannot_open;
    case open_status::read_failed:
      break;
  }
  close_source(*cursor_);
  return check_outcome::read_failed;
}

check_outcome checker::check_input(std::string_view name, platform::input_handle input, finding_sink& sink) {
  cursor_state& c = *cursor_;
  close_source(c);
  c.file_name = name;
  if (!open_input(c.input, input, false)) return check_outcome::read_failed;
  return scan_opened(sink);
}

check_outcome checker::check_text(std::string_view name, std::string_view text, finding_sink& sink) {
  cursor_state& c = *cursor_;
  close_source(c);
  c.file_name = name;
  if (!load_text(c.input, text)) return check_outcome::read_failed;
  return scan_opened(sink);
}

}  // namespace stylo
