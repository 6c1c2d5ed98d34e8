// The platform allocator: every block is taken and released with the caller's source unit and line,
// so that a leak report can name who took the block.
#pragma once

#include <cstddef>

void *__vx_malloc(size_t size, const char *unit, int line);
void __vx_free(void *block, const char *unit, int line);

#define VX_MALLOC(size) __vx_malloc((size), __FILE__, __LINE__)
#define VX_FREE(block) __vx_free((block), __FILE__, __LINE__)
