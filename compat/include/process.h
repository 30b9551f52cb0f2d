// The Microsoft C runtime's threads, over POSIX ones.
#pragma once

#include <stdint.h>

// Starts the function on a thread of its own, which ends when the function returns and is never joined;
// (uintptr_t)-1 where no thread can be made.
uintptr_t _beginthread(void (*start_address)(void*), unsigned stack_size, void* arglist);
