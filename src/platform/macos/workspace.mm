// The workspace over AppKit (Objective-C++, ARC): the frontmost application, lookup by process
// id, the application's names, activation, and the system version test. Each entry point runs in
// its own autorelease pool.
#include "platform/workspace.h"

#import <AppKit/AppKit.h>

#include "cf_values.h"
#include "process_alive.h"

namespace platform {

struct RunningApplicationObject {
    NSRunningApplication* app;
};

namespace {

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
    @autoreleasepool {
        return handleOf([[NSWorkspace sharedWorkspace] frontmostApplication]);
    }
}

std::optional<RunningApplication> runningApplicationWithProcessIdentifier(Pid pid) {
    @autoreleasepool {
        return handleOf([NSRunningApplication runningApplicationWithProcessIdentifier:pid]);
    }
}

Pid processIdentifier(const RunningApplication& app) {
    @autoreleasepool {
        NSRunningApplication* running = appOf(app);
        return running != nil ? running.processIdentifier : 0;
    }
}

std::optional<std::string> bundleIdentifier(const RunningApplication& app) {
    @autoreleasepool {
        return stringFrom(appOf(app).bundleIdentifier);
    }
}

std::optional<std::string> localizedName(const RunningApplication& app) {
    @autoreleasepool {
        return stringFrom(appOf(app).localizedName);
    }
}

bool isTerminated(const RunningApplication& app) {
    @autoreleasepool {
        NSRunningApplication* running = appOf(app);
        // The flag is refreshed only while the main run loop turns in a common mode.
        return running == nil || running.terminated ||
               !macos::processExists(running.processIdentifier);
    }
}

bool activateWithOptions(const RunningApplication& app, std::uint64_t options) {
    @autoreleasepool {
        return [appOf(app)
                   activateWithOptions:static_cast<NSApplicationActivationOptions>(options)] == YES;
    }
}

bool isOperatingSystemAtLeast(int major, int minor, int patch) {
    @autoreleasepool {
        const NSOperatingSystemVersion version{major, minor, patch};
        return [[NSProcessInfo processInfo] isOperatingSystemAtLeastVersion:version] == YES;
    }
}

}  // namespace platform
