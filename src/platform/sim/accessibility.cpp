// The accessibility client calls on the simulated desktop: every message to an application is
// logged, waits out the element's latency without the lock, and then answers from the state.
#include "platform/accessibility.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "platform/sim/elements.h"
#include "platform/sim/handles.h"
#include "platform/sim/runtime.h"

namespace platform {

namespace {

using sim::CallOp;
using sim::Live;

template <typename Result>
Result failed(AXError error);

template <>
AttributeRead failed<AttributeRead>(AXError error) {
    return {error, std::nullopt};
}
template <>
SettableRead failed<SettableRead>(AXError error) {
    return {error, false};
}
template <>
AXError failed<AXError>(AXError error) {
    return error;
}

AXError codeOf(const AttributeRead& read) {
    return read.error;
}
AXError codeOf(const SettableRead& read) {
    return read.error;
}
AXError codeOf(AXError error) {
    return error;
}

// One message to an application: `answer(live, app, index)` runs under the lock once the
// element's latency has passed; app is null for the system-wide element.
template <typename Result, typename Answer>
Result message(const Element& element, CallOp op, const std::string& attribute, Answer answer) {
    if (!element.object) {
        return failed<Result>(AXError::illegalArgument);
    }
    const ElementObject& handle = *element.object;
    const std::shared_ptr<Live> live = sim::acquire();
    std::unique_lock lock(live->mutex);
    if (handle.generation != live->generation) {
        return failed<Result>(AXError::invalidUIElement);
    }
    const std::size_t entry = live->log.calls.size();
    live->log.calls.push_back(
        {handle.pid, handle.element, op, attribute, live->elapsedMs(), AXError::success});
    const auto finish = [&](Result result) {
        live->log.calls[entry].error = codeOf(result);
        return result;
    };
    if (!live->desktop.trusted) {
        return finish(failed<Result>(AXError::apiDisabled));
    }
    if (handle.element == sim::systemWideElement) {
        return finish(answer(*live, nullptr, handle.element));
    }
    const auto find = [&]() -> sim::App* {
        sim::App* app = live->desktop.app(handle.pid);
        if (!app || app->terminated || handle.element < 0 ||
            static_cast<std::size_t>(handle.element) >= app->nodes.size()) {
            return nullptr;
        }
        return app;
    };
    sim::App* app = find();
    if (!app) {
        return finish(failed<Result>(AXError::invalidUIElement));
    }
    const double latencyMs = app->nodes[static_cast<std::size_t>(handle.element)].latencyMs;
    if (latencyMs > 0) {
        const double timeoutMs = static_cast<double>(handle.timeoutSeconds.load()) * 1000.0;
        const bool tooSlow = latencyMs > timeoutMs;
        lock.unlock();
        std::this_thread::sleep_for(sim::clockOffset(tooSlow ? timeoutMs : latencyMs));
        lock.lock();
        if (tooSlow) {
            return finish(failed<Result>(AXError::cannotComplete));
        }
        app = find();
        if (!app) {
            return finish(failed<Result>(AXError::invalidUIElement));
        }
    }
    return finish(answer(*live, app, handle.element));
}

}  // namespace

bool isProcessTrusted() {
    const auto live = sim::acquire();
    std::lock_guard lock(live->mutex);
    return live->desktop.trusted;
}

Element createApplication(Pid pid) {
    const auto live = sim::acquire();
    return sim::makeElement(live->generation, pid, 0);
}

Element createSystemWide() {
    const auto live = sim::acquire();
    return sim::makeElement(live->generation, 0, sim::systemWideElement);
}

AttributeRead copyAttributeValue(const Element& element, const std::string& attribute) {
    return message<AttributeRead>(element, CallOp::copy, attribute,
                                  [&](Live& live, sim::App* app, std::int32_t index) {
                                      if (!app) {
                                          return sim::readSystemWideAttribute(live, attribute);
                                      }
                                      return sim::readAttribute(live, *app, index, attribute);
                                  });
}

AttributeRead copyParameterizedAttributeValue(const Element& element, const std::string& attribute,
                                              const Value& parameter) {
    return message<AttributeRead>(
        element, CallOp::copyParam, attribute,
        [&](Live& live, sim::App* app, std::int32_t index) -> AttributeRead {
            if (!app || attribute != "AXBoundsForRange") {
                return {AXError::attributeUnsupported, std::nullopt};
            }
            const sim::Node& node = app->nodes[static_cast<std::size_t>(index)];
            if (!node.boundsForRange) {
                return {AXError::attributeUnsupported, std::nullopt};
            }
            const auto* wrapped = std::get_if<Wrapped>(&parameter.data);
            if (!wrapped || wrapped->kind() != WrappedKind::range) {
                return {AXError::illegalArgument, std::nullopt};
            }
            const sim::SimValue& bounds = *node.boundsForRange;
            if (const auto* error = std::get_if<sim::ErrorValue>(&bounds.data)) {
                return {error->code, std::nullopt};
            }
            if (std::holds_alternative<sim::NoValue>(bounds.data)) {
                return {AXError::success, std::nullopt};
            }
            return {AXError::success, sim::toPlatformValue(live.generation, app->pid, bounds)};
        });
}

AXError setAttributeValue(const Element& element, const std::string& attribute,
                          const Value& value) {
    return message<AXError>(element, CallOp::set, attribute,
                            [&](Live& live, sim::App* app, std::int32_t index) {
                                if (!app) {
                                    return AXError::attributeUnsupported;
                                }
                                return sim::writeAttribute(live, *app, index, attribute, value);
                            });
}

SettableRead isAttributeSettable(const Element& element, const std::string& attribute) {
    return message<SettableRead>(
        element, CallOp::isSettable, attribute,
        [&](Live&, sim::App* app, std::int32_t index) -> SettableRead {
            if (!app) {
                return sim::systemWideHas(attribute)
                           ? SettableRead{AXError::success, false}
                           : SettableRead{AXError::attributeUnsupported, false};
            }
            const sim::Node& node = app->nodes[static_cast<std::size_t>(index)];
            if (node.isSettable(attribute)) {
                return {AXError::success, true};
            }
            if (sim::hasAttribute(*app, index, attribute)) {
                return {AXError::success, false};
            }
            return {AXError::attributeUnsupported, false};
        });
}

AXError setMessagingTimeout(const Element& element, float seconds) {
    if (!element.object || std::isnan(seconds) || seconds < 0) {
        return AXError::illegalArgument;
    }
    // As on macOS, zero puts the handle back on the system default.
    element.object->timeoutSeconds.store(seconds == 0 ? defaultMessagingTimeout : seconds);
    return AXError::success;
}

PidRead getPid(const Element& element) {
    if (!element.object) {
        return {AXError::illegalArgument, 0};
    }
    return {AXError::success, element.object->pid};
}

}  // namespace platform
