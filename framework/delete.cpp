// The program's C++ deletion over the C runtime's heap, so the image needs nothing of the C++ runtime library.
#include <stdlib.h>

// The program allocates only through AfxAlloc, and checks each result: it has no operator new, so a new-expression
// does not link. Virtual destructors still name a deleting form, which needs these.
void operator delete(void* p) noexcept
{
    free(p);
}

void operator delete(void* p, size_t) noexcept
{
    free(p);
}
