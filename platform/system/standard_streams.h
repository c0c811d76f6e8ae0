// The standard streams of a program started from a shell or a script, which may have closed
// them (2>&-) or pointed them at something that cannot take what is written (a full disk, a
// closed pipe).
#pragma once

#include <string>

#include "platform/export.h"

namespace sys {

// Opens /dev/null on each of the descriptors 0 to 2 that is closed, so that no file the program
// opens later (a scheduler connection, a log) takes its place and receives what is meant for the
// stream.
PLENWISE_API void OpenClosedStandardStreams();

// Makes std::cout write to descriptor 1 through a buffer of its own that remembers the first
// write that failed, and why (a flush on the way, such as the one std::cerr makes before it
// writes, would otherwise take the reason with it). On a terminal every output is sent at once.
// Call once, at the start.
PLENWISE_API void CheckStandardOutput();

// Flushes standard output; false, with the reason, when anything written to it since the start
// was not taken.
PLENWISE_API bool FinishStandardOutput(std::string& reason);

}  // namespace sys
