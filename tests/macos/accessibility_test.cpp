// The accessibility calls over the fake: values and error codes as the platform reports them,
// what each write hands the SDK, empty handles, and, through the core's primitives, the
// helper's messaging time-out on every handle it gets.
#include "platform/accessibility.h"

#include "ax/primitives.h"
#include "fake_test_support.h"
#include "objects.h"
#include "platform/core_foundation.h"

namespace {

using macostest::FakeSdkTest;
using platform::AXError;
using platform::Value;

sdk::CFTypeRef elementsArray(std::initializer_list<int> ids) {
    std::vector<sdk::CFTypeRef> elements;
    for (const int id : ids) {
        elements.push_back(fake::element(id));
    }
    const sdk::CFTypeRef array = fake::array(elements);
    for (const sdk::CFTypeRef element : elements) {
        sdk::CFRelease(element);
    }
    return array;
}

std::vector<std::string> ops() {
    std::vector<std::string> names;
    for (const fake::Call& call : fake::calls()) {
        names.push_back(call.op);
    }
    return names;
}

using MacAccessibility = FakeSdkTest;

TEST_F(MacAccessibility, ReadsGiveTheValueAndReleaseWhatTheyMade) {
    fake::answer(42, "AXRole", sdk::kAXErrorSuccess, [] { return fake::string(u"AXWindow"); });
    const platform::Element app = platform::createApplication(42);
    const platform::AttributeRead read = platform::copyAttributeValue(app, "AXRole");
    EXPECT_EQ(read.error, AXError::success);
    ASSERT_TRUE(read.value);
    EXPECT_EQ(std::get<std::string>(read.value->data), "AXWindow");
    ASSERT_EQ(fake::calls().size(), 2U);
    EXPECT_EQ(fake::calls()[1].op, "AXUIElementCopyAttributeValue");
    EXPECT_EQ(fake::calls()[1].element, 42);
    EXPECT_EQ(fake::calls()[1].attribute, "AXRole");
}

TEST_F(MacAccessibility, ErrorsAndEmptySuccessesCarryNoValue) {
    struct Case {
        sdk::AXError code;
        bool withValue;
        AXError error;
    };
    const Case cases[] = {
        {sdk::kAXErrorSuccess, false, AXError::success},  // success, and the out-pointer NULL
        {sdk::kAXErrorNoValue, false, AXError::noValue},
        {sdk::kAXErrorCannotComplete, false, AXError::cannotComplete},  // the messaging time-out
        {sdk::kAXErrorCannotComplete, true, AXError::cannotComplete},   // a value anyway: freed
        {sdk::kAXErrorParameterizedAttributeUnsupported, false, AXError::failure},
        {static_cast<sdk::AXError>(-1), false, AXError::failure},
    };
    const platform::Element app = platform::createApplication(5);
    for (const Case& c : cases) {
        fake::answer(5, "AXValue", c.code,
                     c.withValue ? fake::Factory([] { return fake::string(u"x"); })
                                 : fake::Factory([] { return nullptr; }));
        const platform::AttributeRead read = platform::copyAttributeValue(app, "AXValue");
        EXPECT_EQ(read.error, c.error) << c.code;
        EXPECT_FALSE(read.value) << c.code;
    }
    // An attribute the application does not know.
    EXPECT_EQ(platform::copyAttributeValue(app, "AXNothing").error, AXError::attributeUnsupported);
}

TEST_F(MacAccessibility, ParametersAndWrittenValuesAreHandedOverAndReleased) {
    const platform::Element field = platform::createApplication(8);
    const sdk::CGRect bounds{{1, 2}, {3, 4}};
    fake::answer(8, "AXBoundsForRange", sdk::kAXErrorSuccess,
                 [&] { return fake::axValue(3, &bounds, sizeof bounds); });
    const platform::AttributeRead read = platform::copyParameterizedAttributeValue(
        field, "AXBoundsForRange", Value{platform::Wrapped{platform::Range{2, 3}}});
    ASSERT_TRUE(read.value);
    EXPECT_EQ(
        std::get<platform::Rect>(std::get<platform::Wrapped>(read.value->data).value).origin.y, 2);
    EXPECT_EQ(fake::calls().back().detail, "range 2 3");

    fake::setResult(8, "AXFocused", sdk::kAXErrorAttributeUnsupported);
    EXPECT_EQ(platform::setAttributeValue(field, "AXSelectedTextRange",
                                          Value{platform::Wrapped{platform::Range{7, 0}}}),
              AXError::success);
    EXPECT_EQ(fake::calls().back().detail, "range 7 0");
    EXPECT_EQ(platform::setAttributeValue(field, "AXFocused", Value{true}),
              AXError::attributeUnsupported);
    EXPECT_EQ(fake::calls().back().detail, "true");

    // A value that cannot be written never reaches the SDK.
    const std::size_t before = fake::calls().size();
    EXPECT_EQ(platform::setAttributeValue(field, "AXValue", Value{platform::OtherValue{}}),
              AXError::illegalArgument);
    EXPECT_EQ(fake::calls().size(), before);

    fake::settable(8, "AXValue", sdk::kAXErrorSuccess, true);
    fake::settable(8, "AXTitle", sdk::kAXErrorCannotComplete, true);
    EXPECT_TRUE(platform::isAttributeSettable(field, "AXValue").settable);
    const platform::SettableRead failed = platform::isAttributeSettable(field, "AXTitle");
    EXPECT_EQ(failed.error, AXError::cannotComplete);
    EXPECT_FALSE(failed.settable);

    fake::pidOf(8, sdk::kAXErrorSuccess, 4321);
    EXPECT_EQ(platform::getPid(field).pid, 4321);
    fake::pidOf(8, sdk::kAXErrorInvalidUIElement, 99);
    EXPECT_EQ(platform::getPid(field).error, AXError::invalidUIElement);
    EXPECT_EQ(platform::getPid(field).pid, 0);
}

TEST_F(MacAccessibility, EmptyHandlesAnswerIllegalArgumentWithoutACall) {
    fake::failCreations(true);
    const platform::Element app = platform::createApplication(1);
    const platform::Element systemWide = platform::createSystemWide();
    EXPECT_FALSE(app.object);
    EXPECT_FALSE(systemWide.object);
    EXPECT_EQ(platform::copyAttributeValue(app, "AXRole").error, AXError::illegalArgument);
    EXPECT_EQ(platform::setMessagingTimeout(app, 0.5F), AXError::illegalArgument);
    EXPECT_EQ(platform::isAttributeSettable(app, "AXValue").error, AXError::illegalArgument);
    EXPECT_EQ(platform::getPid(app).error, AXError::illegalArgument);
    EXPECT_FALSE(platform::same(app, app));
    EXPECT_EQ(ops(), (std::vector<std::string>{"AXUIElementCreateApplication",
                                               "AXUIElementCreateSystemWide"}));
}

TEST_F(MacAccessibility, EveryHandleTheCoreGetsCarriesTheHelpersTimeOut) {
    fake::answer(42, "AXChildren", sdk::kAXErrorSuccess, [] { return elementsArray({1, 2, 3}); });
    fake::answer(42, "AXFocusedUIElement", sdk::kAXErrorSuccess, [] { return fake::element(2); });
    const platform::Element app = ax::applicationElement(42);
    std::vector<platform::Element> handles = ax::children(app);
    ASSERT_EQ(handles.size(), 3U);
    handles.push_back(*ax::axElement(ax::attribute(app, "AXFocusedUIElement")));
    handles.push_back(app);
    for (const platform::Element& handle : handles) {
        EXPECT_EQ(fake::timeoutOf(handle.object->ref.get()), 0.5F)
            << fake::elementId(handle.object->ref.get());
    }
    EXPECT_TRUE(platform::same(handles[1], handles[3]));  // element 2, reached twice
    EXPECT_FALSE(platform::same(handles[0], handles[1]));
}

TEST_F(MacAccessibility, TrustIsTheSystemsAnswer) {
    EXPECT_TRUE(platform::isProcessTrusted());
    fake::trusted(false);
    EXPECT_FALSE(platform::isProcessTrusted());
}

}  // namespace
