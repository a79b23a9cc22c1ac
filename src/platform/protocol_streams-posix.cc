#include "platform/protocol_streams.h"

#include <csignal>

namespace stylo::platform {

void prepare_protocol_streams() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace stylo::platform
