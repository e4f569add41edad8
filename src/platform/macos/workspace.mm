// The workspace over AppKit (Objective-C++, ARC): the frontmost application, lookup by process
// id, the application's names, activation, and the system version test. Each entry point runs in
// its own autorelease pool, and an Objective-C exception becomes its failure value.
#include "platform/workspace.h"

#import <AppKit/AppKit.h>

#include "cf_values.h"
#include "objc_answer.h"
#include "process_alive.h"

namespace platform {

struct RunningApplicationObject {
    NSRunningApplication* app;
};

namespace {

using macos::answer;

std::optional<RunningApplication> handleOf(NSRunningApplication* app) {
    if (app == nil) {
        return std::nullopt;
    }
    return RunningApplication{
        std::make_shared<RunningApplicationObject>(RunningApplicationObject{app})};
}

NSRunningApplication* appOf(const RunningApplication& app) {
    return app.object ? app.object->app : nil;
}

std::optional<std::string> stringFrom(NSString* string) {
    if (string == nil) {
        return std::nullopt;
    }
    return macos::stringFrom((__bridge CFStringRef)string);
}

}  // namespace

std::optional<RunningApplication> frontmostApplication() {
    return answer(std::optional<RunningApplication>(),
                  [] { return handleOf([[NSWorkspace sharedWorkspace] frontmostApplication]); });
}

std::optional<RunningApplication> runningApplicationWithProcessIdentifier(Pid pid) {
    return answer(std::optional<RunningApplication>(), [pid] {
        return handleOf([NSRunningApplication runningApplicationWithProcessIdentifier:pid]);
    });
}

Pid processIdentifier(const RunningApplication& app) {
    return answer(Pid{0}, [&] {
        NSRunningApplication* running = appOf(app);
        return running != nil ? running.processIdentifier : 0;
    });
}

std::optional<std::string> bundleIdentifier(const RunningApplication& app) {
    return answer(std::optional<std::string>(),
                  [&] { return stringFrom(appOf(app).bundleIdentifier); });
}

std::optional<std::string> localizedName(const RunningApplication& app) {
    return answer(std::optional<std::string>(),
                  [&] { return stringFrom(appOf(app).localizedName); });
}

bool isTerminated(const RunningApplication& app) {
    return answer(true, [&] {
        NSRunningApplication* running = appOf(app);
        // The flag is refreshed only while the main run loop turns in a common mode.
        return running == nil || running.terminated ||
               !macos::processExists(running.processIdentifier);
    });
}

bool activateWithOptions(const RunningApplication& app, std::uint64_t options) {
    return answer(false, [&] {
        return [appOf(app)
                   activateWithOptions:static_cast<NSApplicationActivationOptions>(options)] == YES;
    });
}

bool activateFromApplication(const RunningApplication& app, const RunningApplication& from,
                             std::uint64_t options) {
    return answer(false, [&] {
        if (@available(macOS 14, *)) {
            return [appOf(app) activateFromApplication:appOf(from)
                                               options:static_cast<NSApplicationActivationOptions>(
                                                           options)] == YES;
        }
        return false;
    });
}

bool isOperatingSystemAtLeast(int major, int minor, int patch) {
    return answer(false, [&] {
        const NSOperatingSystemVersion version{major, minor, patch};
        return [[NSProcessInfo processInfo] isOperatingSystemAtLeastVersion:version] == YES;
    });
}

}  // namespace platform
