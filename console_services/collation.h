// The platform's comparison behind the name list's sort.  Not part of the
// public interface.
#pragma once

#include <cstddef>
#include <cstdint>

// Reorders order[0..count), which holds indices into names, so that the
// names it points to ascend: case-blind, by the user's locale, in the order
// the Windows string list gives; names that collate equal end in byte
// order.  Returns false when memory runs out (order is then unspecified).
bool collate_sort(const char *const *names, std::size_t count, std::uint32_t *order);
