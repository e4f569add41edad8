// The accessibility client calls over ApplicationServices, one platform call to one AX call.
// Every out-pointer starts as NULL, every attribute name is a CFString made and released here,
// and every value read is converted and released before the call returns.
#include "platform/accessibility.h"

#include "cf_values.h"
#include "objects.h"

namespace platform {

namespace {

using macos::Owned;

sdk::AXUIElementRef refOf(const Element& element) {
    return element.object ? element.object->ref.get() : nullptr;
}

AttributeRead readOf(sdk::AXError error, const Owned<sdk::CFTypeRef>& value) {
    if (error != sdk::kAXErrorSuccess) {
        return {macos::errorFrom(error), std::nullopt};
    }
    if (!value) {
        return {AXError::success, std::nullopt};  // success, but the element left it empty
    }
    return {AXError::success, macos::valueFrom(value.get())};
}

}  // namespace

bool isProcessTrusted() {
    return sdk::AXIsProcessTrusted() != 0;
}

Element createApplication(Pid pid) {
    return macos::elementFrom(Owned<sdk::AXUIElementRef>(sdk::AXUIElementCreateApplication(pid)));
}

Element createSystemWide() {
    return macos::elementFrom(Owned<sdk::AXUIElementRef>(sdk::AXUIElementCreateSystemWide()));
}

AttributeRead copyAttributeValue(const Element& element, const std::string& attribute) {
    const sdk::AXUIElementRef ref = refOf(element);
    const Owned<sdk::CFStringRef> name = macos::makeString(attribute);
    if (ref == nullptr || !name) {
        return {AXError::illegalArgument, std::nullopt};
    }
    sdk::CFTypeRef out = nullptr;
    const sdk::AXError error = sdk::AXUIElementCopyAttributeValue(ref, name.get(), &out);
    return readOf(error, Owned<sdk::CFTypeRef>(out));
}

AttributeRead copyParameterizedAttributeValue(const Element& element, const std::string& attribute,
                                              const Value& parameter) {
    const sdk::AXUIElementRef ref = refOf(element);
    const Owned<sdk::CFStringRef> name = macos::makeString(attribute);
    const Owned<sdk::CFTypeRef> cfParameter = macos::cfFrom(parameter);
    if (ref == nullptr || !name || !cfParameter) {
        return {AXError::illegalArgument, std::nullopt};
    }
    sdk::CFTypeRef out = nullptr;
    const sdk::AXError error =
        sdk::AXUIElementCopyParameterizedAttributeValue(ref, name.get(), cfParameter.get(), &out);
    return readOf(error, Owned<sdk::CFTypeRef>(out));
}

AXError setAttributeValue(const Element& element, const std::string& attribute,
                          const Value& value) {
    const sdk::AXUIElementRef ref = refOf(element);
    const Owned<sdk::CFStringRef> name = macos::makeString(attribute);
    const Owned<sdk::CFTypeRef> cfValue = macos::cfFrom(value);
    if (ref == nullptr || !name || !cfValue) {
        return AXError::illegalArgument;
    }
    return macos::errorFrom(sdk::AXUIElementSetAttributeValue(ref, name.get(), cfValue.get()));
}

SettableRead isAttributeSettable(const Element& element, const std::string& attribute) {
    const sdk::AXUIElementRef ref = refOf(element);
    const Owned<sdk::CFStringRef> name = macos::makeString(attribute);
    if (ref == nullptr || !name) {
        return {AXError::illegalArgument, false};
    }
    sdk::Boolean settable = 0;
    const sdk::AXError error = sdk::AXUIElementIsAttributeSettable(ref, name.get(), &settable);
    return {macos::errorFrom(error), error == sdk::kAXErrorSuccess && settable != 0};
}

AXError setMessagingTimeout(const Element& element, float seconds) {
    const sdk::AXUIElementRef ref = refOf(element);
    if (ref == nullptr) {
        return AXError::illegalArgument;
    }
    return macos::errorFrom(sdk::AXUIElementSetMessagingTimeout(ref, seconds));
}

PidRead getPid(const Element& element) {
    const sdk::AXUIElementRef ref = refOf(element);
    if (ref == nullptr) {
        return {AXError::illegalArgument, 0};
    }
    pid_t pid = 0;
    const sdk::AXError error = sdk::AXUIElementGetPid(ref, &pid);
    return {macos::errorFrom(error), error == sdk::kAXErrorSuccess ? pid : 0};
}

}  // namespace platform
