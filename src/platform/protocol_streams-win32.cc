#include "platform/protocol_streams.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace stylo::platform {

void prepare_protocol_streams() {
  ::_setmode(::_fileno(stdin), _O_BINARY);
  ::_setmode(::_fileno(stdout), _O_BINARY);
}

}  // namespace stylo::platform
