// The landed test.
#include "insert/landed.h"

#include "text/normalize.h"

namespace insert {

bool landed(std::string_view text, std::string_view in) {
    return text::containsCanonically(text::collapseWhiteSpace(in), text::collapseWhiteSpace(text));
}

}  // namespace insert
