// For the Objective-C++ entry points only: a body run in an autorelease pool of its own (the
// helper runs no NSApplication, so there is no pool otherwise), whose Objective-C exception
// becomes the entry point's failure value instead of ending the helper without a reply.
#pragma once

#import <AppKit/AppKit.h>

namespace platform::macos {

template <typename Result, typename Body>
Result answer(Result failure, Body body) {
    @autoreleasepool {
        @try {
            return body();
        } @catch (NSException* raised) {
            (void)raised;
            return failure;
        }
    }
}

}  // namespace platform::macos
