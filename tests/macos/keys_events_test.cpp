// Key codes, layouts and events over the fake: the Command chords the core looks up and posts,
// layouts without data, event sources and events that cannot be made, and the run loop's turn.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "clipboard/keys.h"
#include "fake_test_support.h"
#include "platform/input_sources.h"
#include "platform/run_loop.h"
#include "process_alive.h"

namespace {

using macostest::FakeSdkTest;

fake::Layout usLike() {
    fake::Layout layout;
    layout.plain[8] = u"c";
    layout.plain[9] = u"v";
    layout.plain[47] = u".";
    layout.command = layout.plain;
    return layout;
}

// "Dvorak - QWERTY ⌘": Dvorak letters alone, the US keys with Command.
fake::Layout dvorakQwerty() {
    fake::Layout layout;
    layout.plain[8] = u"j";
    layout.plain[9] = u"k";
    layout.plain[34] = u"c";
    layout.plain[47] = u"v";
    layout.command = usLike().plain;
    return layout;
}

fake::Source source(fake::Source::Kind kind, fake::Layout layout = {}) {
    return {kind, std::move(layout)};
}

using MacKeys = FakeSdkTest;

TEST_F(MacKeys, ChordKeysAreLookedUpWithTheCommandState) {
    fake::currentLayout(source(fake::Source::Kind::layout, dvorakQwerty()));
    fake::keyboardType(44);
    EXPECT_EQ(clipboard::keyCode("v", 99), 9);
    EXPECT_EQ(clipboard::keyCode("c", 99), 8);
    ASSERT_FALSE(fake::translations().empty());
    for (const fake::Translation& t : fake::translations()) {
        EXPECT_EQ(t.action, 3);      // kUCKeyActionDisplay
        EXPECT_EQ(t.modifiers, 1U);  // cmdKey >> 8
        EXPECT_EQ(t.keyboardType, 44U);
        EXPECT_EQ(t.options, 0U);
        EXPECT_EQ(t.deadKeyStateIn, 0U);
        EXPECT_EQ(t.maxLength, 4U);
    }
}

TEST_F(MacKeys, TranslationPassesTheModifierStateAndTheBufferAsGiven) {
    fake::currentLayout(source(fake::Source::Kind::layout, dvorakQwerty()));
    const auto current = platform::copyCurrentKeyboardLayoutInputSource();
    ASSERT_TRUE(current);
    const auto data = platform::unicodeKeyLayoutData(*current);
    ASSERT_TRUE(data);
    const void* bytes = platform::bytePointer(*data);
    ASSERT_NE(bytes, nullptr);
    std::uint32_t dead = 7;
    const auto plain = platform::translateKey(bytes, 47, 3, 0, 40, 0, dead, 4);
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.units, std::vector<char16_t>{u'v'});
    EXPECT_EQ(fake::translations().back().deadKeyStateIn, 7U);
    EXPECT_EQ(dead, 0U);
    const auto command =
        platform::translateKey(bytes, 47, 3, platform::commandKeyModifierState, 40, 0, dead, 4);
    EXPECT_EQ(command.units, std::vector<char16_t>{u'.'});
    EXPECT_TRUE(platform::translateKey(bytes, 47, 3, 0, 40, 0, dead, 0).units.empty());
}

TEST_F(MacKeys, SourcesWithoutLayoutDataFallThroughToTheAsciiCapableOneThenTheFallback) {
    struct Case {
        fake::Source current;
        fake::Source ascii;
        std::uint16_t expected;
    };
    const Case cases[] = {
        {source(fake::Source::Kind::noData), source(fake::Source::Kind::layout, usLike()), 9},
        {source(fake::Source::Kind::nullBytes), source(fake::Source::Kind::layout, usLike()), 9},
        {source(fake::Source::Kind::absent), source(fake::Source::Kind::absent), 42},
        {source(fake::Source::Kind::noData), source(fake::Source::Kind::nullBytes), 42},
        {source(fake::Source::Kind::layout, fake::Layout{}),
         source(fake::Source::Kind::layout, fake::Layout{}), 42},
    };
    for (const Case& c : cases) {
        fake::currentLayout(c.current);
        fake::asciiCapableLayout(c.ascii);
        EXPECT_EQ(clipboard::keyCode("v", 42), c.expected);
        EXPECT_EQ(fake::liveObjects(), 0);
    }
}

using MacEvents = FakeSdkTest;

TEST_F(MacEvents, ChordIsKeyDownThenKeyUpWithTheCommandFlagAloneAtTheHidTap) {
    clipboard::postCommand(9);
    ASSERT_EQ(fake::posted().size(), 2U);
    for (std::size_t i = 0; i < 2; ++i) {
        const fake::Posted& event = fake::posted()[i];
        EXPECT_EQ(event.keyCode, 9);
        EXPECT_EQ(event.keyDown, i == 0);
        EXPECT_EQ(event.flags, 0x100000U);
        EXPECT_EQ(event.tap, 0U);
        EXPECT_EQ(event.sourceState, -1);  // kCGEventSourceStatePrivate
    }
}

TEST_F(MacEvents, MissingSourceOrEventsAreSkippedNotFatal) {
    fake::failEventSources(true);
    clipboard::postCommand(8);
    ASSERT_EQ(fake::posted().size(), 2U);
    EXPECT_FALSE(fake::posted()[0].sourceState);
    fake::failKeyboardEvents(true);
    clipboard::postCommand(8);
    EXPECT_EQ(fake::posted().size(), 2U);
}

// Whether keys can arrive, and which modifiers the hardware holds: the permission, secure input
// and the HID system state's flags, where Caps Lock does not count as a key held.
TEST_F(MacEvents, KeyPathAndHeldModifiersComeFromTheirOwnCalls) {
    EXPECT_EQ(clipboard::keyPath(), clipboard::KeyPath::open);
    fake::secureInput(true);
    EXPECT_EQ(clipboard::keyPath(), clipboard::KeyPath::secureInput);
    fake::postEventAccess(false);
    EXPECT_EQ(clipboard::keyPath(), clipboard::KeyPath::notAllowed);

    fake::flagsState(0, 0x80000);          // the combined session state is not the hardware's
    fake::flagsState(1, 0x10000 | 0x100);  // Caps Lock, and a device-dependent bit
    EXPECT_TRUE(clipboard::awaitModifiersReleased());
    fake::flagsState(1, 0x80000);  // Option
    EXPECT_FALSE(clipboard::awaitModifiersReleased());
}

using MacRunLoop = FakeSdkTest;

TEST_F(MacRunLoop, OneBoundedTurnInTheDefaultMode) {
    platform::runCurrentRunLoopUntil(platform::Clock::now() + std::chrono::milliseconds(20));
    platform::runCurrentRunLoopUntil(platform::Clock::now() - std::chrono::seconds(1));
    ASSERT_EQ(fake::runLoopTurns().size(), 2U);
    const fake::RunLoopTurn& first = fake::runLoopTurns()[0];
    EXPECT_EQ(first.mode, "kCFRunLoopDefaultMode");
    EXPECT_GT(first.seconds, 0.0);
    EXPECT_LE(first.seconds, 0.02);
    EXPECT_TRUE(first.returnAfterSourceHandled);
    EXPECT_EQ(fake::runLoopTurns()[1].seconds, 0.0);
}

TEST(MacProcess, WhetherAProcessExistsIsAskedOfTheKernel) {
    EXPECT_TRUE(platform::macos::processExists(::getpid()));
    EXPECT_FALSE(platform::macos::processExists(0));
    EXPECT_FALSE(platform::macos::processExists(-1));
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(platform::macos::processExists(child));
}

}  // namespace
