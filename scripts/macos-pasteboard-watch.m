/* Watches the general pasteboard for a while and writes every state it sees: each change of its
   change count, with the types then on it. One process samples every 2 ms, so that a state that
   lasts a few tens of milliseconds (the helper's text with its clipboard-manager markers, during
   a paste) is seen. Used by scripts/macos-live-check.sh:

     macos-pasteboard-watch SECONDS OUT

   OUT gets "# change N at T ms" followed by one type a line, for the state at the start and
   after each change; the first block is written (and flushed) before sampling begins, so a
   caller that waits for OUT to be non-empty knows the watch has started. */
#import <AppKit/AppKit.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

static double millisecondsSince(const struct timespec* start) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - start->tv_sec) * 1000.0 +
           (double)(now.tv_nsec - start->tv_nsec) / 1e6;
}

static void writeState(FILE* out, NSPasteboard* pasteboard, NSInteger count, double ms) {
    fprintf(out, "# change %ld at %.1f ms\n", (long)count, ms);
    for (NSString* type in [pasteboard types]) {
        fprintf(out, "%s\n", type.UTF8String);
    }
    fflush(out);
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: macos-pasteboard-watch SECONDS OUT\n");
        return 2;
    }
    const double seconds = atof(argv[1]);
    FILE* out = fopen(argv[2], "w");
    if (out == NULL || seconds <= 0) {
        return 2;
    }
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    long changes = 0;
    @autoreleasepool {
        NSPasteboard* pasteboard = [NSPasteboard generalPasteboard];
        NSInteger seen = [pasteboard changeCount];
        writeState(out, pasteboard, seen, 0);
        while (millisecondsSince(&start) < seconds * 1000.0) {
            @autoreleasepool {
                const NSInteger count = [pasteboard changeCount];
                if (count != seen) {
                    seen = count;
                    ++changes;
                    writeState(out, pasteboard, count, millisecondsSince(&start));
                }
            }
            usleep(2000);
        }
    }
    fprintf(out, "# %ld changes in %.0f ms\n", changes, millisecondsSince(&start));
    fclose(out);
    return 0;
}
