// Core Foundation identity of element handles on the simulated desktop: the same element of the
// same application on the same desktop.
#include "platform/core_foundation.h"

#include "platform/sim/handles.h"

namespace platform {

bool same(const Element& a, const Element& b) {
    if (!a.object || !b.object) {
        return a.object == b.object;
    }
    return a.object->generation == b.object->generation && a.object->pid == b.object->pid &&
           a.object->element == b.object->element;
}

}  // namespace platform
