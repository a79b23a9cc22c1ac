#pragma once
/// What replacing a user's file with a fixed version of it needs of the
/// system, beyond writing a file whole (file_output.h):
///
/// - a source opened without ever waiting (a FIFO with no writer opens at
///   once), so that its kind is known before anything is read or written;
/// - whether the user may write it at all (its mode, an ACL, a read-only
///   mount), since a file the user could not have edited is left alone;
/// - a replacement with the file's mode, its owner where the runner may
///   give it (otherwise the set-user-ID and set-group-ID bits dropped, so
///   that no one gains a right by the rewrite), and its extended attributes
///   where the system allows (Linux: all the runner may read and set,
///   `user.*`, ACLs and security labels among them; other POSIX systems:
///   none are copied);
/// - a replacement that has no name until the instant it takes the file's
///   place where the system allows (Linux's O_TMPFILE): a signal, or even
///   SIGKILL, then leaves nothing behind. Elsewhere it has a short name of
///   its own in the same directory, removed on every failure and signal.
/// - an existing device or FIFO written where it is (`--output=/dev/null`
///   must never replace /dev/null).

#include <cstddef>
#include <string>

#include "platform/file_input.h"
#include "platform/file_output.h"

namespace stylo::platform {

/// Opens `name` (through links) for reading without waiting, and takes its
/// facts. 0, or the system's code, kept as it is (a descriptor shortage is
/// EMFILE or ENFILE, not a missing file); on a failure nothing is open.
int open_source(const std::string& name, input_handle& input, file_facts& facts);

/// Sets an open regular file back to its first byte, to be read again. 0
/// or the system's code.
int rewind_input(input_handle input);

/// Whether the user may write the file `name`, whose facts are `facts`: 0,
/// or the system's code for why not. A file no one may write (mode 0444)
/// may not be, even by an administrator, and neither may one the system
/// refuses this user (an ACL, a read-only mount).
int may_write(const std::string& name, const file_facts& facts);

/// Creates the replacement of `target` (the file itself, not a link to it)
/// in its directory: unnamed where the system allows, with `like`'s mode,
/// owner and (from `original`, open) extended attributes, as said above.
/// 0, or the system's code with nothing made.
int create_replacement(const std::string& target, const file_facts& like, input_handle original,
                       temporary_file& file);

/// A new file to take `target`'s place, with the permissions the user's
/// umask gives any new file: unnamed where the system allows, as a
/// replacement is, so that a run stopped even by SIGKILL leaves nothing
/// beside `target`. `publish` puts it in place. 0, or the system's code
/// with nothing made.
int create_unnamed_beside(const std::string& target, temporary_file& file);

/// Puts the written, synced `file` in the place of `target` in one step
/// (a rename). 0, or the system's code with `target` as it was; `file` is
/// then still to be removed with `remove_temporary`. Its handle stays open.
int publish(temporary_file& file, const std::string& target);

/// Opens the existing file `name`, which is not a regular file (a device,
/// a FIFO), for writing where it is: a FIFO waits for its reader, as any
/// writer's does. 0, or the system's code.
int open_in_place(const std::string& name, output_handle& output);

/// How many descriptors this process may hold open at once.
std::size_t descriptor_limit();

/// From now on, a write to a closed pipe or past the file size limit fails
/// with its code, rather than ending the process by a signal: a run that
/// has put fixed files in place must still say so.
void report_failed_writes_as_errors();

/// Removes every temporary file under way on any stopping signal (see
/// file_output.h); installed at the start of a run that writes files.
void install_stopping_handler();

/// Keeps the stopping signals away from the calling thread, so that the
/// handler always runs on the thread that names temporary files, never
/// between a worker's steps. Threads started meanwhile inherit it, from
/// their first instant; `unblock_stopping_signals` ends it for the caller.
void block_stopping_signals();
void unblock_stopping_signals();

}  // namespace stylo::platform
