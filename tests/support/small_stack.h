// Runs a piece of work on a thread with a stack of a chosen size, the way a
// host's own thread would run a command.
#ifndef QZ_TESTS_SUPPORT_SMALL_STACK_H
#define QZ_TESTS_SUPPORT_SMALL_STACK_H

#include <cstddef>

namespace qztest {

// Waits for the work to finish. False when no such thread could be started.
bool RunOnThreadWithStack(std::size_t stackBytes, void (*work)(void*), void* argument);

}  // namespace qztest

#endif  // QZ_TESTS_SUPPORT_SMALL_STACK_H
