// Test hooks of the volume engine (no CE counterpart). Production code never
// calls these.
#pragma once

#include <cstdint>

namespace cedb {

// Compaction starts once a file exceeds this many bytes (default 1 MiB) and
// more than half of it is dead. Tests lower it to compact often.
void SetCompactionThreshold(std::uint64_t bytes);

// After `writes` more file writes (data, size changes, syncs), every further
// one fails with ERROR_WRITE_FAULT, as a vanished disk or a killed process
// would; -1 turns the hook off.
void FailFileWritesAfter(int writes);

}  // namespace cedb
