// Core Foundation values to platform values and back, over the fake: every kind the accessibility
// interface hands out, the writes the core makes, and the AXError mapping.
#include "cf_values.h"

#include "fake_test_support.h"
#include "objects.h"
#include "text/utf16.h"

namespace {

using macostest::FakeSdkTest;
using platform::Value;

// The value of a CF object the test made, which is then released.
Value through(sdk::CFTypeRef made) {
    Value value = platform::macos::valueFrom(made);
    sdk::CFRelease(made);
    return value;
}

template <class T>
const T& as(const Value& value) {
    const T* inner = std::get_if<T>(&value.data);
    EXPECT_NE(inner, nullptr);
    static const T none{};
    return inner != nullptr ? *inner : none;
}

using CfValues = FakeSdkTest;

TEST_F(CfValues, StringsComeAsUtf8WithTheirUtf16LengthKept) {
    struct Case {
        std::u16string units;
        std::string utf8;
    };
    const Case cases[] = {
        {u"h\u00E9llo", "h\xC3\xA9llo"},
        {u"\U0001F600!", "\xF0\x9F\x98\x80!"},
        {std::u16string(u"a") + char16_t(0xD83D), "a\xEF\xBF\xBD"},  // a lone high surrogate
        {std::u16string(1, char16_t(0xDE00)) + u"b",
         "\xEF\xBF\xBD"
         "b"},
        {u"", ""},
    };
    for (const Case& c : cases) {
        const std::string text = as<std::string>(through(fake::string(c.units)));
        EXPECT_EQ(text, c.utf8);
        EXPECT_EQ(text::utf16Length(text), static_cast<std::int64_t>(c.units.size()));
    }
    EXPECT_EQ(platform::macos::stringFrom(nullptr), "");
}

TEST_F(CfValues, NumbersAreIntegersOrFloatsAsTheNumberSays) {
    EXPECT_EQ(std::get<std::int64_t>(as<platform::Number>(through(fake::integer(-5))).value), -5);
    EXPECT_EQ(std::get<double>(as<platform::Number>(through(fake::real(2.5))).value), 2.5);
    // A float that happens to be integral stays a float; an integer past 2^63 becomes one.
    EXPECT_EQ(std::get<double>(as<platform::Number>(through(fake::real(3.0))).value), 3.0);
    EXPECT_EQ(std::get<double>(as<platform::Number>(through(fake::hugeInteger(1.8e19))).value),
              1.8e19);
}

TEST_F(CfValues, BooleansArraysAttributedStringsAndOtherTypes) {
    EXPECT_TRUE(as<bool>(platform::macos::valueFrom(sdk::kCFBooleanTrue)));
    EXPECT_FALSE(as<bool>(platform::macos::valueFrom(sdk::kCFBooleanFalse)));

    const sdk::CFTypeRef one = fake::integer(1);
    const sdk::CFTypeRef x = fake::string(u"x");
    const sdk::CFTypeRef inner = fake::array({sdk::kCFBooleanTrue});
    const sdk::CFTypeRef outer = fake::array({one, x, inner});
    for (const sdk::CFTypeRef made : {one, x, inner}) {
        sdk::CFRelease(made);
    }
    const Value value = through(outer);
    const auto& list = as<platform::ValueList>(value);
    ASSERT_EQ(list.size(), 3U);
    EXPECT_EQ(as<std::string>(list[1]), "x");
    EXPECT_TRUE(as<bool>(as<platform::ValueList>(list[2]).at(0)));

    EXPECT_EQ(as<platform::AttributedString>(through(fake::attributed(u"rich"))).text, "rich");
    EXPECT_TRUE(std::holds_alternative<platform::OtherValue>(through(fake::other()).data));
}

TEST_F(CfValues, ArraysNestedPastAnyRealDepthStopAsOtherValues) {
    sdk::CFTypeRef nested = fake::integer(7);
    for (int level = 0; level < 40; ++level) {
        const sdk::CFTypeRef wrapper = fake::array({nested});
        sdk::CFRelease(nested);
        nested = wrapper;
    }
    Value value = through(nested);
    int depth = 0;
    while (const auto* list = std::get_if<platform::ValueList>(&value.data)) {
        Value next = list->at(0);
        value = std::move(next);
        ++depth;
    }
    EXPECT_EQ(depth, 32);
    EXPECT_TRUE(std::holds_alternative<platform::OtherValue>(value.data));
}

TEST_F(CfValues, AxValuesOfKindsOneToFourAreWrappedTheRestAreOther) {
    const sdk::CGPoint point{1.5, -2};
    const sdk::CGSize size{3, 4};
    const sdk::CGRect rect{{5, 6}, {7, 8}};
    const sdk::CFRange range{9, 10};
    const std::int32_t error = -25204;
    const auto wrapped = [](sdk::CFTypeRef made) { return as<platform::Wrapped>(through(made)); };
    EXPECT_EQ(std::get<platform::Point>(wrapped(fake::axValue(1, &point, sizeof point)).value).y,
              -2);
    EXPECT_EQ(std::get<platform::Size>(wrapped(fake::axValue(2, &size, sizeof size)).value).width,
              3);
    EXPECT_EQ(
        std::get<platform::Rect>(wrapped(fake::axValue(3, &rect, sizeof rect)).value).size.height,
        8);
    EXPECT_EQ(std::get<platform::Range>(wrapped(fake::axValue(4, &range, sizeof range)).value),
              (platform::Range{9, 10}));
    for (const std::uint32_t kind : {0U, 5U, 9U}) {
        const Value value = through(fake::axValue(kind, &error, sizeof error));
        EXPECT_TRUE(std::holds_alternative<platform::OtherValue>(value.data)) << kind;
    }
}

TEST_F(CfValues, ElementsAreRetainedForAsLongAsTheirHandleLives) {
    const sdk::CFTypeRef made = fake::element(7);
    std::optional<Value> value = through(made);
    EXPECT_EQ(fake::liveObjects(), 1);  // the handle's own reference
    const auto& element = as<platform::Element>(*value);
    ASSERT_TRUE(element.object);
    EXPECT_EQ(fake::elementId(element.object->ref.get()), 7);
    value.reset();
    EXPECT_EQ(fake::liveObjects(), 0);
}

TEST_F(CfValues, WritesAndParametersBecomeCFValues) {
    const sdk::CFTypeRef made = fake::element(9);
    const Value element = platform::macos::valueFrom(made);
    sdk::CFRelease(made);
    struct Case {
        Value value;
        std::string cf;
    };
    const Case cases[] = {
        {Value{std::string("h\xC3\xA9llo")}, "string h\xC3\xA9llo"},
        {Value{platform::Number{std::int64_t{5}}}, "integer 5"},
        {Value{platform::Number{2.5}}, "real 2.500000"},
        {Value{true}, "true"},
        {Value{false}, "false"},
        {Value{platform::Wrapped{platform::Range{3, 4}}}, "range 3 4"},
        {Value{platform::Wrapped{platform::Point{1, 2}}}, "point 1 2"},
        {Value{platform::Wrapped{platform::Size{3, 4}}}, "size 3 4"},
        {Value{platform::Wrapped{platform::Rect{{1, 2}, {3, 4}}}}, "rect 1 2 3 4"},
        {Value{platform::ValueList{Value{platform::Number{std::int64_t{1}}},
                                   Value{std::string("x")}}},
         "array [integer 1, string x]"},
        {element, "element 9"},
        {Value{platform::OtherValue{}}, "NULL"},
        {Value{platform::AttributedString{"rich"}}, "NULL"},
        {Value{platform::ValueList{Value{platform::OtherValue{}}}}, "NULL"},
    };
    for (const Case& c : cases) {
        const auto cf = platform::macos::cfFrom(c.value);
        EXPECT_EQ(fake::describe(cf.get()), c.cf);
    }
}

TEST(CfErrors, EveryCodeMapsAndCodesThePlatformLeavesOutAreFailure) {
    using platform::AXError;
    struct Case {
        std::int32_t code;
        AXError error;
    };
    const Case cases[] = {
        {0, AXError::success},
        {-25200, AXError::failure},
        {-25201, AXError::illegalArgument},
        {-25202, AXError::invalidUIElement},
        {-25204, AXError::cannotComplete},
        {-25205, AXError::attributeUnsupported},
        {-25208, AXError::notImplemented},
        {-25211, AXError::apiDisabled},
        {-25212, AXError::noValue},
        {-25203, AXError::failure},
        {-25206, AXError::failure},
        {-25213, AXError::failure},  // parameterized attribute unsupported
        {-25214, AXError::failure},
        {12345, AXError::failure},  // outside the enumeration altogether
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::macos::errorFrom(static_cast<sdk::AXError>(c.code)), c.error) << c.code;
    }
}

}  // namespace
