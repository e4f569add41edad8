// Identity of element handles on macOS: CFEqual of the two references.
#include "platform/core_foundation.h"

#include "objects.h"

namespace platform {

bool same(const Element& a, const Element& b) {
    if (!a.object || !b.object || !a.object->ref || !b.object->ref) {
        return false;
    }
    return sdk::CFEqual(a.object->ref.get(), b.object->ref.get()) != 0;
}

}  // namespace platform
