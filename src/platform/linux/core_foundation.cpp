// Identity of elements: two handles are equal when they name the same object on the bus.
#include "platform/core_foundation.h"

#include "node.h"

namespace platform {

bool same(const Element& a, const Element& b) {
    if (!a.object || !b.object) {
        return false;
    }
    if (a.object == b.object) {
        return true;
    }
    using Kind = ElementObject::Kind;
    if (a.object->kind == Kind::systemWide || b.object->kind == Kind::systemWide) {
        return a.object->kind == b.object->kind;
    }
    const auto first = atspi::target(*a.object);
    const auto second = atspi::target(*b.object);
    return first && second && first->ref == second->ref;
}

}  // namespace platform
