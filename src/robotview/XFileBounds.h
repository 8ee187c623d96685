#pragma once
// A look at a .x model's text before the importer reads it. The importer sizes its arrays from
// the counts a mesh claims, so a damaged count (two billion vertices in a 100 KB file) would
// exhaust memory before any error could be reported. Every number inside a mesh block is a
// count, an index below a count, or a coordinate; none can exceed the number of bytes in the
// file, since every element takes at least one byte. A file breaking that is refused.

#include <cstddef>
#include <string>
#include <string_view>

namespace robotview {

struct XFileBounds {
    bool ok = false;
    std::string why; // when refused: what does not fit, for the user
};

// Checks the whole file's bytes. Only the text form is accepted: the binary and compressed forms
// hide their counts from a check this simple, and the kit's models are all text.
XFileBounds checkXFileBounds(std::string_view bytes);

} // namespace robotview
