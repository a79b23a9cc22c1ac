#pragma once
/// Standard input and output as a language server uses them: a stream of
/// bytes each way, never translated, and a client that has gone away is a
/// failed write, not the end of the process.

namespace stylo::platform {

/// Sets the standard streams up for a protocol: on Windows, binary mode for
/// the C runtime's descriptors too (the server reads and writes through the
/// raw handles, which translate nothing); on POSIX systems, a write to a
/// pipe whose reader has gone fails with EPIPE instead of raising SIGPIPE.
void prepare_protocol_streams();

}  // namespace stylo::platform
